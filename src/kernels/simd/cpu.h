// The processor running the library, as far as the choice of block sizes
// needs it, and the choice itself.
//
// The kernels' tuning (block sizes, register tiles) is picked per processor
// at the top of each kernel call, like the instruction set: from the vendor,
// family and model and the cache sizes the processor reports. Nothing is
// remembered between calls. The values come from the description the C
// runtime keeps from its start-up (the cpuid leaves and cache sizes it read
// then), because executing cpuid itself is slow where it matters: under a
// hypervisor every cpuid traps, about 7 microseconds on the project's Zen 5
// host, more than a small ZGEMM takes. Where the runtime keeps no such
// description, the family and model read as 0 and the default table is used.
//
// Every table gives the same results, bit for bit: block sizes and tile
// shapes only decide which independent outputs are computed together and
// where operands are copied, never the operations an output sees.
#pragma once

namespace qiv {

enum class CpuVendor { other, amd, intel };

// What the tuning choice reads. family and model are the display values
// (base plus extended fields); cache sizes in bytes, 0 when not reported.
struct CpuId {
    CpuVendor vendor = CpuVendor::other;
    int family = 0;
    int model = 0;
    long l1d_bytes = 0;
    long l2_bytes = 0;
};

// The processor running this code (cheap, see above).
CpuId cpu_id();

// The tuning tables. zen4: AMD family 25 (Zen 4; 512-bit operations executed
// as two 256-bit halves, 32 KiB L1 data, 1 MiB L2); zen5: AMD family 26
// (Zen 5; full-width 512-bit units, 48 KiB L1 data, 1 MiB L2); generic:
// every other processor.
enum class Tuning { generic, zen4, zen5 };

// Every table, for the tests that run the kernels with each one.
constexpr Tuning all_tunings[] = {Tuning::generic, Tuning::zen4, Tuning::zen5};

// The table for a processor.
Tuning tuning_for(const CpuId& cpu);

// The table for the processor running this code: tuning_for(cpu_id()).
Tuning host_tuning();

// Short lower-case name ("generic", "zen4", "zen5") for reports.
const char* tuning_name(Tuning t);

// The processor's vendor string and brand name for reports, read with the
// cpuid instruction (slow under a hypervisor: reports only, never in a
// kernel call). Both end in a zero byte.
struct CpuName {
    char vendor[13];
    char name[49];
};
CpuName cpu_name();

}  // namespace qiv
