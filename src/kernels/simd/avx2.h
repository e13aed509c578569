// Vector operations on 256-bit registers (AVX2) for the engines. Include
// inside the region opened by simd/target_avx2.h: everything here has
// internal linkage, so code compiled for this instruction set is never shared
// with a unit built for another one.
//
// Layouts as in simd/avx512.h: split units of W = 4 complex elements (two
// registers), interleaved registers of CW = 2 complex elements. Only separate
// multiply, add and subtract instructions are used.
#pragma once

#ifndef QIV_KERNEL_TARGET
#error "include inside an instruction-set region (simd/target_avx2.h)"
#endif

namespace qiv {
namespace {

struct Avx2Ops {
    using V = __m256d;
    struct Mask {
        __m256i lo, hi;  // doubles of complex elements 0-1 and 2-3 of a unit
    };
    static constexpr int W = 4;
    static constexpr int CW = 2;

    static V zero() { return _mm256_setzero_pd(); }
    static V set1(double x) { return _mm256_set1_pd(x); }
    static V bcast(const double* p) { return _mm256_broadcast_sd(p); }
    static V add(V a, V b) { return _mm256_add_pd(a, b); }
    static V sub(V a, V b) { return _mm256_sub_pd(a, b); }
    static V mul(V a, V b) { return _mm256_mul_pd(a, b); }
    static V div(V a, V b) { return _mm256_div_pd(a, b); }
    static V neg(V a) { return _mm256_xor_pd(a, _mm256_set1_pd(-0.0)); }
    static V load(const double* p) { return _mm256_load_pd(p); }
    static void store(double* p, V v) { _mm256_store_pd(p, v); }

    // The first n of the four 64-bit lanes.
    static __m256i lanes(int n) {
        return _mm256_cmpgt_epi64(_mm256_set1_epi64x(n), _mm256_setr_epi64x(0, 1, 2, 3));
    }

    // Split layout.
    static int lane_row(int p) { return p % 2 == 0 ? p / 2 : W / 2 + p / 2; }
    static Mask mask(int rows) {
        const int lo = rows >= 2 ? 4 : 2 * rows;
        const int hi = rows >= 2 ? 2 * (rows - 2) : 0;
        return Mask{lanes(lo), lanes(hi)};
    }
    static void load_split(const zcomplex* p, V& re, V& im) {
        const V lo = _mm256_loadu_pd(&p->re), hi = _mm256_loadu_pd(&p[2].re);
        re = _mm256_unpacklo_pd(lo, hi);
        im = _mm256_unpackhi_pd(lo, hi);
    }
    static void load_split(const zcomplex* p, Mask m, V& re, V& im) {
        const V lo = _mm256_maskload_pd(&p->re, m.lo), hi = _mm256_maskload_pd(&p[2].re, m.hi);
        re = _mm256_unpacklo_pd(lo, hi);
        im = _mm256_unpackhi_pd(lo, hi);
    }
    static void store_merged(zcomplex* p, V re, V im) {
        _mm256_storeu_pd(&p->re, _mm256_unpacklo_pd(re, im));
        _mm256_storeu_pd(&p[2].re, _mm256_unpackhi_pd(re, im));
    }
    static void store_merged(zcomplex* p, Mask m, V re, V im) {
        _mm256_maskstore_pd(&p->re, m.lo, _mm256_unpacklo_pd(re, im));
        _mm256_maskstore_pd(&p[2].re, m.hi, _mm256_unpackhi_pd(re, im));
    }

    // Interleaved layout; n <= CW elements load as the rest zero and store
    // leaving the rest untouched.
    static V loadc(const zcomplex* p) { return _mm256_loadu_pd(&p->re); }
    static V loadc(const zcomplex* p, int n) {
        return n == CW ? loadc(p) : _mm256_maskload_pd(&p->re, lanes(2 * n));
    }
    static void storec(zcomplex* p, V v) { _mm256_storeu_pd(&p->re, v); }
    static void storec(zcomplex* p, int n, V v) {
        if (n == CW) {
            storec(p, v);
        } else {
            _mm256_maskstore_pd(&p->re, lanes(2 * n), v);
        }
    }
    // Bit c set when complex element c is zero (both parts compare equal to 0).
    static unsigned zero_bits(V v) {
        const unsigned m = _mm256_movemask_pd(_mm256_cmp_pd(v, _mm256_setzero_pd(), _CMP_EQ_OQ));
        const unsigned z = m & (m >> 1);
        return (z & 1u) | ((z >> 1) & 2u);
    }
    // Complex element c from a where bit c of keep is set, else from b.
    static V select(unsigned keep, V a, V b) {
        const long long k0 = -static_cast<long long>(keep & 1u);
        const long long k1 = -static_cast<long long>((keep >> 1) & 1u);
        return _mm256_blendv_pd(b, a, _mm256_castsi256_pd(_mm256_setr_epi64x(k0, k0, k1, k1)));
    }
    static V alt(double a, double b) { return _mm256_setr_pd(a, b, a, b); }
    static V swap(V v) { return _mm256_permute_pd(v, 0x5); }
    // v[c] holds elements 0-1 of column c; afterwards v[r] holds element r of
    // columns 0-1.
    static void transpose(V (&v)[CW]) {
        const V r0 = _mm256_permute2f128_pd(v[0], v[1], 0x20);
        const V r1 = _mm256_permute2f128_pd(v[0], v[1], 0x31);
        v[0] = r0;
        v[1] = r1;
    }
    // r[0 ... W-1] as a W-by-W matrix of doubles, transposed.
    static void transpose_doubles(V (&r)[W]) {
        const V t0 = _mm256_unpacklo_pd(r[0], r[1]), t1 = _mm256_unpackhi_pd(r[0], r[1]);
        const V t2 = _mm256_unpacklo_pd(r[2], r[3]), t3 = _mm256_unpackhi_pd(r[2], r[3]);
        r[0] = _mm256_permute2f128_pd(t0, t2, 0x20);
        r[1] = _mm256_permute2f128_pd(t1, t3, 0x20);
        r[2] = _mm256_permute2f128_pd(t0, t2, 0x31);
        r[3] = _mm256_permute2f128_pd(t1, t3, 0x31);
    }
};

}  // namespace
}  // namespace qiv
