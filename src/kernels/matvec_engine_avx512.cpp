// The ZGEMV, ZGERC, ZTRMV and ZTRSV engine compiled for AVX-512F: 512-bit registers of four complex
// elements.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "frame/complex.h"
#include "kernels/matvec_engine.h"

#pragma GCC push_options
#pragma GCC target("avx512f")
// No automatic vectorisation: the kernels use explicit vector operations, and
// the vectoriser would turn scalar complex products into fused multiply-adds.
#pragma GCC optimize("no-tree-vectorize")

#include "kernels/matvec_engine_body.h"
#include "kernels/simd_avx512.h"

namespace qiv {

void gemv_engine_avx512(const GemvArgs& g) { gemv_run<Avx512Ops>(g); }
void gerc_engine_avx512(const GercArgs& g) { gerc_run<Avx512Ops>(g); }
void trmv_engine_avx512(const TrmvArgs& t) { trmv_run<Avx512Ops>(t); }
void trsv_engine_avx512(const TrmvArgs& t) { trsv_run<Avx512Ops>(t); }

}  // namespace qiv

#pragma GCC pop_options
