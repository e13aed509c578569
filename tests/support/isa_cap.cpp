#include "support/isa_cap.h"

// The processor description of the compiler runtime (GCC's libgcc and
// Clang's compiler-rt share this layout): the vendor, type and subtype, then
// a bit set of features, AVX2 at bit 10 and AVX-512F at bit 15.
extern "C" struct qivtest_processor_model {
    unsigned int vendor, type, subtype;
    unsigned int features[1];
} __cpu_model;

namespace qivtest {

namespace {
constexpr unsigned int kAvx2Bit = 1u << 10;
constexpr unsigned int kAvx512fBit = 1u << 15;
}  // namespace

std::vector<qiv::Isa> supported_isas() {
    std::vector<qiv::Isa> out;
    for (const qiv::Isa isa : {qiv::Isa::baseline, qiv::Isa::avx2, qiv::Isa::avx512})
        if (qiv::isa_supported(isa)) out.push_back(isa);
    return out;
}

bool cap_isa(qiv::Isa isa) {
    __builtin_cpu_init();
    const unsigned int saved = __cpu_model.features[0];
    if (isa != qiv::Isa::avx512) __cpu_model.features[0] &= ~kAvx512fBit;
    if (isa == qiv::Isa::baseline) __cpu_model.features[0] &= ~kAvx2Bit;
    if (qiv::best_isa() == isa) return true;
    __cpu_model.features[0] = saved;
    return false;
}

}  // namespace qivtest
