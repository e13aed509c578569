// Vector operations on 512-bit registers (AVX-512F) for the engines. Include
// inside the region opened by simd/target_avx512.h: everything here has
// internal linkage, so code compiled for this instruction set is never shared
// with a unit built for another one.
//
// Two layouts are used:
//  - split: a unit of W = 8 consecutive complex elements of a column held in
//    two registers, real parts in one and imaginary parts in the other, in the
//    lane order the unpack instructions give (lane p holds element lane_row(p));
//  - interleaved: CW = 4 complex elements as they lie in memory (re, im, re, ...).
// Only separate multiply, add and subtract instructions are used.
#pragma once

#ifndef QIV_KERNEL_TARGET
#error "include inside an instruction-set region (simd/target_avx512.h)"
#endif

namespace qiv {
namespace {

struct Avx512Ops {
    using V = __m512d;
    struct Mask {
        __mmask8 lo, hi;  // doubles of complex elements 0-3 and 4-7 of a unit
    };
    static constexpr int W = 8;   // complex elements per split unit
    static constexpr int CW = 4;  // complex elements per interleaved register

    static V zero() { return _mm512_setzero_pd(); }
    static V set1(double x) { return _mm512_set1_pd(x); }
    static V bcast(const double* p) { return _mm512_set1_pd(*p); }
    static V add(V a, V b) { return _mm512_add_pd(a, b); }
    static V sub(V a, V b) { return _mm512_sub_pd(a, b); }
    static V mul(V a, V b) { return _mm512_mul_pd(a, b); }
    static V div(V a, V b) { return _mm512_div_pd(a, b); }
    // The sign flip as an integer operation (AVX-512F has no double xor).
    static V neg(V a) {
        const __m512i sign = _mm512_set1_epi64(INT64_MIN);
        return _mm512_castsi512_pd(_mm512_xor_si512(_mm512_castpd_si512(a), sign));
    }
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

    // Interleaved layout; n <= CW elements load as the rest zero and store
    // leaving the rest untouched.
    static __mmask8 bits(int n) { return static_cast<__mmask8>((1u << (2 * n)) - 1); }
    static V loadc(const zcomplex* p) { return _mm512_loadu_pd(&p->re); }
    static V loadc(const zcomplex* p, int n) {
        return n == CW ? loadc(p) : _mm512_maskz_loadu_pd(bits(n), &p->re);
    }
    static void storec(zcomplex* p, V v) { _mm512_storeu_pd(&p->re, v); }
    static void storec(zcomplex* p, int n, V v) {
        if (n == CW) {
            storec(p, v);
        } else {
            _mm512_mask_storeu_pd(&p->re, bits(n), v);
        }
    }
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
    // (a, b, a, b, ...).
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
    // r[0 ... W-1] as a W-by-W matrix of doubles, transposed: unpack pairs,
    // then gather quarters, then halves.
    static void transpose_doubles(V (&r)[W]) {
        const __m512i lo = _mm512_setr_epi64(0, 1, 8, 9, 4, 5, 12, 13);
        const __m512i hi = _mm512_setr_epi64(2, 3, 10, 11, 6, 7, 14, 15);
        const V t0 = unpacklo(r[0], r[1]), t1 = unpackhi(r[0], r[1]);
        const V t2 = unpacklo(r[2], r[3]), t3 = unpackhi(r[2], r[3]);
        const V t4 = unpacklo(r[4], r[5]), t5 = unpackhi(r[4], r[5]);
        const V t6 = unpacklo(r[6], r[7]), t7 = unpackhi(r[6], r[7]);
        // u0, u4: positions 0 and 4; u1, u5: 2 and 6; u2, u6: 1 and 5; u3,
        // u7: 3 and 7 (of the first and the second four registers).
        const V u0 = _mm512_permutex2var_pd(t0, lo, t2), u1 = _mm512_permutex2var_pd(t0, hi, t2);
        const V u2 = _mm512_permutex2var_pd(t1, lo, t3), u3 = _mm512_permutex2var_pd(t1, hi, t3);
        const V u4 = _mm512_permutex2var_pd(t4, lo, t6), u5 = _mm512_permutex2var_pd(t4, hi, t6);
        const V u6 = _mm512_permutex2var_pd(t5, lo, t7), u7 = _mm512_permutex2var_pd(t5, hi, t7);
        r[0] = _mm512_maskz_shuffle_f64x2(0xff, u0, u4, 0x44);
        r[4] = _mm512_maskz_shuffle_f64x2(0xff, u0, u4, 0xee);
        r[2] = _mm512_maskz_shuffle_f64x2(0xff, u1, u5, 0x44);
        r[6] = _mm512_maskz_shuffle_f64x2(0xff, u1, u5, 0xee);
        r[1] = _mm512_maskz_shuffle_f64x2(0xff, u2, u6, 0x44);
        r[5] = _mm512_maskz_shuffle_f64x2(0xff, u2, u6, 0xee);
        r[3] = _mm512_maskz_shuffle_f64x2(0xff, u3, u7, 0x44);
        r[7] = _mm512_maskz_shuffle_f64x2(0xff, u3, u7, 0xee);
    }
};

}  // namespace
}  // namespace qiv
