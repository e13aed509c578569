// Dispatch of the fast ZGEMM computation to the kernels of one instruction set.
#include "kernels/engines/gemm/engine.h"

namespace qiv {

void gemm_engine(Isa isa, Tuning tuning, const GemmArgs& g) {
    with_isa(isa, [&](auto s) { gemm_engine_on<decltype(s)::isa>(tuning, g); });
}

void gemm_engine(Isa isa, const GemmArgs& g) { gemm_engine(isa, host_tuning(), g); }

}  // namespace qiv
