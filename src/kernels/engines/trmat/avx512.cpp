// The ZTRSM and ZTRMM engine compiled for AVX-512F: 512-bit registers, units of eight complex rows,
// register tiles of eight rows by twelve columns.
#include "frame/complex.h"
#include "kernels/engines/trmat/engine.h"
#include "kernels/engines/trmat/tuning.h"

// The instruction-set region: its includes stay in this order.
// clang-format off
#include "kernels/simd/target_avx512.h"

#include "kernels/simd/avx512.h"
#include "kernels/engines/common.h"
#include "kernels/engines/trmat/body.h"
// clang-format on

namespace qiv {

template <>
void trsm_engine_on<Isa::avx512>(Tuning tuning, const TrmatArgs& t) {
    with_trmat_table<Avx512Ops::W>(tuning,
                                   [&](auto table) { trsm_run<Avx512Ops, decltype(table)>(t); });
}
template <>
void trmm_engine_on<Isa::avx512>(Tuning tuning, const TrmatArgs& t) {
    with_trmat_table<Avx512Ops::W>(tuning,
                                   [&](auto table) { trmm_run<Avx512Ops, decltype(table)>(t); });
}

}  // namespace qiv

#include "kernels/simd/target_end.h"
