// Vector operations on 128-bit registers (SSE2, present on every x86-64
// processor) for the engines. Include inside the region opened by
// simd/target_baseline.h: everything here has internal linkage.
//
// Layouts as in simd/avx512.h: split units of W = 2 complex elements (two
// registers), interleaved registers of CW = 1 complex element.
#pragma once

#ifndef QIV_KERNEL_TARGET
#error "include inside an instruction-set region (simd/target_baseline.h)"
#endif

namespace qiv {
namespace {

struct Sse2Ops {
    using V = __m128d;
    struct Mask {
        bool hi;  // whether complex element 1 of a unit is present
    };
    static constexpr int W = 2;
    static constexpr int CW = 1;

    static V zero() { return _mm_setzero_pd(); }
    static V set1(double x) { return _mm_set1_pd(x); }
    static V bcast(const double* p) { return _mm_load1_pd(p); }
    static V add(V a, V b) { return _mm_add_pd(a, b); }
    static V sub(V a, V b) { return _mm_sub_pd(a, b); }
    static V mul(V a, V b) { return _mm_mul_pd(a, b); }
    static V div(V a, V b) { return _mm_div_pd(a, b); }
    static V neg(V a) { return _mm_xor_pd(a, _mm_set1_pd(-0.0)); }
    static V load(const double* p) { return _mm_load_pd(p); }
    static void store(double* p, V v) { _mm_store_pd(p, v); }

    // Split layout.
    static int lane_row(int p) { return p; }
    static Mask mask(int rows) { return Mask{rows >= 2}; }
    static void load_split(const zcomplex* p, V& re, V& im) {
        const V lo = _mm_loadu_pd(&p[0].re), hi = _mm_loadu_pd(&p[1].re);
        re = _mm_unpacklo_pd(lo, hi);
        im = _mm_unpackhi_pd(lo, hi);
    }
    static void load_split(const zcomplex* p, Mask m, V& re, V& im) {
        const V lo = _mm_loadu_pd(&p[0].re), hi = m.hi ? _mm_loadu_pd(&p[1].re) : _mm_setzero_pd();
        re = _mm_unpacklo_pd(lo, hi);
        im = _mm_unpackhi_pd(lo, hi);
    }
    static void store_merged(zcomplex* p, V re, V im) {
        _mm_storeu_pd(&p[0].re, _mm_unpacklo_pd(re, im));
        _mm_storeu_pd(&p[1].re, _mm_unpackhi_pd(re, im));
    }
    static void store_merged(zcomplex* p, Mask m, V re, V im) {
        _mm_storeu_pd(&p[0].re, _mm_unpacklo_pd(re, im));
        if (m.hi) _mm_storeu_pd(&p[1].re, _mm_unpackhi_pd(re, im));
    }

    // Interleaved layout: one complex element per register; n <= CW elements
    // load as the rest zero and store leaving the rest untouched.
    static V loadc(const zcomplex* p) { return _mm_loadu_pd(&p->re); }
    static V loadc(const zcomplex* p, int n) { return n > 0 ? loadc(p) : _mm_setzero_pd(); }
    static void storec(zcomplex* p, V v) { _mm_storeu_pd(&p->re, v); }
    static void storec(zcomplex* p, int n, V v) {
        if (n > 0) storec(p, v);
    }
    // Bit 0 set when the complex element is zero (both parts compare equal to 0).
    static unsigned zero_bits(V v) {
        return _mm_movemask_pd(_mm_cmpeq_pd(v, _mm_setzero_pd())) == 3 ? 1u : 0u;
    }
    // a when bit 0 of keep is set, else b.
    static V select(unsigned keep, V a, V b) { return (keep & 1u) ? a : b; }
    static V alt(double a, double b) { return _mm_setr_pd(a, b); }
    static V swap(V v) { return _mm_shuffle_pd(v, v, 1); }
    // v[c] holds elements 0 ... CW-1 of column c; afterwards v[r] holds
    // element r of columns 0 ... CW-1 (nothing to do for one element).
    static void transpose(V (&)[CW]) {}
    // r[0 ... W-1] as a W-by-W matrix of doubles, transposed.
    static void transpose_doubles(V (&r)[W]) {
        const V t0 = _mm_unpacklo_pd(r[0], r[1]), t1 = _mm_unpackhi_pd(r[0], r[1]);
        r[0] = t0;
        r[1] = t1;
    }
};

}  // namespace
}  // namespace qiv
