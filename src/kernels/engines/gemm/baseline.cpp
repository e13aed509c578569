// The ZGEMM engine compiled for any x86-64 processor: 128-bit SSE2 registers, two
// complex elements per unit (two registers in split form), register tiles of
// two by four.
#include "frame/complex.h"
#include "kernels/engines/gemm/engine.h"
#include "kernels/engines/gemm/tuning.h"

// The instruction-set region: its includes stay in this order.
// clang-format off
#include "kernels/simd/target_baseline.h"

#include "kernels/simd/sse2.h"
#include "kernels/engines/common.h"
#include "kernels/engines/gemm/body.h"
// clang-format on

namespace qiv {

template <>
void gemm_engine_on<Isa::baseline>(Tuning t, const GemmArgs& g) {
    with_gemm_table<Sse2Ops::W>(t, [&](auto table) { run<Sse2Ops, decltype(table)>(g); });
}

}  // namespace qiv

#include "kernels/simd/target_end.h"
