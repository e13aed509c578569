// Structure 4 of the ZTRSM/ZTRMM engine: right side.
#pragma once

#ifndef QIV_KERNEL_TARGET
#error "include inside an instruction-set region (simd/target_<isa>.h)"
#endif

namespace qiv {
namespace {

// Every row of B is an independent problem: strips of rows run through the
// plain loops with whole registers of rows at a time.

// A strip of NV interleaved registers of one column: rows i0 ... i0+rows-1.
template <class O, int NV>
struct Strip {
    using V = typename O::V;
    static constexpr int CW = O::CW;
    int last;  // complex elements in the last register (1 ... CW)

    void load(const zcomplex* p, V (&v)[NV]) const {
        for (int q = 0; q < NV - 1; ++q) v[q] = O::loadc(p + q * CW);
        v[NV - 1] = last == CW ? O::loadc(p + (NV - 1) * CW) : O::loadc(p + (NV - 1) * CW, last);
    }
    void store(zcomplex* p, const V (&v)[NV]) const {
        for (int q = 0; q < NV - 1; ++q) O::storec(p + q * CW, v[q]);
        if (last == CW) {
            O::storec(p + (NV - 1) * CW, v[NV - 1]);
        } else {
            O::storec(p + (NV - 1) * CW, last, v[NV - 1]);
        }
    }
};

// v := t*v on every register of a strip.
template <class O, int NV>
[[gnu::always_inline]] inline void strip_scale(typename O::V (&v)[NV], zcomplex t) {
    const typename O::V t1 = bcast_re<O>(t), t2 = bcast_im<O>(t);
    for (int q = 0; q < NV; ++q) v[q] = cmul<O>(v[q], O::swap(v[q]), t1, t2);
}

// c := c -/+ t*u (Sub) on every register of a strip.
template <class O, int NV, bool Sub>
[[gnu::always_inline]] inline void strip_axpy(typename O::V (&c)[NV], const typename O::V (&u)[NV],
                                              zcomplex t) {
    const typename O::V t1 = bcast_re<O>(t), t2 = bcast_im<O>(t);
    for (int q = 0; q < NV; ++q) {
        const typename O::V d = cmul<O>(u[q], O::swap(u[q]), t1, t2);
        c[q] = Sub ? O::sub(c[q], d) : O::add(c[q], d);
    }
}

// Strip i0 ... of the right-hand cases: B's columns restricted to the strip,
// A's elements, op(A)'s elements.
template <class O, int NV>
struct RightStrip {
    const TrmatArgs& g;
    zcomplex* b;  // B(i0, 0)
    Strip<O, NV> st;

