// Run-time choice of the instruction set for the fast kernels, made from the
// list of sets in kernels/simd/isa.h.
#include "kernels/simd/isa.h"

namespace qiv {

namespace {

// The widest set at index K or below that the processor supports.
template <int K>
Isa widest_supported_from() {
    if constexpr (K == 0) {
        return IsaSet<0>::isa;  // the narrowest set runs everywhere
    } else {
        if (IsaSet<K>::on_processor()) return IsaSet<K>::isa;
        return widest_supported_from<K - 1>();
    }
}

bool in_list(Isa isa) { return static_cast<unsigned>(isa) < static_cast<unsigned>(isa_count); }

}  // namespace

bool isa_supported(Isa isa) {
    return in_list(isa) && with_isa(isa, [](auto s) { return decltype(s)::on_processor(); });
}

Isa best_isa() { return widest_supported_from<isa_count - 1>(); }

const char* isa_name(Isa isa) {
    if (!in_list(isa)) return "?";
    return with_isa(isa, [](auto s) { return decltype(s)::name; });
}

}  // namespace qiv
