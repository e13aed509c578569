// Instruction sets the fast kernels are compiled for, and the choice among
// them at run time. Every kernel body exists once per instruction set in the
// same binary (selected with function target attributes), so the library runs
// on any x86-64 processor and uses the widest vectors the processor offers.
#pragma once

namespace qiv {

enum class Isa {
    baseline,  // x86-64 with SSE2, present on every x86-64 processor
    avx2,      // 256-bit vectors
    avx512,    // 512-bit vectors (AVX-512F)
};

// True when the processor running this code can execute the given kernels.
bool isa_supported(Isa isa);

// The widest instruction set the processor supports. Reads the processor
// description the runtime filled in at start-up: no state of our own and no
// cost worth mentioning next to even a small kernel call.
Isa best_isa();

// Short lower-case name ("baseline", "avx2", "avx512") for reports.
const char* isa_name(Isa isa);

}  // namespace qiv
