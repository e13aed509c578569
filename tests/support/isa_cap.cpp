#include "support/isa_cap.h"

// The processor description of the compiler runtime (GCC's libgcc and
// Clang's compiler-rt share this layout): the vendor, type and subtype, then
// a bit set of the first 32 features (AVX2 at bit 10 and AVX-512F at bit 15
// today). The bit of a set is found by clearing one bit at a time and asking
// the library, so this helper needs no list of sets or bits of its own.
extern "C" struct qivtest_processor_model {
    unsigned int vendor, type, subtype;
    unsigned int features[1];
} __cpu_model;

namespace qivtest {

std::vector<qiv::Isa> supported_isas() {
    std::vector<qiv::Isa> out;
    for (const qiv::Isa isa : qiv::all_isas)
        if (qiv::isa_supported(isa)) out.push_back(isa);
    return out;
}

bool cap_isa(qiv::Isa isa) {
    __builtin_cpu_init();
    const unsigned int saved = __cpu_model.features[0];
    // Every set wider than `isa` (later in the list) loses the feature bits
    // without which the library no longer reports it supported.
    for (const qiv::Isa wider : qiv::all_isas) {
        if (static_cast<int>(wider) <= static_cast<int>(isa)) continue;
        for (int bit = 0; bit < 32 && qiv::isa_supported(wider); ++bit) {
            const unsigned int before = __cpu_model.features[0];
            __cpu_model.features[0] &= ~(1u << bit);
            if (qiv::isa_supported(wider)) __cpu_model.features[0] = before;
        }
    }
    if (qiv::best_isa() == isa) return true;
    __cpu_model.features[0] = saved;
    return false;
}

}  // namespace qivtest
