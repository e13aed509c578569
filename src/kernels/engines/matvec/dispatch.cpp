// Dispatch of the fast level-2 computations to the kernels of one instruction
// set.
#include "kernels/engines/matvec/engine.h"

namespace qiv {

void gemv_engine(Isa isa, const GemvArgs& g) {
    switch (isa) {
        case Isa::avx512:
            gemv_engine_avx512(g);
            return;
        case Isa::avx2:
            gemv_engine_avx2(g);
            return;
        case Isa::baseline:
            gemv_engine_baseline(g);
            return;
    }
}

void gerc_engine(Isa isa, const GercArgs& g) {
    switch (isa) {
        case Isa::avx512:
            gerc_engine_avx512(g);
            return;
        case Isa::avx2:
            gerc_engine_avx2(g);
            return;
        case Isa::baseline:
            gerc_engine_baseline(g);
            return;
    }
}

void trmv_engine(Isa isa, const TrmvArgs& t) {
    switch (isa) {
        case Isa::avx512:
            trmv_engine_avx512(t);
            return;
        case Isa::avx2:
            trmv_engine_avx2(t);
            return;
        case Isa::baseline:
            trmv_engine_baseline(t);
            return;
    }
}

void trsv_engine(Isa isa, const TrmvArgs& t) {
    switch (isa) {
        case Isa::avx512:
            trsv_engine_avx512(t);
            return;
        case Isa::avx2:
            trsv_engine_avx2(t);
            return;
        case Isa::baseline:
            trsv_engine_baseline(t);
            return;
    }
}

}  // namespace qiv
