// Group sizes of the level-2 engine for each vector width (W complex elements
// per split unit: 2 SSE2, 4 AVX2, 8 AVX-512). They change speed only, never
// results.
#pragma once

namespace qiv {

template <int W>
struct MatvecTuning;

template <>
struct MatvecTuning<2> {
    static constexpr int GN = 4;  // columns per group in the column forms
    static constexpr int GD = 4;  // registers of TEMPs in the dot forms
};

template <>
struct MatvecTuning<4> {
    static constexpr int GN = 4;
    static constexpr int GD = 2;
};

template <>
struct MatvecTuning<8> {
    static constexpr int GN = 8;
    static constexpr int GD = 2;
};

}  // namespace qiv
