// Bodies of the vector engine (kernels/vector_engine.h), written once for the
// register wrappers O of kernels/simd (Sse2Ops, Avx2Ops, Avx512Ops) and the
// per-instruction-set extras G each unit defines before including this file:
//   G::load(p, step, n) / G::store(p, step, n, v): n <= O::CW complex
//     elements at p + i*step into / from one interleaved register (the rest
//     zero / untouched); G::gather(p, step) / G::scatter(p, step, v) the same
//     for n = O::CW;
//   G::abs(v): both parts' sign bits cleared;
//   G::from_lane(upd, old, k): upd in the complex lanes c >= k, old below;
//   G::keep_greater(v, idx, best, besti): best := v and besti := idx in the
//     lanes where v > best (ordered: a NaN v never replaces best);
//   G::keep_max(v, best): v in the lanes where v > best, else best (the same
//     ordered comparison, without the index).
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
    // (-ti, ti, ...) as (ti, ti, ...) times (-1, 1, ...): exact, signed zeros
    // included, and cheaper to form than from the two values.
    static Factor factor(zcomplex t) {
        return Factor{O::set1(t.re), O::mul(O::set1(t.im), O::alt(-1.0, 1.0))};
    }

    // t*a for every element of a, given a with its parts exchanged: real part
    // ar*tr + ai*(-ti), imaginary part ai*tr + ar*ti.
    static V mul(const Factor& t, V a, V a_swapped) {
        return O::add(O::mul(a, t.r), O::mul(a_swapped, t.i));
    }
    static V mul(const Factor& t, V a) { return mul(t, a, O::swap(a)); }
};

// Access to the elements p + i*step of a walk, a register at a time: Unit
// for step 1 (plain and masked loads), Strided otherwise (one element at a
// time into the register's lanes). full() for O::CW elements, part() for the
// last m < O::CW.
template <class O>
struct Unit {
    using V = typename O::V;
    static V full(const zcomplex* p, std::ptrdiff_t) { return O::loadc(p); }
    static V part(const zcomplex* p, std::ptrdiff_t, int m) { return O::loadc(p, m); }
    static void put(zcomplex* p, std::ptrdiff_t, V v) { O::storec(p, v); }
    static void put(zcomplex* p, std::ptrdiff_t, int m, V v) { O::storec(p, m, v); }
};
template <class O, class G>
struct Strided {
    using V = typename O::V;
    static V full(const zcomplex* p, std::ptrdiff_t step) { return G::gather(p, step); }
    static V part(const zcomplex* p, std::ptrdiff_t step, int m) { return G::load(p, step, m); }
    static void put(zcomplex* p, std::ptrdiff_t step, V v) { G::scatter(p, step, v); }
    static void put(zcomplex* p, std::ptrdiff_t step, int m, V v) { G::store(p, step, m, v); }
};

