// Run-time choice of the instruction set for the fast kernels.
#include "kernels/simd/isa.h"

namespace qiv {

bool isa_supported(Isa isa) {
    switch (isa) {
        case Isa::baseline:
            return true;
        case Isa::avx2:
            // The runtime's check includes the operating system's support for
            // saving the wider registers.
            return __builtin_cpu_supports("avx2");
        case Isa::avx512:
            return __builtin_cpu_supports("avx512f");
    }
    return false;
}

Isa best_isa() {
    if (__builtin_cpu_supports("avx512f")) return Isa::avx512;
    if (__builtin_cpu_supports("avx2")) return Isa::avx2;
    return Isa::baseline;
}

const char* isa_name(Isa isa) {
    switch (isa) {
        case Isa::baseline:
            return "baseline";
        case Isa::avx2:
            return "avx2";
        case Isa::avx512:
            return "avx512";
    }
    return "?";
}

}  // namespace qiv
