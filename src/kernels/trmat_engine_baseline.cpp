// The ZTRSM and ZTRMM engine compiled for any x86-64 processor (SSE2): 128-bit registers, units of
// two complex rows, register tiles of two rows by four columns.
#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "frame/complex.h"
#include "kernels/trmat_engine.h"

#pragma GCC push_options

// No automatic vectorisation: the kernels use explicit vector operations, and
// the vectoriser would turn scalar complex products into fused multiply-adds.
#pragma GCC optimize("no-tree-vectorize")

#include "kernels/simd_sse2.h"
#include "kernels/trmat_engine_body.h"

namespace qiv {

void trsm_engine_baseline(const TrmatArgs& t) { trsm_run<Sse2Ops>(t); }
void trmm_engine_baseline(const TrmatArgs& t) { trmm_run<Sse2Ops>(t); }

}  // namespace qiv

#pragma GCC pop_options
