// Register tiles of the ZTRSM/ZTRMM engine for each vector width (W complex
// elements per split unit: 2 SSE2, 4 AVX2, 8 AVX-512; CW = W/2 per
// interleaved register). They change speed only, never results.
#pragma once

namespace qiv {

template <int W>
struct TrmatTuning;

template <>
struct TrmatTuning<2> {
    static constexpr int NR = 4;   // columns of a panel (and of a one-unit tile)
    static constexpr int MU = 1;   // units per register tile of the left "N" updates
    static constexpr int NRT = 4;  // columns per register tile of those updates
    static constexpr int SV = 4;   // interleaved registers per row strip (right side)
};

template <>
struct TrmatTuning<4> {
    static constexpr int NR = 4;
    static constexpr int MU = 1;
    static constexpr int NRT = 4;
    static constexpr int SV = 4;
};

template <>
struct TrmatTuning<8> {
    static constexpr int NR = 12;  // 24 accumulators of the 32 registers
    static constexpr int MU = 2;
    static constexpr int NRT = 6;
    static constexpr int SV = 8;
};

}  // namespace qiv
