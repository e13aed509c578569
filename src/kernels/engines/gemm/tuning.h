// Block sizes of the ZGEMM engine for each vector width (W complex elements
// per split unit: 2 SSE2, 4 AVX2, 8 AVX-512). They change speed only, never
// results. NR: accumulator pairs (columns or rows) of a register tile;
// MC_N, KC_N: rows and depth of a block of A in the op(A) = A structure;
// MC_T, NC_T, KC_T: rows, columns and depth of the transposed structure,
// whose register tiles have NR columns, or NR_TC when the columns read in
// place crowd into few cache sets;
// NC_F, MC_F, KC_F: the transposed structure for at most NC_F columns of C
// (columns packed, blocks of MC_F rows, depth blocks of KC_F).
#pragma once

namespace qiv {

template <int W>
struct GemmTuning;

template <>
struct GemmTuning<2> {
    static constexpr int NR = 4;
    static constexpr int MC_N = 256, KC_N = 128;
    static constexpr int NR_TC = 4;
    static constexpr int MC_T = 16, NC_T = 96, KC_T = 128;
    static constexpr int NC_F = 32, MC_F = 48, KC_F = 64;
};

template <>
struct GemmTuning<4> {
    static constexpr int NR = 4;
    static constexpr int MC_N = 256, KC_N = 128;
    static constexpr int NR_TC = 4;
    static constexpr int MC_T = 16, NC_T = 96, KC_T = 128;
    static constexpr int NC_F = 32, MC_F = 48, KC_F = 64;
};

template <>
struct GemmTuning<8> {
    static constexpr int NR = 12;  // 24 accumulators of the 32 registers
    static constexpr int MC_N = 336, KC_N = 96;
    static constexpr int NR_TC = 8;
    static constexpr int MC_T = 16, NC_T = 168, KC_T = 72;
    static constexpr int NC_F = 32, MC_F = 48, KC_F = 64;
};

}  // namespace qiv
