// The ZGEMM engine compiled for AVX-512F: 512-bit registers, eight complex
// elements per unit (two registers in split form), register tiles of eight
// by twelve (24 accumulators of the 32 registers).
#include <immintrin.h>

#include <cstdint>

#include "frame/complex.h"
#include "kernels/gemm_engine.h"

#pragma GCC push_options
#pragma GCC target("avx512f")
// No automatic vectorisation in this file: the kernels are written with
// explicit vector operations anyway, and GCC's vectoriser recognises scalar
// complex products (as in forming ALPHA*B) and emits fused multiply-adds
// (vfmaddsub) for them when the target has FMA, in spite of -ffp-contract=off.
#pragma GCC optimize("no-tree-vectorize")

#include "kernels/gemm_engine_body.h"

namespace qiv {
namespace {

struct Avx512 {
    using V = __m512d;
    struct Mask {
        __mmask8 lo, hi;  // doubles of complex elements 0-3 and 4-7
    };
    static constexpr int W = 8;
    static constexpr int NR = 12;
    static constexpr int MC_N = 336;
    static constexpr int KC_N = 96;
    static constexpr int MC_T = 16;
    static constexpr int NC_T = 168;
    static constexpr int KC_T = 72;

    static V zero() { return _mm512_setzero_pd(); }
    static V set1(double x) { return _mm512_set1_pd(x); }
    static V bcast(const double* p) { return _mm512_set1_pd(*p); }
    static V add(V a, V b) { return _mm512_add_pd(a, b); }
    static V mul(V a, V b) { return _mm512_mul_pd(a, b); }
    static V neg(V a) {
        const __m512i sign = _mm512_set1_epi64(INT64_MIN);
        return _mm512_castsi512_pd(_mm512_xor_si512(_mm512_castpd_si512(a), sign));
    }
    static V load(const double* p) { return _mm512_load_pd(p); }
    static void store(double* p, V v) { _mm512_store_pd(p, v); }

    // Lane p of a split register holds row p/2 (p even) or W/2 + p/2 (p odd).
    static int lane_row(int p) { return p % 2 == 0 ? p / 2 : W / 2 + p / 2; }
    static Mask mask(int rows) {
        const int lo = rows >= 4 ? 8 : 2 * rows;
        const int hi = rows >= 4 ? 2 * (rows - 4) : 0;
        return Mask{static_cast<__mmask8>((1u << lo) - 1), static_cast<__mmask8>((1u << hi) - 1)};
    }
    // The unpack instructions, written with an all-ones zero-mask: the
    // unmasked intrinsics of some compilers start from an undefined register
    // and draw uninitialised-use warnings; the instruction emitted is the same.
    static V unpacklo(V a, V b) { return _mm512_maskz_unpacklo_pd(0xff, a, b); }
    static V unpackhi(V a, V b) { return _mm512_maskz_unpackhi_pd(0xff, a, b); }
    // n <= 4 consecutive complex elements, interleaved as in memory.
    static V loadc(const zcomplex* p, int n) {
        return n == 4 ? _mm512_loadu_pd(p) : _mm512_maskz_loadu_pd(bits(n), p);
    }
    static void storec(zcomplex* p, int n, V v) {
        if (n == 4) {
            _mm512_storeu_pd(p, v);
        } else {
            _mm512_mask_storeu_pd(p, bits(n), v);
        }
    }
    static __mmask8 bits(int n) { return static_cast<__mmask8>((1u << (2 * n)) - 1); }

    // r[0 ... 7] as an 8-by-8 matrix of doubles, transposed: unpack pairs,
    // then gather quarters, then halves.
    static void transpose(V (&r)[8]) {
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

    static void load_split(const zcomplex* p, V& re, V& im) {
        const V lo = _mm512_loadu_pd(p), hi = _mm512_loadu_pd(p + 4);
        re = unpacklo(lo, hi);
        im = unpackhi(lo, hi);
    }
    static void load_split(const zcomplex* p, Mask m, V& re, V& im) {
        const V lo = _mm512_maskz_loadu_pd(m.lo, p), hi = _mm512_maskz_loadu_pd(m.hi, p + 4);
        re = unpacklo(lo, hi);
        im = unpackhi(lo, hi);
    }
    static void store_merged(zcomplex* p, V re, V im) {
        _mm512_storeu_pd(p, unpacklo(re, im));
        _mm512_storeu_pd(p + 4, unpackhi(re, im));
    }
    static void store_merged(zcomplex* p, Mask m, V re, V im) {
        _mm512_mask_storeu_pd(p, m.lo, unpacklo(re, im));
        _mm512_mask_storeu_pd(p + 4, m.hi, unpackhi(re, im));
    }
};

}  // namespace

void gemm_engine_avx512(const GemmArgs& g) { run<Avx512>(g); }

}  // namespace qiv

#pragma GCC pop_options
