// The ZGEMM engine compiled for AVX-512F: 512-bit registers, eight complex
// elements per unit (two registers in split form), register tiles of eight
// by twelve (24 accumulators of the 32 registers).
#include "frame/complex.h"
#include "kernels/engines/gemm/engine.h"
#include "kernels/engines/gemm/tuning.h"

#include "kernels/simd/target_avx512.h"

#include "kernels/simd/avx512.h"
#include "kernels/engines/common.h"
#include "kernels/engines/gemm/body.h"

namespace qiv {

void gemm_engine_avx512(const GemmArgs& g) { run<Avx512Ops>(g); }

}  // namespace qiv

#include "kernels/simd/target_end.h"
