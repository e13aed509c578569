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

}  // namespace
}  // namespace qiv
