// Dispatch of the fast ZTRSM and ZTRMM computations to the kernels of one
// instruction set.
#include "kernels/engines/trmat/engine.h"

namespace qiv {

void trsm_engine(Isa isa, Tuning tuning, const TrmatArgs& t) {
    switch (isa) {
        case Isa::avx512:
            trsm_engine_avx512(tuning, t);
            return;
        case Isa::avx2:
            trsm_engine_avx2(tuning, t);
            return;
        case Isa::baseline:
            trsm_engine_baseline(tuning, t);
            return;
    }
}

void trmm_engine(Isa isa, Tuning tuning, const TrmatArgs& t) {
    switch (isa) {
        case Isa::avx512:
            trmm_engine_avx512(tuning, t);
            return;
        case Isa::avx2:
            trmm_engine_avx2(tuning, t);
            return;
        case Isa::baseline:
            trmm_engine_baseline(tuning, t);
            return;
    }
}

void trsm_engine(Isa isa, const TrmatArgs& t) { trsm_engine(isa, host_tuning(), t); }

void trmm_engine(Isa isa, const TrmatArgs& t) { trmm_engine(isa, host_tuning(), t); }

}  // namespace qiv
