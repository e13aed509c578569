// The ZGEMM engine compiled for AVX2: 256-bit registers, four complex elements
// per unit (two registers in split form), register tiles of four by four
// (8 accumulators of the 16 registers). Only separate multiply and add
// instructions are used; fused multiply-add would change the results.
#include <immintrin.h>

#include <cstdint>

#include "frame/complex.h"
#include "kernels/gemm_engine.h"

#pragma GCC push_options
#pragma GCC target("avx2")
// No automatic vectorisation in this file: the kernels are written with
// explicit vector operations anyway, and GCC's vectoriser recognises scalar
// complex products (as in forming ALPHA*B) and emits fused multiply-adds
// (vfmaddsub) for them when the target has FMA, in spite of -ffp-contract=off.
#pragma GCC optimize("no-tree-vectorize")

#include "kernels/gemm_engine_body.h"

namespace qiv {
namespace {

struct Avx2 {
    using V = __m256d;
    struct Mask {
        __m256i lo, hi;  // doubles of complex elements 0-1 and 2-3
    };
    static constexpr int W = 4;
    static constexpr int NR = 4;
    static constexpr int MC_N = 256;
    static constexpr int KC_N = 128;
    static constexpr int MC_T = 16;
    static constexpr int NC_T = 96;
    static constexpr int KC_T = 128;

    static V zero() { return _mm256_setzero_pd(); }
    static V set1(double x) { return _mm256_set1_pd(x); }
    static V bcast(const double* p) { return _mm256_broadcast_sd(p); }
    static V add(V a, V b) { return _mm256_add_pd(a, b); }
    static V mul(V a, V b) { return _mm256_mul_pd(a, b); }
    static V neg(V a) { return _mm256_xor_pd(a, _mm256_set1_pd(-0.0)); }
    static V load(const double* p) { return _mm256_load_pd(p); }
    static void store(double* p, V v) { _mm256_store_pd(p, v); }

    static int lane_row(int p) { return p % 2 == 0 ? p / 2 : W / 2 + p / 2; }
    static Mask mask(int rows) {
        const int lo = rows >= 2 ? 4 : 2 * rows;
        const int hi = rows >= 2 ? 2 * (rows - 2) : 0;
        return Mask{lanes(lo), lanes(hi)};
    }
    static __m256i lanes(int n) {
        return _mm256_cmpgt_epi64(_mm256_set1_epi64x(n), _mm256_setr_epi64x(0, 1, 2, 3));
    }
    // n <= 2 consecutive complex elements, interleaved as in memory.
    static V loadc(const zcomplex* p, int n) {
        const double* d = &p->re;
        return n == 2 ? _mm256_loadu_pd(d) : _mm256_maskload_pd(d, lanes(2 * n));
    }
    static void storec(zcomplex* p, int n, V v) {
        double* d = &p->re;
        if (n == 2) {
            _mm256_storeu_pd(d, v);
        } else {
            _mm256_maskstore_pd(d, lanes(2 * n), v);
        }
    }
    // r[0 ... 3] as a 4-by-4 matrix of doubles, transposed.
    static void transpose(V (&r)[4]) {
        const V t0 = _mm256_unpacklo_pd(r[0], r[1]), t1 = _mm256_unpackhi_pd(r[0], r[1]);
        const V t2 = _mm256_unpacklo_pd(r[2], r[3]), t3 = _mm256_unpackhi_pd(r[2], r[3]);
        r[0] = _mm256_permute2f128_pd(t0, t2, 0x20);
        r[1] = _mm256_permute2f128_pd(t1, t3, 0x20);
        r[2] = _mm256_permute2f128_pd(t0, t2, 0x31);
        r[3] = _mm256_permute2f128_pd(t1, t3, 0x31);
    }
    static void load_split(const zcomplex* p, V& re, V& im) {
        const double* d = &p->re;
        const V lo = _mm256_loadu_pd(d), hi = _mm256_loadu_pd(d + 4);
        re = _mm256_unpacklo_pd(lo, hi);
        im = _mm256_unpackhi_pd(lo, hi);
    }
    static void load_split(const zcomplex* p, Mask m, V& re, V& im) {
        const double* d = &p->re;
        const V lo = _mm256_maskload_pd(d, m.lo), hi = _mm256_maskload_pd(d + 4, m.hi);
        re = _mm256_unpacklo_pd(lo, hi);
        im = _mm256_unpackhi_pd(lo, hi);
    }
    static void store_merged(zcomplex* p, V re, V im) {
        double* d = &p->re;
        _mm256_storeu_pd(d, _mm256_unpacklo_pd(re, im));
        _mm256_storeu_pd(d + 4, _mm256_unpackhi_pd(re, im));
    }
    static void store_merged(zcomplex* p, Mask m, V re, V im) {
        double* d = &p->re;
        _mm256_maskstore_pd(d, m.lo, _mm256_unpacklo_pd(re, im));
        _mm256_maskstore_pd(d + 4, m.hi, _mm256_unpackhi_pd(re, im));
    }
};

}  // namespace

void gemm_engine_avx2(const GemmArgs& g) { run<Avx2>(g); }

}  // namespace qiv

#pragma GCC pop_options