    zcomplex* col(int j) const { return b + j * static_cast<idx>(g.ldb); }
    zcomplex A(int k, int j) const { return g.a[k + j * static_cast<idx>(g.lda)]; }
    zcomplex opA(int k, int j) const { return g.op == TrOp::conj ? conj(A(k, j)) : A(k, j); }
};

// The plain loops of the right-hand cases on one strip of rows. Where the
// order of the loops allows, two consecutive steps of the outer loop are done
// together, so that every other column passes through the registers once for
// both: their updates still reach each element in the loop's order. ZTRSM
// "N" lower is the exception: each column's chain starts with the column
// just finished, so its columns go one at a time.

// op(A) = A.
template <class O, int NV, bool Solve>
[[gnu::noinline]] void right_strip_n(const RightStrip<O, NV>& v) {
    using V = typename O::V;
    const Strip<O, NV>& st = v.st;
    const int N = v.g.n;
    const bool nounit = !v.g.unit, up = v.g.upper;
    const zcomplex al = v.g.alpha, one{1.0, 0.0};
    // Column j is finished in registers: its scaling, the updates from
    // the other columns k in increasing k, and (ZTRSM) the reciprocal.
    // ZTRSM upper and ZTRMM lower run j upwards, the others downwards.
    const bool asc = up == Solve;
    const bool fuse = !Solve || up;
    for (int t = 0; t < N;) {
        const int j = asc ? t : N - 1 - t;
        if (!fuse || t + 1 == N) {
            V c[NV];
            st.load(v.col(j), c);
            if (Solve) {
                if (!is_one(al)) strip_scale<O, NV>(c, al);
            } else {
                strip_scale<O, NV>(c, nounit ? al * v.A(j, j) : al);
            }
            const int k0 = up ? 0 : j + 1, k1 = up ? j : N;
            for (int k = k0; k < k1; ++k) {
                const zcomplex akj = v.A(k, j);
                if (is_zero(akj)) continue;
                V u[NV];
                st.load(v.col(k), u);
                strip_axpy<O, NV, Solve>(c, u, Solve ? akj : al * akj);
            }
            if (Solve && nounit) strip_scale<O, NV>(c, one / v.A(j, j));
            st.store(v.col(j), c);
            ++t;
            continue;
        }
        // Columns j and j2, next in the loop's order.
        const int j2 = asc ? j + 1 : j - 1;
        V c1[NV], c2[NV];
        st.load(v.col(j), c1);
        st.load(v.col(j2), c2);
        // The updates both columns receive: from the columns k before
        // min(j, j2) (upper) or after max(j, j2) (ZTRMM lower).
        const auto both = [&](int k0, int k1) {
            for (int k = k0; k < k1; ++k) {
                const zcomplex a1 = v.A(k, j), a2 = v.A(k, j2);
                const bool z1 = is_zero(a1), z2 = is_zero(a2);
                if (z1 && z2) continue;
                V u[NV];
                st.load(v.col(k), u);
                if (!z1) strip_axpy<O, NV, Solve>(c1, u, Solve ? a1 : al * a1);
                if (!z2) strip_axpy<O, NV, Solve>(c2, u, Solve ? a2 : al * a2);
            }
        };
        if (Solve) {
            // ZTRSM upper, j2 = j + 1: column j2's last update comes
            // from column j once j is final.
            if (!is_one(al)) {
                strip_scale<O, NV>(c1, al);
                strip_scale<O, NV>(c2, al);
            }
            both(0, j);
            if (nounit) strip_scale<O, NV>(c1, one / v.A(j, j));
            const zcomplex a = v.A(j, j2);
            if (!is_zero(a)) strip_axpy<O, NV, true>(c2, c1, a);
            if (nounit) strip_scale<O, NV>(c2, one / v.A(j2, j2));
        } else if (up) {
            // ZTRMM upper, j2 = j - 1: column j's last update comes from
            // column j2 as it was (still so in memory).
            strip_scale<O, NV>(c1, nounit ? al * v.A(j, j) : al);
            strip_scale<O, NV>(c2, nounit ? al * v.A(j2, j2) : al);
            both(0, j2);
            const zcomplex a = v.A(j2, j);
            if (!is_zero(a)) {
                V u[NV];
                st.load(v.col(j2), u);
                strip_axpy<O, NV, false>(c1, u, al * a);
            }
        } else {
            // ZTRMM lower, j2 = j + 1: column j's first update comes from
            // column j2 as it was, before j2 is scaled.
            strip_scale<O, NV>(c1, nounit ? al * v.A(j, j) : al);
            const zcomplex a = v.A(j2, j);
            if (!is_zero(a)) strip_axpy<O, NV, false>(c1, c2, al * a);
            strip_scale<O, NV>(c2, nounit ? al * v.A(j2, j2) : al);
            both(j2 + 1, N);
        }
        st.store(v.col(j), c1);
        st.store(v.col(j2), c2);
        t += 2;
    }
}

// op(A) = A^T or A^H.
template <class O, int NV, bool Solve>
[[gnu::noinline]] void right_strip_t(const RightStrip<O, NV>& v) {
    using V = typename O::V;
    const Strip<O, NV>& st = v.st;
    const int N = v.g.n;
    const bool nounit = !v.g.unit, up = v.g.upper;
    const zcomplex al = v.g.alpha, one{1.0, 0.0};

    // op(A) transposed: column k is the multiplier for the other columns j
    // in turn. ZTRSM upper and ZTRMM lower run k downwards, the others
    // upwards. Two steps k, k2 at a time.
    const bool asc = up != Solve;
    for (int t = 0; t < N;) {
        const int k = asc ? t : N - 1 - t;
        if (t + 1 == N) {
            V u[NV];
            st.load(v.col(k), u);
            if (Solve && nounit) strip_scale<O, NV>(u, one / v.opA(k, k));
            const int j0 = up ? 0 : k + 1, j1 = up ? k : N;
            for (int j = j0; j < j1; ++j) {
                const zcomplex ajk = v.A(j, k);
                if (is_zero(ajk)) continue;
                V c[NV];
                st.load(v.col(j), c);
                strip_axpy<O, NV, Solve>(c, u, Solve ? v.opA(j, k) : al * v.opA(j, k));
                st.store(v.col(j), c);
            }
            if (Solve) {
                if (!is_one(al)) strip_scale<O, NV>(u, al);
            } else {
                const zcomplex d = nounit ? al * v.opA(k, k) : al;
                if (!is_one(d)) strip_scale<O, NV>(u, d);
            }
            st.store(v.col(k), u);
            break;
        }
        const int k2 = asc ? k + 1 : k - 1;
        V u1[NV], u2[NV];
        st.load(v.col(k), u1);
        st.load(v.col(k2), u2);
        if (Solve) {
            // Step k: the reciprocal, then column k2 (within step k's range)
            // gets its update before its own step.
            if (nounit) strip_scale<O, NV>(u1, one / v.opA(k, k));
            if (!is_zero(v.A(k2, k))) strip_axpy<O, NV, true>(u2, u1, v.opA(k2, k));
            if (nounit) strip_scale<O, NV>(u2, one / v.opA(k2, k2));
        }
        // The columns both steps update, step k first.
        const int j0 = up ? 0 : (k > k2 ? k : k2) + 1, j1 = up ? (k < k2 ? k : k2) : N;
        for (int j = j0; j < j1; ++j) {
            const zcomplex a1 = v.A(j, k), a2 = v.A(j, k2);
            const bool z1 = is_zero(a1), z2 = is_zero(a2);
            if (z1 && z2) continue;
            V c[NV];
            st.load(v.col(j), c);
            if (!z1) strip_axpy<O, NV, Solve>(c, u1, Solve ? v.opA(j, k) : al * v.opA(j, k));
            if (!z2) strip_axpy<O, NV, Solve>(c, u2, Solve ? v.opA(j, k2) : al * v.opA(j, k2));
            st.store(v.col(j), c);
        }
        if (Solve) {
            if (!is_one(al)) {
                strip_scale<O, NV>(u1, al);
                strip_scale<O, NV>(u2, al);
            }
        } else {
            // ZTRMM: column k is scaled at the end of step k, then step k2
            // adds its update to it (column k lies in step k2's range).
            const zcomplex d1 = nounit ? al * v.opA(k, k) : al;
            if (!is_one(d1)) strip_scale<O, NV>(u1, d1);
            if (!is_zero(v.A(k, k2))) strip_axpy<O, NV, false>(u1, u2, al * v.opA(k, k2));
            const zcomplex d2 = nounit ? al * v.opA(k2, k2) : al;
            if (!is_one(d2)) strip_scale<O, NV>(u2, d2);
        }
        st.store(v.col(k), u1);
        st.store(v.col(k2), u2);
        t += 2;
    }
}

template <class O, int NV, bool Solve>
void right_strip(const TrmatArgs& g, int i0, int last) {
    const RightStrip<O, NV> v{g, g.b + i0, Strip<O, NV>{last}};
    if (g.op == TrOp::none) {
        right_strip_n<O, NV, Solve>(v);
    } else {
        right_strip_t<O, NV, Solve>(v);
    }
}

template <class O, class T, bool Solve>
void right_side(const TrmatArgs& g) {
    constexpr int CW = O::CW, SV = T::SV, S = SV * CW;
    int i0 = 0;
    for (; i0 + S <= g.m; i0 += S) right_strip<O, SV, Solve>(g, i0, CW);
    const int rest = g.m - i0;
    if (rest == 0) return;
    const int nv = (rest + CW - 1) / CW, last = rest - (nv - 1) * CW;
    with_width<SV>(nv, [&](auto w) {
        constexpr int n = decltype(w)::value;
        right_strip<O, n, Solve>(g, i0, last);
    });
}

}  // namespace
}  // namespace qiv
