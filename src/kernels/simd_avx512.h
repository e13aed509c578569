// Vector operations on 512-bit registers (AVX-512F) for the triangular and
// matrix-vector engines. Include only after "#pragma GCC target("avx512f")" and
// after every other header: everything here has internal linkage, so code
// compiled for this instruction set is never shared with another translation
// unit.
//
// Two layouts are used:
//  - split: a unit of W = 8 consecutive complex elements of a column held in
//    two registers, real parts in one and imaginary parts in the other, in the
//    lane order the unpack instructions give (lane p holds element lane_row(p));
//  - interleaved: CW = 4 complex elements as they lie in memory (re, im, re, ...).
// Only separate multiply, add and subtract instructions are used.
#pragma once

namespace qiv {
namespace {

struct Avx512Ops {
    using V = __m512d;
    struct Mask {
        __mmask8 lo, hi;  // doubles of complex elements 0-3 and 4-7 of a unit
    };
    static constexpr int W = 8;    // complex elements per split unit
    static constexpr int NR = 12;  // columns of a register tile (24 accumulators)
    static constexpr int MU = 2;   // units per register tile of the left "N" updates
    static constexpr int NRT = 6;  // columns per register tile of those updates
    static constexpr int GN = 8;   // columns per group in the level-2 column forms
    static constexpr int GD = 2;   // registers of TEMPs in the level-2 dot forms
    static constexpr int CW = 4;   // complex elements per interleaved register
    static constexpr int SV = 8;   // interleaved registers per row strip

    static V zero() { return _mm512_setzero_pd(); }
    static V set1(double x) { return _mm512_set1_pd(x); }
    static V bcast(const double* p) { return _mm512_set1_pd(*p); }
    static V add(V a, V b) { return _mm512_add_pd(a, b); }
    static V sub(V a, V b) { return _mm512_sub_pd(a, b); }
    static V mul(V a, V b) { return _mm512_mul_pd(a, b); }
    static V div(V a, V b) { return _mm512_div_pd(a, b); }
    static V load(const double* p) { return _mm512_load_pd(p); }
    static void store(double* p, V v) { _mm512_store_pd(p, v); }

    // Split layout.
    static int lane_row(int p) { return p % 2 == 0 ? p / 2 : W / 2 + p / 2; }
    static Mask mask(int rows) {
        const int lo = rows >= 4 ? 8 : 2 * rows;
        const int hi = rows >= 4 ? 2 * (rows - 4) : 0;
        return Mask{static_cast<__mmask8>((1u << lo) - 1), static_cast<__mmask8>((1u << hi) - 1)};
    }
    // The unpack instructions with an all-ones zero-mask: the unmasked
    // intrinsics start from an undefined register in some compilers.
    static V unpacklo(V a, V b) { return _mm512_maskz_unpacklo_pd(0xff, a, b); }
    static V unpackhi(V a, V b) { return _mm512_maskz_unpackhi_pd(0xff, a, b); }
    static void load_split(const zcomplex* p, V& re, V& im) {
        const V lo = _mm512_loadu_pd(&p->re), hi = _mm512_loadu_pd(&p[4].re);
        re = unpacklo(lo, hi);
        im = unpackhi(lo, hi);
    }
    static void load_split(const zcomplex* p, Mask m, V& re, V& im) {
        const V lo = _mm512_maskz_loadu_pd(m.lo, &p->re);
        const V hi = _mm512_maskz_loadu_pd(m.hi, &p[4].re);
        re = unpacklo(lo, hi);
        im = unpackhi(lo, hi);
    }
    static void store_merged(zcomplex* p, V re, V im) {
        _mm512_storeu_pd(&p->re, unpacklo(re, im));
        _mm512_storeu_pd(&p[4].re, unpackhi(re, im));
    }
    static void store_merged(zcomplex* p, Mask m, V re, V im) {
        _mm512_mask_storeu_pd(&p->re, m.lo, unpacklo(re, im));
        _mm512_mask_storeu_pd(&p[4].re, m.hi, unpackhi(re, im));
    }

    // Interleaved layout.
    static V loadc(const zcomplex* p) { return _mm512_loadu_pd(&p->re); }
    static V loadc(const zcomplex* p, int n) {
        return _mm512_maskz_loadu_pd(static_cast<__mmask8>((1u << (2 * n)) - 1), &p->re);
    }
    static void storec(zcomplex* p, V v) { _mm512_storeu_pd(&p->re, v); }
    static void storec(zcomplex* p, int n, V v) {
        _mm512_mask_storeu_pd(&p->re, static_cast<__mmask8>((1u << (2 * n)) - 1), v);
    }
    // (a, b, a, b, ...).
    // Bit c set when complex element c is zero (both parts compare equal to 0).
    static unsigned zero_bits(V v) {
        const unsigned m = _mm512_cmp_pd_mask(v, _mm512_setzero_pd(), _CMP_EQ_OQ);
        const unsigned z = m & (m >> 1);
        return (z & 1u) | ((z >> 1) & 2u) | ((z >> 2) & 4u) | ((z >> 3) & 8u);
    }
    // Complex element c from a where bit c of keep is set, else from b.
    static V select(unsigned keep, V a, V b) {
        unsigned m = 0;
        for (int c = 0; c < CW; ++c) m |= ((keep >> c) & 1u) * (3u << (2 * c));
        return _mm512_mask_mov_pd(b, static_cast<__mmask8>(m), a);
    }
    static V alt(double a, double b) { return _mm512_setr_pd(a, b, a, b, a, b, a, b); }
    // Exchanges the two parts of every complex element.
    static V swap(V v) { return _mm512_maskz_permute_pd(0xff, v, 0x55); }
    // v[c] holds elements 0-3 of column c; afterwards v[r] holds element r of
    // columns 0-3.
    static void transpose(V (&v)[CW]) {
        const V t0 = _mm512_maskz_shuffle_f64x2(0xff, v[0], v[1], 0x44);
        const V t1 = _mm512_maskz_shuffle_f64x2(0xff, v[0], v[1], 0xee);
        const V t2 = _mm512_maskz_shuffle_f64x2(0xff, v[2], v[3], 0x44);
        const V t3 = _mm512_maskz_shuffle_f64x2(0xff, v[2], v[3], 0xee);
        v[0] = _mm512_maskz_shuffle_f64x2(0xff, t0, t2, 0x88);
        v[1] = _mm512_maskz_shuffle_f64x2(0xff, t0, t2, 0xdd);
        v[2] = _mm512_maskz_shuffle_f64x2(0xff, t1, t3, 0x88);
        v[3] = _mm512_maskz_shuffle_f64x2(0xff, t1, t3, 0xdd);
    }
};

}  // namespace
}  // namespace qiv
