// Block sizes of the ZGEMM engine, one table per processor kind (see
// kernels/simd/cpu.h) and vector width W (complex elements per split unit: 2
// SSE2, 4 AVX2, 8 AVX-512). They change speed only, never results.
//   NR: accumulator pairs (columns or rows) of a register tile;
//   MC_N, KC_N: rows and depth of a block of A in the op(A) = A structure;
//   BAL_K: that structure's depth blocks all of about the same depth (the
//     nearest whole number of blocks of KC_N, so at most 3*KC_N/2 deep)
//     instead of KC_N with the rest in the last block;
//   PF_ACROSS: that structure's last tile of a column unit asks for the
//     first tile of the next unit (otherwise only tiles of the same unit);
//   MC_T, NC_T, KC_T: rows, columns and depth of the transposed structure,
//     whose register tiles have NR columns, or NR_TC when the columns read in
//     place crowd into few cache sets;
//   NC_F, MC_F, KC_F: the transposed structure for at most NC_F columns of C
//     (columns packed, blocks of MC_F rows, depth blocks of KC_F).
//
// Zen 4 (AMD family 25): the values the engine had before tables per
// processor existed. They have not been measured again: the project's
// current host is a Zen 5, and a Zen 4 table is only changed after runs on
// a Zen 4. Zen 5 (AMD family 26): measured on the project's Zen 5 host (see
// engines/NOTES.md): the Zen 4 block sizes, the best found, with BAL_K and
// PF_ACROSS for AVX-512. Every other
// processor gets the Zen 4 values, which assume what every AVX-512
// processor has (32 vector registers) and a second-level cache of 1 MiB or
// more for the blocks of A.
#pragma once

#include "kernels/simd/cpu.h"

namespace qiv {

template <int W>
struct GemmZen4;

template <>
struct GemmZen4<2> {
    static constexpr int W = 2;
    static constexpr int NR = 4;
    static constexpr bool PF_ACROSS = false;
    static constexpr bool BAL_K = false;
    static constexpr int MC_N = 256, KC_N = 128;
    static constexpr int NR_TC = 4;
    static constexpr int MC_T = 16, NC_T = 96, KC_T = 128;
    static constexpr int NC_F = 32, MC_F = 48, KC_F = 64;
};

template <>
struct GemmZen4<4> {
    static constexpr int W = 4;
    static constexpr int NR = 4;
    static constexpr bool PF_ACROSS = false;
    static constexpr bool BAL_K = false;
    static constexpr int MC_N = 256, KC_N = 128;
    static constexpr int NR_TC = 4;
    static constexpr int MC_T = 16, NC_T = 96, KC_T = 128;
    static constexpr int NC_F = 32, MC_F = 48, KC_F = 64;
};

template <>
struct GemmZen4<8> {
    static constexpr int W = 8;
    static constexpr int NR = 12;  // 24 accumulators of the 32 registers
    static constexpr bool PF_ACROSS = false;
    static constexpr bool BAL_K = false;
    static constexpr int MC_N = 336, KC_N = 96;
    static constexpr int NR_TC = 8;
    static constexpr int MC_T = 16, NC_T = 168, KC_T = 72;
    static constexpr int NC_F = 32, MC_F = 48, KC_F = 64;
};

// The table type for processor kind T and width W. Equal tables are one
// type, so no kernel is compiled twice for the same values. Different
// values for a processor kind go into a specialisation of GemmTable.
template <Tuning T, int W>
struct GemmTable {
    using type = GemmZen4<W>;
};

// Zen 5 with AVX-512: the Zen 4 block sizes, with balanced depth blocks
// and the prefetch across column units in the op(A) = A structure
// (measured in engines/NOTES.md).
template <int W>
struct GemmZen5 : GemmZen4<W> {
    static constexpr bool PF_ACROSS = true;
    static constexpr bool BAL_K = true;
};

template <>
struct GemmTable<Tuning::zen5, 8> {
    using type = GemmZen5<8>;
};

// Calls f(table) with a value of the table type for processor kind t and
// width W.
template <int W, class F>
void with_gemm_table(Tuning t, F&& f) {
    switch (t) {
        case Tuning::zen5:
            f(typename GemmTable<Tuning::zen5, W>::type{});
            return;
        case Tuning::zen4:
            f(typename GemmTable<Tuning::zen4, W>::type{});
            return;
        case Tuning::generic:
            break;
    }
    f(typename GemmTable<Tuning::generic, W>::type{});
}

}  // namespace qiv
