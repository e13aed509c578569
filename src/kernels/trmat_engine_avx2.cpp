// The ZTRSM and ZTRMM engine compiled for AVX2: 256-bit registers, units of four complex rows,
// register tiles of four rows by four columns.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "frame/complex.h"
#include "kernels/trmat_engine.h"

#pragma GCC push_options
#pragma GCC target("avx2")
// No automatic vectorisation: the kernels use explicit vector operations, and
// the vectoriser would turn scalar complex products into fused multiply-adds.
#pragma GCC optimize("no-tree-vectorize")

#include "kernels/simd_avx2.h"
#include "kernels/trmat_engine_body.h"

namespace qiv {

void trsm_engine_avx2(const TrmatArgs& t) { trsm_run<Avx2Ops>(t); }
void trmm_engine_avx2(const TrmatArgs& t) { trmm_run<Avx2Ops>(t); }

}  // namespace qiv

#pragma GCC pop_options
