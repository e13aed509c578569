// The ZTRSM and ZTRMM engine compiled for AVX2: 256-bit registers, units of four complex rows,
// register tiles of four rows by four columns.
#include "frame/complex.h"
#include "kernels/engines/trmat/engine.h"
#include "kernels/engines/trmat/tuning.h"

#include "kernels/simd/target_avx2.h"

#include "kernels/simd/avx2.h"
#include "kernels/engines/common.h"
#include "kernels/engines/trmat/body.h"

namespace qiv {

void trsm_engine_avx2(const TrmatArgs& t) { trsm_run<Avx2Ops>(t); }
void trmm_engine_avx2(const TrmatArgs& t) { trmm_run<Avx2Ops>(t); }

}  // namespace qiv

#include "kernels/simd/target_end.h"
