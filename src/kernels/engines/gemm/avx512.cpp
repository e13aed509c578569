// The ZGEMM engine compiled for AVX-512F: 512-bit registers, eight complex
// elements per unit (two registers in split form), register tiles of eight
// by twelve (24 accumulators of the 32 registers).
#include "frame/complex.h"
#include "kernels/engines/gemm/engine.h"
#include "kernels/engines/gemm/tuning.h"

// The instruction-set region: its includes stay in this order.
// clang-format off
#include "kernels/simd/target_avx512.h"

#include "kernels/simd/avx512.h"
#include "kernels/engines/common.h"
#include "kernels/engines/gemm/body.h"
// clang-format on

namespace qiv {

template <>
void gemm_engine_on<Isa::avx512>(Tuning t, const GemmArgs& g) {
    with_gemm_table<Avx512Ops::W>(t, [&](auto table) { run<Avx512Ops, decltype(table)>(g); });
}

}  // namespace qiv

#include "kernels/simd/target_end.h"
