// Structure 3 of the ZTRSM/ZTRMM engine: ZTRSM left, op(A) transposed, lower:
// each row is a chain that starts with its nearest neighbour, so the work
// runs across columns instead.
#pragma once

#ifndef QIV_KERNEL_TARGET
#error "include inside an instruction-set region (simd/target_<isa>.h)"
#endif

namespace qiv {
namespace {

// Rows from the bottom up; each row of B, for CW*G columns at once in interleaved registers, is the
// chain TEMP := ALPHA*B(i, j) - sum over k = i+1 ... M-1 (in that order) of
// op(A)(k, i)*B(k, j), divided by op(A)(i, i).

// Rows k0 ... k0+n-1 (n <= CW) of CW columns of B starting at column j0 (only
// the first nc of them exist): afterwards v[r] holds row k0+r, one column per
// complex element.
template <class O>
[[gnu::always_inline]] inline void rows_across(const zcomplex* b, idx ldb, int k0, int n, int j0,
                                               int nc, typename O::V (&v)[O::CW]) {
    constexpr int CW = O::CW;
    for (int c = 0; c < CW; ++c) {
        const zcomplex* p = b + k0 + (j0 + imin(c, nc - 1)) * ldb;
        v[c] = c >= nc ? O::zero() : n == CW ? O::loadc(p) : O::loadc(p, n);
    }
    O::transpose(v);
}

template <class O, int G>
[[gnu::noinline]] void left_t_lower_solve_cols(const TrmatArgs& g, int j0, int ncols) {
    using V = typename O::V;
    constexpr int CW = O::CW;
    const idx lda = g.lda, ldb = g.ldb;
    const bool cj = g.op == TrOp::conj, nounit = !g.unit;
    int n[G];
    for (int q = 0; q < G; ++q) n[q] = imin(CW, ncols - q * CW > 0 ? ncols - q * CW : 0);
    for (int i = g.m - 1; i >= 0; --i) {
        V acc[G];
        for (int q = 0; q < G; ++q) {
            V v[CW];
            rows_across<O>(g.b, ldb, i, 1, j0 + q * CW, n[q], v);
            acc[q] = v[0];
        }
        const zcomplex* ai = g.a + static_cast<idx>(i) * lda;
        for (int k0 = i + 1; k0 < g.m; k0 += CW) {
            const int nk = imin(CW, g.m - k0);
            for (int q = 0; q < G; ++q) {
                V v[CW];
                rows_across<O>(g.b, ldb, k0, nk, j0 + q * CW, n[q], v);
                for (int r = 0; r < nk; ++r) {
                    const double ar = ai[k0 + r].re, aim = cj ? -ai[k0 + r].im : ai[k0 + r].im;
                    const V t1 = O::set1(ar), t2 = O::alt(-aim, aim);
                    acc[q] = O::sub(acc[q], cmul<O>(v[r], O::swap(v[r]), t1, t2));
                }
            }
        }
        alignas(64) zcomplex t[G * CW];
        for (int q = 0; q < G; ++q) O::storec(t + q * CW, acc[q]);
        zcomplex d = ai[i];
        if (cj) d = conj(d);
        for (int c = 0; c < ncols; ++c) {
            zcomplex v = t[c];
            if (nounit) v = v / d;
            g.b[i + (j0 + c) * ldb] = v;
        }
    }
}

template <class O>
void left_t_lower_solve(const TrmatArgs& g) {
    constexpr int G = 4, NCOL = G * O::CW;
    scale_all(g);
    for (int j0 = 0; j0 < g.n; j0 += NCOL) {
        const int nc = imin(NCOL, g.n - j0);
        const int groups = (nc + O::CW - 1) / O::CW;
        switch (groups) {
            case 1:
                left_t_lower_solve_cols<O, 1>(g, j0, nc);
                break;
            case 2:
                left_t_lower_solve_cols<O, 2>(g, j0, nc);
                break;
            case 3:
                left_t_lower_solve_cols<O, 3>(g, j0, nc);
                break;
            default:
                left_t_lower_solve_cols<O, G>(g, j0, nc);
                break;
        }
    }
}

}  // namespace
}  // namespace qiv
