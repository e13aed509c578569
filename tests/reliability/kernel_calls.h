// Calls of the kernels that have fast paths (ZGEMM, ZTRSM, ZTRMM, ZGEMV,
// ZGERC, ZTRMV, ZTRSV) in every form, for the harnesses that place arrays
// (guard pages, huge offsets). Each call goes through one target: the
// routine itself (argument checks, quick returns, the engine of the best
// instruction set) or the engine of one instruction set called directly,
// where the routine would call it. Shapes with a zero dimension make calls
// of the routine only (the engines start after its quick returns): with
// nothing described, an array gets an address no access may use.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "kernels/simd/isa.h"
#include "reliability/harness.h"

namespace reltest {

struct KernelTarget {
    bool routine;  // through the routine; otherwise the engine of isa
    qiv::Isa isa;
    std::string name;
};

// The routine, then the engine of every instruction set the processor has.
std::vector<KernelTarget> kernel_targets();

// ZGEMM in all nine TRANSA/TRANSB forms for each (M, N, K).
std::vector<Call> gemm_calls(const KernelTarget& t, const std::vector<std::array<int, 3>>& mnk,
                             std::uint64_t seed);
// ZTRSM and ZTRMM for every SIDE, UPLO, TRANSA and DIAG, for each (M, N).
// The triangle that is not referenced (and a unit diagonal) holds NaN, which
// must not reach B.
std::vector<Call> trmat_calls(const KernelTarget& t, const std::vector<std::array<int, 2>>& mn,
                              std::uint64_t seed);
// ZGEMV (each TRANS) and ZGERC for each (M, N); ZTRMV and ZTRSV for every
// UPLO, TRANS and DIAG for each order M (the first of each pair, at most 160). Vectors are
// strided: the placement chooses the increment's magnitude, the call its sign
// (alternating).
std::vector<Call> level2_calls(const KernelTarget& t, const std::vector<std::array<int, 2>>& mn,
                               std::uint64_t seed);

}  // namespace reltest
