// Dispatch of the fast ZTRSM and ZTRMM computations to the kernels of one
// instruction set.
#include "kernels/engines/trmat/engine.h"

namespace qiv {

void trsm_engine(Isa isa, Tuning tuning, const TrmatArgs& t) {
    with_isa(isa, [&](auto s) { trsm_engine_on<decltype(s)::isa>(tuning, t); });
}

void trmm_engine(Isa isa, Tuning tuning, const TrmatArgs& t) {
    with_isa(isa, [&](auto s) { trmm_engine_on<decltype(s)::isa>(tuning, t); });
}

void trsm_engine(Isa isa, const TrmatArgs& t) { trsm_engine(isa, host_tuning(), t); }

void trmm_engine(Isa isa, const TrmatArgs& t) { trmm_engine(isa, host_tuning(), t); }

}  // namespace qiv
