// Dispatch of the fast level-2 computations to the kernels of one instruction
// set.
#include "kernels/engines/matvec/engine.h"

namespace qiv {

void gemv_engine(Isa isa, const GemvArgs& g) {
    with_isa(isa, [&](auto s) { gemv_engine_on<decltype(s)::isa>(g); });
}

void gerc_engine(Isa isa, const GercArgs& g) {
    with_isa(isa, [&](auto s) { gerc_engine_on<decltype(s)::isa>(g); });
}

void trmv_engine(Isa isa, const TrmvArgs& t) {
    with_isa(isa, [&](auto s) { trmv_engine_on<decltype(s)::isa>(t); });
}

void trsv_engine(Isa isa, const TrmvArgs& t) {
    with_isa(isa, [&](auto s) { trsv_engine_on<decltype(s)::isa>(t); });
}

void dots_engine(Isa isa, const DotsArgs& d) {
    with_isa(isa, [&](auto s) { dots_engine_on<decltype(s)::isa>(d); });
}

}  // namespace qiv
