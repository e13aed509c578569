// Bodies of the vector engine (kernels/vector_engine.h), written once for the
// register wrappers O of kernels/simd (Sse2Ops, Avx2Ops, Avx512Ops) and the
// per-instruction-set extras G each unit defines before including this file:
//   G::load(p, step, n) / G::store(p, step, n, v): n <= O::CW complex
//     elements at p + i*step into / from one interleaved register (the rest
//     zero / untouched);
//   G::abs(v): both parts' sign bits cleared;
//   G::keep_greater(v, idx, best, besti): best := v and besti := idx in the
//     lanes where v > best (ordered: a NaN v never replaces best).
// Include inside the instruction-set region, after the wrapper and G.
#pragma once

#ifndef QIV_KERNEL_TARGET
#error "include inside an instruction-set region"
#endif

namespace qiv {
namespace {

template <class O>
struct Vec {
    using V = typename O::V;
    static constexpr int CW = O::CW;
    static constexpr int W = O::W;

    // A complex scalar t broadcast for products t*a: (tr, tr, ...) and
    // (-ti, ti, ...).
    struct Factor {
        V r, i;
    };
    static Factor factor(zcomplex t) { return Factor{O::set1(t.re), O::alt(-t.im, t.im)}; }

    // t*a for every element of a, given a with its parts exchanged: real part
    // ar*tr + ai*(-ti), imaginary part ai*tr + ar*ti.
    static V mul(const Factor& t, V a, V a_swapped) {
        return O::add(O::mul(a, t.r), O::mul(a_swapped, t.i));
    }
    static V mul(const Factor& t, V a) { return mul(t, a, O::swap(a)); }
};

template <class O>
void zaxpy_body(int n, zcomplex a, const zcomplex* x, zcomplex* y) {
    using Z = Vec<O>;
    const typename Z::Factor f = Z::factor(a);
    int i = 0;
    for (; i + Z::CW <= n; i += Z::CW) O::storec(y + i, O::add(Z::mul(f, O::loadc(x + i)), O::loadc(y + i)));
    if (i < n) {
        const int m = n - i;
        O::storec(y + i, m, O::add(Z::mul(f, O::loadc(x + i, m)), O::loadc(y + i, m)));
    }
}

template <class O>
void zscal_body(int n, zcomplex a, zcomplex* x) {
    using Z = Vec<O>;
    const typename Z::Factor f = Z::factor(a);
    int i = 0;
    for (; i + Z::CW <= n; i += Z::CW) O::storec(x + i, Z::mul(f, O::loadc(x + i)));
    if (i < n) {
        const int m = n - i;
        O::storec(x + i, m, Z::mul(f, O::loadc(x + i, m)));
    }
}

template <class O>
void zdscal_body(int n, double a, zcomplex* x) {
    const typename O::V f = O::set1(a);
    int i = 0;
    for (; i + O::CW <= n; i += O::CW) O::storec(x + i, O::mul(f, O::loadc(x + i)));
    if (i < n) {
        const int m = n - i;
        O::storec(x + i, m, O::mul(f, O::loadc(x + i, m)));
    }
}

// Magnitudes |Re| + |Im| of the W elements of a split unit, lane p holding
// element O::lane_row(p).
template <class O, class G>
typename O::V magnitudes(const zcomplex* p, int m) {
    typename O::V re, im;
    if (m == O::W) {
        O::load_split(p, re, im);
    } else {
        O::load_split(p, O::mask(m), re, im);
    }
    return O::add(G::abs(re), G::abs(im));
}

// Each lane keeps the first (1-based) index of the largest magnitude among the
// elements it sees, which come in increasing order; the lanes are then
// compared, ties going to the smaller index. Padding lanes of the last unit
// hold magnitude 0 with indices beyond n: they can tie only with a maximum of
// 0, which element 1 then holds with a smaller index.
template <class O, class G>
int izamax_body(int n, const zcomplex* x) {
    using V = typename O::V;
    constexpr int W = O::W;
    const double first = std::fabs(x[0].re) + std::fabs(x[0].im);
    if (first != first) return 1;  // nothing compares greater than a NaN
    alignas(64) double lane[W];
    for (int p = 0; p < W; ++p) lane[p] = static_cast<double>(O::lane_row(p) + 1);
    V idx = O::load(lane);
    const V step = O::set1(static_cast<double>(W));
    V best = O::set1(-HUGE_VAL);
    V besti = O::zero();
    for (int i = 0; i < n; i += W) {
        const int m = n - i < W ? n - i : W;
        G::keep_greater(magnitudes<O, G>(x + i, m), idx, best, besti);
        idx = O::add(idx, step);
    }
    alignas(64) double bv[W], bi[W];
    O::store(bv, best);
    O::store(bi, besti);
    double dmax = bv[0], imax = bi[0];
    for (int p = 1; p < W; ++p) {
        if (bv[p] > dmax || (bv[p] == dmax && bi[p] < imax)) {
            dmax = bv[p];
            imax = bi[p];
        }
    }
    return static_cast<int>(imax);
}

// The magnitudes are formed a unit at a time, the sum element by element in
// increasing order.
template <class O, class G>
double dzasum_body(int n, const zcomplex* x) {
    constexpr int W = O::W;
    int pos[W];
    for (int p = 0; p < W; ++p) pos[O::lane_row(p)] = p;
    alignas(64) double mag[W];
    double sum = 0.0;
    for (int i = 0; i < n; i += W) {
        const int m = n - i < W ? n - i : W;
        O::store(mag, magnitudes<O, G>(x + i, m));
        for (int r = 0; r < m; ++r) sum = sum + mag[pos[r]];
    }
    return sum;
}

// ZROT: new x = (c + 0i)*x + s*y, new y = (c + 0i)*y - conj(s)*x (old x), the
// products with the zero part formed: (c*xr + (-0)*xi, c*xi + 0*xr).
template <class O, class G>
void zrot_body(const RotArgs& r) {
    using Z = Vec<O>;
    using V = typename O::V;
    const V cr = O::set1(r.c), ci = O::alt(-0.0, 0.0);
    const typename Z::Factor s = Z::factor(r.s), sc = Z::factor(zcomplex{r.s.re, -r.s.im});
    zcomplex* x = r.x;
    zcomplex* y = r.y;
    for (int i = 0; i < r.n; i += Z::CW) {
        const int m = r.n - i < Z::CW ? r.n - i : Z::CW;
        const V xv = G::load(x, r.incx, m), yv = G::load(y, r.incy, m);
        const V xs = O::swap(xv), ys = O::swap(yv);
        const V cx = O::add(O::mul(xv, cr), O::mul(xs, ci));
        const V cy = O::add(O::mul(yv, cr), O::mul(ys, ci));
        G::store(x, r.incx, m, O::add(cx, Z::mul(s, yv, ys)));
        G::store(y, r.incy, m, O::sub(cy, Z::mul(sc, xv, xs)));
        x += Z::CW * r.incx;
        y += Z::CW * r.incy;
    }
}

template <class O, class G>
void refl3_body(const Refl3Args& r) {
    using Z = Vec<O>;
    using V = typename O::V;
    const typename Z::Factor s2 = Z::factor(r.s2), s3 = Z::factor(r.s3);
    const typename Z::Factor t1 = Z::factor(r.t1), t2 = Z::factor(r.t2), t3 = Z::factor(r.t3);
    const std::ptrdiff_t step = r.step;
    for (int i = 0; i < r.n; i += Z::CW) {
        const int m = r.n - i < Z::CW ? r.n - i : Z::CW;
        const std::ptrdiff_t off = i * step;
        const V x1 = G::load(r.x1 + off, step, m);
        const V x2 = G::load(r.x2 + off, step, m);
        const V x3 = G::load(r.x3 + off, step, m);
        const V sum = O::add(O::add(x1, Z::mul(s2, x2)), Z::mul(s3, x3));
        const V sw = O::swap(sum);
        G::store(r.x1 + off, step, m, O::sub(x1, Z::mul(t1, sum, sw)));
        G::store(r.x2 + off, step, m, O::sub(x2, Z::mul(t2, sum, sw)));
        G::store(r.x3 + off, step, m, O::sub(x3, Z::mul(t3, sum, sw)));
    }
}

}  // namespace
}  // namespace qiv
