// Register tiles of the ZTRSM/ZTRMM engine, one table per processor kind (see
// kernels/simd/cpu.h) and vector width W (complex elements per split unit: 2
// SSE2, 4 AVX2, 8 AVX-512; CW = W/2 per interleaved register). They change
// speed only, never results.
//   NR: columns of a panel (and of a one-unit tile);
//   MU: units per register tile of the left "N" updates;
//   NRT: columns per register tile of those updates;
//   SV: interleaved registers per row strip (right side).
//
// Zen 4 (AMD family 25): the values from before tables per processor
// existed, not measured again (the project's current host is a Zen 5).
// Zen 5 (AMD family 26): measured on the project's Zen 5 host (see
// engines/NOTES.md). Every other processor gets the Zen 4 values.
#pragma once

#include "kernels/simd/cpu.h"

namespace qiv {

template <int W>
struct TrmatZen4;

template <>
struct TrmatZen4<2> {
    static constexpr int W = 2;
    static constexpr int NR = 4;
    static constexpr int MU = 1;
    static constexpr int NRT = 4;
    static constexpr int SV = 4;
};

template <>
struct TrmatZen4<4> {
    static constexpr int W = 4;
    static constexpr int NR = 4;
    static constexpr int MU = 1;
    static constexpr int NRT = 4;
    static constexpr int SV = 4;
};

template <>
struct TrmatZen4<8> {
    static constexpr int W = 8;
    static constexpr int NR = 12;  // 24 accumulators of the 32 registers
    static constexpr int MU = 2;
    static constexpr int NRT = 6;
    static constexpr int SV = 8;
};

// Zen 5 runs the AVX-512 kernels; the narrower paths keep the Zen 4 values
// (they run on a Zen 5 only when forced, as in the tests).
struct TrmatZen5Avx512 {
    static constexpr int W = 8;
    static constexpr int NR = 12;
    // One unit by the panel's twelve columns: measured against two units by
    // six (and three by four, four by three) on ZTRSM left lower unit with
    // 64 rows (the block row of ZGETRF) and with 1000 rows.
    static constexpr int MU = 1;
    static constexpr int NRT = 12;
    static constexpr int SV = 8;
};

// The table type for processor kind T and width W. Equal tables are one
// type, so no kernel is compiled twice for the same values.
template <Tuning T, int W>
struct TrmatTable {
    using type = TrmatZen4<W>;
};
template <>
struct TrmatTable<Tuning::zen5, 8> {
    using type = TrmatZen5Avx512;
};

// Calls f(table) with a value of the table type for processor kind t and
// width W.
template <int W, class F>
void with_trmat_table(Tuning t, F&& f) {
    switch (t) {
        case Tuning::zen5:
            f(typename TrmatTable<Tuning::zen5, W>::type{});
            return;
        case Tuning::zen4:
            f(typename TrmatTable<Tuning::zen4, W>::type{});
            return;
        case Tuning::generic:
            break;
    }
    f(typename TrmatTable<Tuning::generic, W>::type{});
}

}  // namespace qiv
