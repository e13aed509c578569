// The ZGEMM engine compiled for any x86-64 processor: 128-bit SSE2 registers, two
// complex elements per unit (two registers in split form), register tiles of
// two by four.
#include "frame/complex.h"
#include "kernels/engines/gemm/engine.h"
#include "kernels/engines/gemm/tuning.h"

#include "kernels/simd/target_baseline.h"

#include "kernels/simd/sse2.h"
#include "kernels/engines/common.h"
#include "kernels/engines/gemm/body.h"

namespace qiv {

void gemm_engine_baseline(const GemmArgs& g) { run<Sse2Ops>(g); }

}  // namespace qiv

#include "kernels/simd/target_end.h"
