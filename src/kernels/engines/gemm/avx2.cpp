// The ZGEMM engine compiled for AVX2: 256-bit registers, four complex elements
// per unit (two registers in split form), register tiles of four by four
// (8 accumulators of the 16 registers).
#include "frame/complex.h"
#include "kernels/engines/gemm/engine.h"
#include "kernels/engines/gemm/tuning.h"

// The instruction-set region: its includes stay in this order.
// clang-format off
#include "kernels/simd/target_avx2.h"

#include "kernels/simd/avx2.h"
#include "kernels/engines/common.h"
#include "kernels/engines/gemm/body.h"
// clang-format on

namespace qiv {

template <>
void gemm_engine_on<Isa::avx2>(Tuning t, const GemmArgs& g) {
    with_gemm_table<Avx2Ops::W>(t, [&](auto table) { run<Avx2Ops, decltype(table)>(g); });
}

}  // namespace qiv

#include "kernels/simd/target_end.h"
