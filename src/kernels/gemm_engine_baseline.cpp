// The ZGEMM engine for any x86-64 processor: 128-bit SSE2 registers, two
// complex elements per unit (two registers in split form), register tiles of
// two by four.
#include <emmintrin.h>

#include "frame/complex.h"
#include "kernels/gemm_engine.h"
#include "kernels/gemm_engine_body.h"

namespace qiv {
namespace {

struct Sse2 {
    using V = __m128d;
    struct Mask {
        bool hi;  // whether complex element 1 is present (element 0 always is)
    };
    static constexpr int W = 2;
    static constexpr int NR = 4;
    static constexpr int MC_N = 256;
    static constexpr int KC_N = 128;
    static constexpr int MC_T = 16;
    static constexpr int NC_T = 96;
    static constexpr int KC_T = 128;

    static V zero() { return _mm_setzero_pd(); }
    static V set1(double x) { return _mm_set1_pd(x); }
    static V bcast(const double* p) { return _mm_load1_pd(p); }
    static V add(V a, V b) { return _mm_add_pd(a, b); }
    static V mul(V a, V b) { return _mm_mul_pd(a, b); }
    static V neg(V a) { return _mm_xor_pd(a, _mm_set1_pd(-0.0)); }
    static V load(const double* p) { return _mm_load_pd(p); }
    static void store(double* p, V v) { _mm_store_pd(p, v); }

    static int lane_row(int p) { return p; }
    static Mask mask(int rows) { return Mask{rows >= 2}; }
    // One complex element, interleaved as in memory (n is always 1).
    static V loadc(const zcomplex* p, int) { return _mm_loadu_pd(&p->re); }
    static void storec(zcomplex* p, int, V v) { _mm_storeu_pd(&p->re, v); }
    // r[0 ... 1] as a 2-by-2 matrix of doubles, transposed.
    static void transpose(V (&r)[2]) {
        const V t0 = _mm_unpacklo_pd(r[0], r[1]), t1 = _mm_unpackhi_pd(r[0], r[1]);
        r[0] = t0;
        r[1] = t1;
    }
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
};

}  // namespace

void gemm_engine_baseline(const GemmArgs& g) { run<Sse2>(g); }

}  // namespace qiv
