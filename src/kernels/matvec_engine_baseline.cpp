// The ZGEMV, ZGERC, ZTRMV and ZTRSV engine compiled for any x86-64 processor (SSE2): 128-bit
// registers of one complex element.
#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "frame/complex.h"
#include "kernels/matvec_engine.h"

#pragma GCC push_options

// No automatic vectorisation: the kernels use explicit vector operations, and
// the vectoriser would turn scalar complex products into fused multiply-adds.
#pragma GCC optimize("no-tree-vectorize")

#include "kernels/matvec_engine_body.h"
#include "kernels/simd_sse2.h"

namespace qiv {

void gemv_engine_baseline(const GemvArgs& g) { gemv_run<Sse2Ops>(g); }
void gerc_engine_baseline(const GercArgs& g) { gerc_run<Sse2Ops>(g); }
void trmv_engine_baseline(const TrmvArgs& t) { trmv_run<Sse2Ops>(t); }
void trsv_engine_baseline(const TrmvArgs& t) { trsv_run<Sse2Ops>(t); }

}  // namespace qiv

#pragma GCC pop_options
