// The ZTRSM and ZTRMM engine compiled for any x86-64 processor (SSE2): 128-bit registers, units of
// two complex rows, register tiles of two rows by four columns.
#include "frame/complex.h"
#include "kernels/engines/trmat/engine.h"
#include "kernels/engines/trmat/tuning.h"

// The instruction-set region: its includes stay in this order.
// clang-format off
#include "kernels/simd/target_baseline.h"

#include "kernels/simd/sse2.h"
#include "kernels/engines/common.h"
#include "kernels/engines/trmat/body.h"
// clang-format on

namespace qiv {

template <>
void trsm_engine_on<Isa::baseline>(Tuning tuning, const TrmatArgs& t) {
    with_trmat_table<Sse2Ops::W>(tuning,
                                 [&](auto table) { trsm_run<Sse2Ops, decltype(table)>(t); });
}
template <>
void trmm_engine_on<Isa::baseline>(Tuning tuning, const TrmatArgs& t) {
    with_trmat_table<Sse2Ops::W>(tuning,
                                 [&](auto table) { trmm_run<Sse2Ops, decltype(table)>(t); });
}

}  // namespace qiv

#include "kernels/simd/target_end.h"
