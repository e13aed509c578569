// Dispatch of the fast ZGEMM computation to the kernels of one instruction set.
#include "kernels/engines/gemm/engine.h"

namespace qiv {

void gemm_engine(Isa isa, Tuning tuning, const GemmArgs& g) {
    switch (isa) {
        case Isa::avx512:
            gemm_engine_avx512(tuning, g);
            return;
        case Isa::avx2:
            gemm_engine_avx2(tuning, g);
            return;
        case Isa::baseline:
            gemm_engine_baseline(tuning, g);
            return;
    }
}

void gemm_engine(Isa isa, const GemmArgs& g) { gemm_engine(isa, host_tuning(), g); }

}  // namespace qiv