template <class O>
void zaxpy_body(int n, zcomplex a, const zcomplex* x, zcomplex* y) {
    using Z = Vec<O>;
    const typename Z::Factor f = Z::factor(a);
    int i = 0;
    for (; i + Z::CW <= n; i += Z::CW)
        O::storec(y + i, O::add(Z::mul(f, O::loadc(x + i)), O::loadc(y + i)));
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

// |Re| + |Im| of each complex element of an interleaved register, in both of
// its lanes.
template <class O, class G>
typename O::V pair_magnitudes(typename O::V v) {
    const typename O::V m = G::abs(v);
    return O::add(m, O::swap(m));
}

// ZAXPY's update on interleaved registers, then the magnitude of each new
// element, |Re| + |Im|, in both of its lanes (the parts added in either order
// give the same bits), kept where it exceeds the largest so far (a NaN never
// does). Four sets of lanes (successive registers in turn) keep the
// comparisons of one register from waiting for those of the previous.
// Returns the largest magnitude among the new elements that are not NaN,
// -infinity when every one is NaN.
template <class O, class G>
double zaxpy_max_body(int n, zcomplex a, const zcomplex* x, zcomplex* y) {
    using Z = Vec<O>;
    using V = typename O::V;
    constexpr int CW = O::CW;
    constexpr int K = 4;
    const typename Z::Factor f = Z::factor(a);
    const V none = O::set1(-HUGE_VAL);
    V best[K];
    for (int k = 0; k < K; ++k) best[k] = none;
    auto one = [&](int i, int k) {
        const V nv = O::add(Z::mul(f, O::loadc(x + i)), O::loadc(y + i));
        O::storec(y + i, nv);
        best[k] = G::keep_max(pair_magnitudes<O, G>(nv), best[k]);
    };
    int i = 0;
    for (; i + K * CW <= n; i += K * CW)
        for (int k = 0; k < K; ++k) one(i + k * CW, k);
    int k = 0;
    for (; i + CW <= n; i += CW, ++k) one(i, k);
    if (i < n) {
        const int m = n - i;
        const V nv = O::add(Z::mul(f, O::loadc(x + i, m)), O::loadc(y + i, m));
        O::storec(y + i, m, nv);
        best[k] = G::keep_max(G::from_lane(none, pair_magnitudes<O, G>(nv), m), best[k]);
    }
    alignas(64) double bv[2 * CW];
    double dmax = -HUGE_VAL;
    for (int kk = 0; kk < K; ++kk) {
        O::store(bv, best[kk]);
        for (int c = 0; c < 2 * CW; ++c)
            if (bv[c] > dmax) dmax = bv[c];
    }
    return dmax;
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
template <class O, class AX, class AY>
void zrot_run(const RotArgs& r) {
    using Z = Vec<O>;
    using V = typename O::V;
    const V cr = O::set1(r.c), ci = O::alt(-0.0, 0.0);
    const typename Z::Factor s = Z::factor(r.s), sc = Z::factor(zcomplex{r.s.re, -r.s.im});
    auto pair = [&](V xv, V yv, V& nx, V& ny) {
        const V xs = O::swap(xv), ys = O::swap(yv);
        const V cx = O::add(O::mul(xv, cr), O::mul(xs, ci));
        const V cy = O::add(O::mul(yv, cr), O::mul(ys, ci));
        nx = O::add(cx, Z::mul(s, yv, ys));
        ny = O::sub(cy, Z::mul(sc, xv, xs));
    };
    zcomplex* x = r.x;
    zcomplex* y = r.y;
    int i = 0;
    for (; i + Z::CW <= r.n; i += Z::CW) {
        V nx, ny;
        pair(AX::full(x, r.incx), AY::full(y, r.incy), nx, ny);
        AX::put(x, r.incx, nx);
        AY::put(y, r.incy, ny);
        x += Z::CW * r.incx;
        y += Z::CW * r.incy;
    }
    if (i < r.n) {
        const int m = r.n - i;
        V nx, ny;
        pair(AX::part(x, r.incx, m), AY::part(y, r.incy, m), nx, ny);
        AX::put(x, r.incx, m, nx);
        AY::put(y, r.incy, m, ny);
    }
}

// ZROT: new x = (c + 0i)*x + s*y, new y = (c + 0i)*y - conj(s)*x (old x), the
// products with the zero part formed: (c*xr + (-0)*xi, c*xi + 0*xr).
template <class O, class G>
void zrot_body(const RotArgs& r) {
    if (r.incx == 1 && r.incy == 1) {
        zrot_run<O, Unit<O>, Unit<O>>(r);
    } else {
        zrot_run<O, Strided<O, G>, Strided<O, G>>(r);
    }
}

// sum = a*x1 + r*x2 (r real: both parts of x2 times r), x1 -= sum, x2 -=
// sum*b.
template <class O, class A>
void refl2_run(const Refl2Args& r) {
    using Z = Vec<O>;
    using V = typename O::V;
    const typename Z::Factor a = Z::factor(r.a), b = Z::factor(r.b);
    const V rr = O::set1(r.r);
    const std::ptrdiff_t step = r.step;
    auto update = [&](V& x1, V& x2) {
        const V sum = O::add(Z::mul(a, x1), O::mul(x2, rr));
        x1 = O::sub(x1, sum);
        x2 = O::sub(x2, Z::mul(b, sum));
    };
    zcomplex *p1 = r.x1, *p2 = r.x2;
    int i = 0;
    for (; i + Z::CW <= r.n; i += Z::CW) {
        V x1 = A::full(p1, step), x2 = A::full(p2, step);
        update(x1, x2);
        A::put(p1, step, x1);
        A::put(p2, step, x2);
        p1 += Z::CW * step;
        p2 += Z::CW * step;
    }
    if (i < r.n) {
        const int m = r.n - i;
        V x1 = A::part(p1, step, m), x2 = A::part(p2, step, m);
        update(x1, x2);
        A::put(p1, step, m, x1);
        A::put(p2, step, m, x2);
    }
}

template <class O, class G>
void refl2_body(const Refl2Args& r) {
    if (r.step == 1) {
        refl2_run<O, Unit<O>>(r);
    } else {
        refl2_run<O, Strided<O, G>>(r);
    }
}

template <class O, class A>
void refl3_run(const Refl3Args& r) {
    using Z = Vec<O>;
    using V = typename O::V;
    const typename Z::Factor s2 = Z::factor(r.s2), s3 = Z::factor(r.s3);
    const typename Z::Factor t1 = Z::factor(r.t1), t2 = Z::factor(r.t2), t3 = Z::factor(r.t3);
    const std::ptrdiff_t step = r.step;
    auto update = [&](V& x1, V& x2, V& x3) {
        const V sum = O::add(O::add(x1, Z::mul(s2, x2)), Z::mul(s3, x3));
        const V sw = O::swap(sum);
        x1 = O::sub(x1, Z::mul(t1, sum, sw));
        x2 = O::sub(x2, Z::mul(t2, sum, sw));
        x3 = O::sub(x3, Z::mul(t3, sum, sw));
    };
    zcomplex *p1 = r.x1, *p2 = r.x2, *p3 = r.x3;
    int i = 0;
    for (; i + Z::CW <= r.n; i += Z::CW) {
        V x1 = A::full(p1, step), x2 = A::full(p2, step), x3 = A::full(p3, step);
        update(x1, x2, x3);
        A::put(p1, step, x1);
        A::put(p2, step, x2);
        A::put(p3, step, x3);
        p1 += Z::CW * step;
        p2 += Z::CW * step;
        p3 += Z::CW * step;
    }
    if (i < r.n) {
        const int m = r.n - i;
        V x1 = A::part(p1, step, m), x2 = A::part(p2, step, m), x3 = A::part(p3, step, m);
        update(x1, x2, x3);
        A::put(p1, step, m, x1);
        A::put(p2, step, m, x2);
        A::put(p3, step, m, x3);
    }
}

template <class O, class G>
void refl3_body(const Refl3Args& r) {
    if (r.step == 1) {
        refl3_run<O, Unit<O>>(r);
    } else {
        refl3_run<O, Strided<O, G>>(r);
    }
}

// The reflector chain on R registers of lanes starting at lane g (the last
// register holding m <= CW lanes). Reflector b's x3 is reflector b-1's x1,
// carried in registers; x2 and x3 are final once reflector b is applied.
template <class O, class G, class A, int R>
void chain_group(const Refl3ChainArgs& r, int g, int m) {
    using Z = Vec<O>;
    using V = typename O::V;
    constexpr int CW = O::CW;
    const int last = g + (R - 1) * CW + m - 1;  // last lane of the group
    auto first = [&](int b) { return std::max(r.fmin, r.f0 - 2 * b); };
    int b0 = 0;
    while (b0 < r.nb && first(b0) > last) ++b0;
    if (b0 == r.nb) return;
    zcomplex* const lane0 = r.base + static_cast<std::ptrdiff_t>(g) * r.step;
    auto at = [&](int row, int k) {
        return lane0 + row * r.across + static_cast<std::ptrdiff_t>(k * CW) * r.step;
    };
    auto load = [&](int row, int k) {
        return (k == R - 1 && m < CW) ? A::part(at(row, k), r.step, m)
                                      : A::full(at(row, k), r.step);
    };
    auto store = [&](int row, int k, V v) {
        if (k == R - 1 && m < CW) {
            A::put(at(row, k), r.step, m, v);
        } else {
            A::put(at(row, k), r.step, v);
        }
    };
    V c[R];  // x1 of the previous reflector: this one's x3
    for (int k = 0; k < R; ++k) c[k] = load(2 - 2 * b0, k);
    for (int b = b0; b < r.nb; ++b) {
        const zcomplex* vb = r.v + b * r.vstep;
        zcomplex s2, s3, t1, t2, t3;
        if (r.left) {
            t1 = conj(vb[0]);
            t2 = t1 * vb[1];
            t3 = t1 * vb[2];
            s2 = conj(vb[1]);
            s3 = conj(vb[2]);
        } else {
            t1 = vb[0];
            t2 = t1 * conj(vb[1]);
            t3 = t1 * conj(vb[2]);
            s2 = vb[1];
            s3 = vb[2];
        }
        const typename Z::Factor f2 = Z::factor(s2), f3 = Z::factor(s3);
        const typename Z::Factor f1 = Z::factor(t1), g2 = Z::factor(t2), g3 = Z::factor(t3);
        const int fb = first(b);
        const int row = -2 * b;
        for (int k = 0; k < R; ++k) {
            const V x1 = load(row, k), x2 = load(row + 1, k), x3 = c[k];
            const V sum = O::add(O::add(x1, Z::mul(f2, x2)), Z::mul(f3, x3));
            const V sw = O::swap(sum);
            V n1 = O::sub(x1, Z::mul(f1, sum, sw));
            V n2 = O::sub(x2, Z::mul(g2, sum, sw));
            V n3 = O::sub(x3, Z::mul(g3, sum, sw));
            const int l0 = g + k * CW;
            if (fb > l0) {  // lanes below fb keep their elements
                n1 = G::from_lane(n1, x1, fb - l0);
                n2 = G::from_lane(n2, x2, fb - l0);
                n3 = G::from_lane(n3, x3, fb - l0);
            }
            store(row + 2, k, n3);
            store(row + 1, k, n2);
            c[k] = n1;
        }
    }
    for (int k = 0; k < R; ++k) store(2 - 2 * r.nb, k, c[k]);
}

template <class O, class G, class A>
void chain_run(const Refl3ChainArgs& r) {
    constexpr int CW = O::CW;
    constexpr int R = CW == 1 ? 4 : CW == 2 ? 2 : 3;  // registers of lanes per pass
    int g = 0;
    for (; g + R * CW <= r.n; g += R * CW) chain_group<O, G, A, R>(r, g, CW);
    for (; g + CW <= r.n; g += CW) chain_group<O, G, A, 1>(r, g, CW);
    if (g < r.n) chain_group<O, G, A, 1>(r, g, r.n - g);
}

template <class O, class G>
void refl3_chain_body(const Refl3ChainArgs& r) {
    if (r.step == 1) {
        chain_run<O, G, Unit<O>>(r);
    } else {
        chain_run<O, G, Strided<O, G>>(r);
    }
}

}  // namespace
}  // namespace qiv
