// Processor identification for the tuning choice.
#include "kernels/simd/cpu.h"

#include <cpuid.h>

#if defined(__has_include)
#if __has_include(<sys/platform/x86.h>) && __has_include(<unistd.h>)
#include <sys/platform/x86.h>
#include <unistd.h>
#define QIV_RUNTIME_CPU_DESCRIPTION 1
#endif
#endif

namespace qiv {

#ifdef QIV_RUNTIME_CPU_DESCRIPTION
namespace {

// Display family and model from the eax value of cpuid leaf 1: the extended
// fields count only for base family 15 (family) and 6 or 15 (model).
void decode_signature(unsigned eax, CpuId& c) {
    const int base_family = static_cast<int>((eax >> 8) & 0xf);
    const int base_model = static_cast<int>((eax >> 4) & 0xf);
    c.family = base_family == 15 ? base_family + static_cast<int>((eax >> 20) & 0xff) : base_family;
    c.model = base_family == 15 || base_family == 6
                  ? base_model + (static_cast<int>((eax >> 16) & 0xf) << 4)
                  : base_model;
}

}  // namespace
#endif

CpuId cpu_id() {
    CpuId c;
    if (__builtin_cpu_is("amd")) {
        c.vendor = CpuVendor::amd;
    } else if (__builtin_cpu_is("intel")) {
        c.vendor = CpuVendor::intel;
    }
#ifdef QIV_RUNTIME_CPU_DESCRIPTION
    // The leaf-1 registers and the cache sizes the C runtime read at start-up.
    decode_signature(__x86_get_cpuid_feature_leaf(CPUID_INDEX_1)->cpuid_array[0], c);
    const long l1 = sysconf(_SC_LEVEL1_DCACHE_SIZE), l2 = sysconf(_SC_LEVEL2_CACHE_SIZE);
    c.l1d_bytes = l1 > 0 ? l1 : 0;
    c.l2_bytes = l2 > 0 ? l2 : 0;
#endif
    return c;
}

Tuning tuning_for(const CpuId& cpu) {
    if (cpu.vendor == CpuVendor::amd) {
        // Family 25 is Zen 3 and Zen 4: only Zen 4 has AVX-512, and the
        // narrower paths use the same block sizes in both tables.
        if (cpu.family == 25) return Tuning::zen4;
        if (cpu.family == 26) return Tuning::zen5;
    }
    return Tuning::generic;
}

Tuning host_tuning() { return tuning_for(cpu_id()); }

const char* tuning_name(Tuning t) {
    switch (t) {
        case Tuning::generic:
            return "generic";
        case Tuning::zen4:
            return "zen4";
        case Tuning::zen5:
            return "zen5";
    }
    return "?";
}

CpuName cpu_name() {
    CpuName n{};
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(0, &a, &b, &c, &d)) {
        const unsigned v[3] = {b, d, c};
        for (int i = 0; i < 12; ++i) n.vendor[i] = static_cast<char>(v[i / 4] >> (8 * (i % 4)));
    }
    if (__get_cpuid(0x80000000u, &a, &b, &c, &d) && a >= 0x80000004u) {
        for (unsigned leaf = 0; leaf < 3; ++leaf) {
            __get_cpuid(0x80000002u + leaf, &a, &b, &c, &d);
            const unsigned v[4] = {a, b, c, d};
            for (int i = 0; i < 16; ++i)
                n.name[leaf * 16 + i] = static_cast<char>(v[i / 4] >> (8 * (i % 4)));
        }
    }
    n.vendor[12] = 0;
    n.name[48] = 0;
    return n;
}

}  // namespace qiv
