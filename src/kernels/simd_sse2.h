// Vector operations on 128-bit registers (SSE2, present on every x86-64
// processor) for the triangular and matrix-vector engines. Include after
// every other header: everything here has internal linkage.
//
// Layouts as in simd_avx512.h: split units of W = 2 complex elements (two
// registers), interleaved registers of CW = 1 complex element.
#pragma once

namespace qiv {
namespace {

struct Sse2Ops {
    using V = __m128d;
    struct Mask {
        bool hi;  // whether complex element 1 of a unit is present
    };
    static constexpr int W = 2;
    static constexpr int NR = 4;
    static constexpr int MU = 1;   // units per register tile of the left "N" updates
    static constexpr int NRT = 4;  // columns per register tile of those updates
    static constexpr int GN = 4;   // columns per group in the level-2 column forms
    static constexpr int GD = 4;   // registers of TEMPs in the level-2 dot forms
    static constexpr int CW = 1;
    static constexpr int SV = 4;

    static V zero() { return _mm_setzero_pd(); }
    static V set1(double x) { return _mm_set1_pd(x); }
    static V bcast(const double* p) { return _mm_load1_pd(p); }
    static V add(V a, V b) { return _mm_add_pd(a, b); }
    static V sub(V a, V b) { return _mm_sub_pd(a, b); }
    static V mul(V a, V b) { return _mm_mul_pd(a, b); }
    static V div(V a, V b) { return _mm_div_pd(a, b); }
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

    // Interleaved layout: one complex element per register.
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
    static void transpose(V (&)[CW]) {}
};

}  // namespace
}  // namespace qiv
