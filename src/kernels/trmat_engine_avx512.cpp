// The ZTRSM and ZTRMM engine compiled for AVX-512F: 512-bit registers, units of eight complex rows,
// register tiles of eight rows by twelve columns.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "frame/complex.h"
#include "kernels/trmat_engine.h"

#pragma GCC push_options
#pragma GCC target("avx512f")
// No automatic vectorisation: the kernels use explicit vector operations, and
// the vectoriser would turn scalar complex products into fused multiply-adds.
#pragma GCC optimize("no-tree-vectorize")

#include "kernels/simd_avx512.h"
#include "kernels/trmat_engine_body.h"

namespace qiv {

void trsm_engine_avx512(const TrmatArgs& t) { trsm_run<Avx512Ops>(t); }
void trmm_engine_avx512(const TrmatArgs& t) { trmm_run<Avx512Ops>(t); }

}  // namespace qiv

#pragma GCC pop_options
