// Small helpers every engine body shares. Include inside an instruction-set
// region (after simd/target_<isa>.h and the wrapper): the templates here are
// instantiated for that instruction set only and have internal linkage.
#pragma once

#ifndef QIV_KERNEL_TARGET
#error "include inside an instruction-set region (simd/target_<isa>.h)"
#endif

namespace qiv {
namespace {

using idx = std::ptrdiff_t;

inline int imin(int a, int b) { return a < b ? a : b; }

// Compile-time width (tile columns, registers of a strip) carried as a type.
template <int N>
struct Width {
    static constexpr int value = N;
};

// Calls f(Width<n>{}) for a run-time n in 1 ... N.
template <int N, class F>
[[gnu::always_inline]] inline void with_width(int n, F&& f) {
    if constexpr (N > 1) {
        if (n < N) {
            with_width<N - 1>(n, f);
            return;
        }
    }
    f(Width<N>{});
}

// t*v on interleaved registers, for a broadcast complex t given as
// t1 = (tr, tr, ...) and t2 = (-ti, ti, ...), and vs = swap(v):
// (vr*tr - vi*ti, vi*tr + vr*ti), the textbook product rounded as the plain
// loops round it (x + (-y) equals x - y).
template <class O>
[[gnu::always_inline]] inline typename O::V cmul(typename O::V v, typename O::V vs,
                                                 typename O::V t1, typename O::V t2) {
    return O::add(O::mul(v, t1), O::mul(vs, t2));
}

// The two broadcast registers of a complex scalar t for cmul.
template <class O>
[[gnu::always_inline]] inline typename O::V bcast_re(zcomplex t) {
    return O::set1(t.re);
}
template <class O>
[[gnu::always_inline]] inline typename O::V bcast_im(zcomplex t) {
    return O::alt(-t.im, t.im);
}

// ---------------------------------------------------------------------------
// Memory: prefetching a region in parts while other work runs, and packing
// a unit of op(A) in split form.

// A set of equally long, equally spaced pieces of memory (segments of
// columns), to be brought into the caches a part at a time.
struct Region {
    const char* base = nullptr;
    idx stride = 0;  // bytes from one segment to the next
    int count = 0;   // segments
    int bytes = 0;   // bytes per segment
};

// Prefetches part `part` of `parts` of the cache lines of r into the
// second-level cache. Always inlined: a separate function holding only
// prefetches would count as free of side effects, and its calls be dropped.
[[gnu::always_inline]] inline void prefetch_part(const Region& r, int part, int parts) {
    if (r.count == 0 || r.bytes == 0 || part < 0 || part >= parts) return;
    const int per = (r.bytes + 63) / 64 + 1;  // lines a segment can touch
    const long total = static_cast<long>(per) * r.count;
    const long lo = total * part / parts, hi = total * (part + 1) / parts;
    long seg = lo / per;
    int line = static_cast<int>(lo - seg * per);
    for (long t = lo; t < hi; ++t) {
        const int off = line * 64 < r.bytes ? line * 64 : r.bytes - 1;
        __builtin_prefetch(r.base + seg * r.stride + off, 0, 2);
        if (++line == per) {
            line = 0;
            ++seg;
        }
    }
}

// Copies rows i0 ... i0+rows-1 of op(A) (columns of A), depth l0 ... l0+kc-1,
// into one packed unit: for each l, W real parts then W imaginary parts, lane
// p holding row O::lane_row(p); conjugation is applied here (an exact sign
// change) and missing rows are zero. W/2 steps of l at a time, transposed in
// registers. (The op(A) of the transposed ZGEMM structure, the op(A) of the
// left transposed triangular cases, the op(B) of ZGEMM's few-column case.)
template <class O>
void pack_unit(const zcomplex* a, idx lda, int i0, int rows, int l0, int kc, bool cj, double* vp) {
    using V = typename O::V;
    constexpr int W = O::W, G = O::W / 2;
    const zcomplex* col[W];
    for (int p = 0; p < W; ++p) {
        const int i = O::lane_row(p) < rows ? O::lane_row(p) : 0;
        col[p] = a + l0 + (i0 + i) * lda;
    }
    int l = 0;
    if (rows == W) {
        // Whole groups of G steps with every row present: registers only.
        for (; l + G <= kc; l += G) {
            V r[W];
#pragma GCC unroll 16
            for (int p = 0; p < W; ++p) r[p] = O::loadc(col[p] + l, G);
            O::transpose_doubles(r);
#pragma GCC unroll 16
            for (int q = 0; q < G; ++q) {
                O::store(vp + (l + q) * 2 * W, r[2 * q]);
                O::store(vp + (l + q) * 2 * W + W, cj ? O::neg(r[2 * q + 1]) : r[2 * q + 1]);
            }
        }
    }
    for (; l < kc; l += G) {
        const int n = imin(G, kc - l);
        V r[W];
        for (int p = 0; p < W; ++p)
            r[p] = O::lane_row(p) < rows ? O::loadc(col[p] + l, n) : O::zero();
        O::transpose_doubles(r);
        for (int q = 0; q < n; ++q) {
            O::store(vp + (l + q) * 2 * W, r[2 * q]);
            O::store(vp + (l + q) * 2 * W + W, cj ? O::neg(r[2 * q + 1]) : r[2 * q + 1]);
        }
    }
}

}  // namespace
}  // namespace qiv
