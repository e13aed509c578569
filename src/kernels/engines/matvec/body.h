// The ZGEMV, ZGERC, ZTRMV and ZTRSV engine written once for any vector width.
// Each per-instruction-set unit (baseline.cpp, avx2.cpp, avx512.cpp) opens its
// region with simd/target_<isa>.h, includes its vector-width wrapper,
// engines/common.h and this file, and instantiates the *_run<O> templates.
// Everything here lives in an anonymous namespace, so the compilations for
// different instruction sets never share a symbol. Group sizes come from
// MatvecTuning<O::W> (tuning.h).
//
// All vectors are interleaved registers of CW complex elements. A product t*v
// with a broadcast scalar t is formed as
//     v*(tr, tr, ...) + swap(v)*(-ti, ti, ...) = (vr*tr - vi*ti, vi*tr + vr*ti),
// the textbook product, and conj(v)*x as v*(xr, -xr, ...) + swap(v)*(xi, xi,
// ...) = (vr*xr + vi*xi, -(vi*xr) + vr*xi), which is what the loops compute
// from (vr, -vi) (negation and x + (-y) = x - y are exact).
#pragma once

#ifndef QIV_KERNEL_TARGET
#error "include inside an instruction-set region (simd/target_<isa>.h)"
#endif

namespace qiv {
namespace {

template <class O>
using Groups = MatvecTuning<O::W>;

// Rows of a column-form chunk kept on the stack when y (or x) has a
// non-unit increment.
constexpr int kChunk = 1024;

static_assert(kChunk * sizeof(zcomplex) <= matvec_engine_stack_bound - 8192,
              "chunk buffer within the stack bound");

// How far ahead (in elements) the column streams are fetched.
constexpr int kAhead = 96;

// Asks for the cache line `ahead` elements after p (before it for a negative
// value); callers keep that element within the rows they are working on.
template <int Write>
[[gnu::always_inline]] inline void fetch_ahead(const zcomplex* p, idx ahead) {
    __builtin_prefetch(p + ahead, Write, 3);
}

// ---------------------------------------------------------------------------
// Column form: y(i) := y(i) -/+ t[c]*col[c][i] for c = 0 ... NC-1 in turn,
// i = 0 ... m-1, y contiguous.

template <class O, int NC, bool Sub>
[[gnu::noinline]] void axpy_cols(int m, const zcomplex* const* col, const zcomplex* t,
                                 zcomplex* y) {
    using V = typename O::V;
    constexpr int CW = O::CW;
    V t1[NC], t2[NC];
    const zcomplex* cp[NC];
    for (int c = 0; c < NC; ++c) {
        t1[c] = O::set1(t[c].re);
        t2[c] = O::alt(-t[c].im, t[c].im);
        cp[c] = col[c];
    }
    int i = 0;
    for (; i + CW <= m; i += CW) {
        V acc = O::loadc(y + i);
#pragma GCC unroll 8
        for (int c = 0; c < NC; ++c) {
            if (i + kAhead < m) fetch_ahead<0>(cp[c] + i, kAhead);
            const V a = O::loadc(cp[c] + i);
            const V d = cmul<O>(a, O::swap(a), t1[c], t2[c]);
            acc = Sub ? O::sub(acc, d) : O::add(acc, d);
        }
        O::storec(y + i, acc);
    }
    if (i < m) {
        const int n = m - i;
        V acc = O::loadc(y + i, n);
        for (int c = 0; c < NC; ++c) {
            const V a = O::loadc(cp[c] + i, n);
            const V d = cmul<O>(a, O::swap(a), t1[c], t2[c]);
            acc = Sub ? O::sub(acc, d) : O::add(acc, d);
        }
        O::storec(y + i, n, acc);
    }
}

// The same for nc <= GN columns and y with any increment (strided: scalar).
template <class O, bool Sub>
void axpy_list(int m, const zcomplex* const* col, const zcomplex* t, int nc, zcomplex* y, idx inc) {
    if (nc == 0 || m <= 0) return;
    if (inc != 1) {
        for (int i = 0; i < m; ++i) {
            zcomplex v = y[i * inc];
            for (int c = 0; c < nc; ++c) {
                const zcomplex d = t[c] * col[c][i];
                v = Sub ? v - d : v + d;
            }
            y[i * inc] = v;
        }
        return;
    }
    static_assert(Groups<O>::GN <= 8, "column groups of at most eight");
    switch (nc) {
        case 1:
            axpy_cols<O, 1, Sub>(m, col, t, y);
            break;
        case 2:
            axpy_cols<O, 2, Sub>(m, col, t, y);
            break;
        case 3:
            axpy_cols<O, 3, Sub>(m, col, t, y);
            break;
        case 4:
            axpy_cols<O, 4, Sub>(m, col, t, y);
            break;
        case 5:
            axpy_cols<O, 5, Sub>(m, col, t, y);
            break;
        case 6:
            axpy_cols<O, 6, Sub>(m, col, t, y);
            break;
        case 7:
            axpy_cols<O, 7, Sub>(m, col, t, y);
            break;
        default:
            axpy_cols<O, 8, Sub>(m, col, t, y);
            break;
    }
}

// ---------------------------------------------------------------------------
// Dot form: acc[c] := acc[c] -/+ op(A(i, j0 + c))*x(i) for the rows i of a
// run, in its order (dir = +1: i0, i0+1, ...; dir = -1: i0, i0-1, ...), for
// the ncols <= G*CW columns j0 + c; acc holds G*CW elements. Blocks of CW rows
// by CW columns are transposed in registers, so that a register holds one row
// of CW columns.

template <class O, int G, bool Sub, bool Conj>
[[gnu::noinline]] void dot_cols(const zcomplex* a, idx lda, int ncols, int i0, int nrows, int dir,
                                const zcomplex* x, idx incx, zcomplex* acc) {
    using V = typename O::V;
    constexpr int CW = O::CW;
    V s[G];
    int nc[G];
    for (int q = 0; q < G; ++q) {
        s[q] = O::loadc(acc + q * CW);
        nc[q] = imin(CW, ncols - q * CW);
    }
    // One block of n <= CW rows starting `done` rows into the run; with
    // Ahead, the rows kAhead further along (still in the run) are requested:
    // the columns are read as several streams at once, and fetching ahead
    // keeps them flowing.
    const auto block = [&](int done, int n, auto ahead) {
        const int lo = dir > 0 ? i0 + done : i0 - done - n + 1;
        V x1[CW], x2[CW];
        for (int r = 0; r < n; ++r) {
            const zcomplex xv = x[(lo + r) * incx];
            x1[r] = Conj ? O::alt(xv.re, -xv.re) : O::set1(xv.re);
            x2[r] = Conj ? O::set1(xv.im) : O::alt(-xv.im, xv.im);
        }
        for (int q = 0; q < G; ++q) {
            if (nc[q] <= 0) continue;
            V v[CW];
            for (int c = 0; c < CW; ++c) {
                const zcomplex* p = a + lo + (q * CW + imin(c, nc[q] - 1)) * lda;
                if constexpr (decltype(ahead)::value) fetch_ahead<0>(p, dir * kAhead);
                v[c] = c >= nc[q] ? O::zero() : n == CW ? O::loadc(p) : O::loadc(p, n);
            }
            O::transpose(v);
            for (int rr = 0; rr < n; ++rr) {
                const int r = dir > 0 ? rr : n - 1 - rr;
                const V d = cmul<O>(v[r], O::swap(v[r]), x1[r], x2[r]);
                s[q] = Sub ? O::sub(s[q], d) : O::add(s[q], d);
            }
        }
    };
    int done = 0;
    for (; done + CW + kAhead <= nrows; done += CW) block(done, CW, std::true_type{});
    for (; done < nrows; done += CW) block(done, imin(CW, nrows - done), std::false_type{});
    for (int q = 0; q < G; ++q) O::storec(acc + q * CW, s[q]);
}

template <class O, bool Sub>
void dot_run(bool conj, const zcomplex* a, idx lda, int ncols, int i0, int nrows, int dir,
             const zcomplex* x, idx incx, zcomplex* acc) {
    if (nrows <= 0) return;
    if (conj) {
        dot_cols<O, Groups<O>::GD, Sub, true>(a, lda, ncols, i0, nrows, dir, x, incx, acc);
    } else {
        dot_cols<O, Groups<O>::GD, Sub, false>(a, lda, ncols, i0, nrows, dir, x, incx, acc);
    }
}

// Several dot products with one contiguous vector, continued from acc, in
// groups of the register columns of dot_cols.
template <class O>
void dots_run(const DotsArgs& d) {
    constexpr int NB = Groups<O>::GD * O::CW;
    alignas(64) zcomplex acc[NB];
    for (int c0 = 0; c0 < d.ncols; c0 += NB) {
        const int nc = imin(NB, d.ncols - c0);
        for (int c = 0; c < NB; ++c) acc[c] = c < nc ? d.acc[c0 + c] : zcomplex{0.0, 0.0};
        dot_run<O, false>(d.conj, d.a + static_cast<idx>(c0) * d.lda, d.lda, nc, 0, d.m, 1, d.x, 1,
                          acc);
        for (int c = 0; c < nc; ++c) d.acc[c0 + c] = acc[c];
    }
}

// ---------------------------------------------------------------------------
// ZGEMV.

template <class O>
void gemv_n_rows(const GemvArgs& g, int r0, int rows, zcomplex* y) {
    constexpr int GN = Groups<O>::GN;
    const zcomplex* cols[GN];
    zcomplex t[GN];
    for (int j0 = 0; j0 < g.n; j0 += GN) {
        const int nc = imin(GN, g.n - j0);
        for (int c = 0; c < nc; ++c) {
            t[c] = g.alpha * g.x.p[(j0 + c) * g.x.inc];
            cols[c] = g.a + r0 + static_cast<idx>(j0 + c) * g.lda;
        }
        axpy_list<O, false>(rows, cols, t, nc, y, 1);
    }
}

template <class O>
void gemv_run(const GemvArgs& g) {
    const int leny = g.op == MvOp::none ? g.m : g.n;
    if (!is_one(g.beta)) {
        for (int i = 0; i < leny; ++i) {
            zcomplex& yi = g.y.p[i * g.y.inc];
            yi = is_zero(g.beta) ? zcomplex{0.0, 0.0} : g.beta * yi;
        }
    }
    if (is_zero(g.alpha)) return;
    if (g.op == MvOp::none) {
        // y(i) := y(i) + (ALPHA*x(j))*A(i, j), column after column.
        if (g.y.inc == 1) {
            gemv_n_rows<O>(g, 0, g.m, g.y.p);
            return;
        }
        alignas(64) zcomplex buf[kChunk];
        for (int r0 = 0; r0 < g.m; r0 += kChunk) {
            const int rows = imin(kChunk, g.m - r0);
            for (int i = 0; i < rows; ++i) buf[i] = g.y.p[(r0 + i) * g.y.inc];
            gemv_n_rows<O>(g, r0, rows, buf);
            for (int i = 0; i < rows; ++i) g.y.p[(r0 + i) * g.y.inc] = buf[i];
        }
        return;
    }
    // TEMP = sum over i of op(A(i, j))*x(i) from zero, then y(j) += ALPHA*TEMP.
    constexpr int NB = Groups<O>::GD * O::CW;
    alignas(64) zcomplex acc[NB];
    for (int j0 = 0; j0 < g.n; j0 += NB) {
        const int nc = imin(NB, g.n - j0);
        for (int c = 0; c < NB; ++c) acc[c] = zcomplex{0.0, 0.0};
        dot_run<O, false>(g.op == MvOp::conj, g.a + static_cast<idx>(j0) * g.lda, g.lda, nc, 0, g.m,
                          1, g.x.p, g.x.inc, acc);
        for (int c = 0; c < nc; ++c) {
            zcomplex& yj = g.y.p[(j0 + c) * g.y.inc];
            yj = yj + g.alpha * acc[c];
        }
    }
}

// ---------------------------------------------------------------------------
// ZGERC: A(i, j) := A(i, j) + x(i)*t_j with t_j = ALPHA*conj(y(j)), columns
// with a zero y(j) untouched.

template <class O, int NC>
[[gnu::noinline]] void rank1_cols(int m, const zcomplex* x, zcomplex* const* col,
                                  const zcomplex* t) {
    using V = typename O::V;
    constexpr int CW = O::CW;
    V t1[NC], t2[NC];
    zcomplex* cp[NC];
    for (int c = 0; c < NC; ++c) {
        t1[c] = O::set1(t[c].re);
        t2[c] = O::alt(-t[c].im, t[c].im);
        cp[c] = col[c];
    }
    int i = 0;
    for (; i + CW <= m; i += CW) {
        const V xv = O::loadc(x + i), xs = O::swap(xv);
#pragma GCC unroll 8
        for (int c = 0; c < NC; ++c) {
            if (i + kAhead < m) fetch_ahead<1>(cp[c] + i, kAhead);
            O::storec(cp[c] + i, O::add(O::loadc(cp[c] + i), cmul<O>(xv, xs, t1[c], t2[c])));
        }
    }
    if (i < m) {
        const int n = m - i;
        const V xv = O::loadc(x + i, n), xs = O::swap(xv);
        for (int c = 0; c < NC; ++c)
            O::storec(cp[c] + i, n, O::add(O::loadc(cp[c] + i, n), cmul<O>(xv, xs, t1[c], t2[c])));
    }
}

template <class O>
void gerc_rows(const GercArgs& g, int r0, int rows, const zcomplex* x) {
    constexpr int GN = 4;
    zcomplex* cols[GN];
    zcomplex t[GN];
    int nc = 0;
    const auto flush = [&] {
        switch (nc) {
            case 1:
                rank1_cols<O, 1>(rows, x, cols, t);
                break;
            case 2:
                rank1_cols<O, 2>(rows, x, cols, t);
                break;
            case 3:
                rank1_cols<O, 3>(rows, x, cols, t);
                break;
            case 4:
                rank1_cols<O, 4>(rows, x, cols, t);
                break;
            default:
                break;
        }
        nc = 0;
    };
    for (int j = 0; j < g.n; ++j) {
        const zcomplex yj = g.y.p[j * g.y.inc];
        if (is_zero(yj)) continue;
        t[nc] = g.alpha * conj(yj);
        cols[nc] = g.a + r0 + static_cast<idx>(j) * g.lda;
        if (++nc == GN) flush();
    }
    flush();
}

template <class O>
void gerc_run(const GercArgs& g) {
    if (g.x.inc == 1) {
        gerc_rows<O>(g, 0, g.m, g.x.p);
        return;
    }
    alignas(64) zcomplex buf[kChunk];
    for (int r0 = 0; r0 < g.m; r0 += kChunk) {
        const int rows = imin(kChunk, g.m - r0);
        for (int i = 0; i < rows; ++i) buf[i] = g.x.p[(r0 + i) * g.x.inc];
        gerc_rows<O>(g, r0, rows, buf);
    }
}

// ---------------------------------------------------------------------------
// ZTRMV and ZTRSV, "N" forms: blocks of GN columns in the order of the j
// loop; the in-block rows by scalar code in the loop's order, the rows beyond
// the block by the column kernel with the block's multipliers in that order.

template <class O, bool Solve>
void tr_n(const TrmvArgs& t) {
    constexpr int GN = Groups<O>::GN;
    const int N = t.n;
    const idx lda = t.lda, inc = t.x.inc;
    zcomplex* x = t.x.p;
    const bool nounit = !t.unit;
    auto A = [&](int i, int j) -> const zcomplex& { return t.a[i + j * lda]; };
    auto X = [&](int i) -> zcomplex& { return x[i * inc]; };
    // The j loop runs up for ZTRSV lower and ZTRMV upper, down otherwise.
    const bool up = Solve != t.upper;
    const zcomplex* cols[GN];
    zcomplex mult[GN];
    for (int b = 0; b < N; b += GN) {
        const int nb = imin(GN, N - b);
        const int j0 = up ? b : N - b - nb, j1 = j0 + nb;  // the block's columns
        int nc = 0;
        if (Solve) {
            for (int s = 0; s < nb; ++s) {
                const int j = up ? j0 + s : j1 - 1 - s;
                zcomplex xj = X(j);
                if (is_zero(xj)) continue;
                if (nounit) {
                    xj = xj / A(j, j);
                    X(j) = xj;
                }
                // Rows of the block after j in the loop order.
                const int i0 = t.upper ? j0 : j + 1, i1 = t.upper ? j : j1;
                for (int i = i0; i < i1; ++i) X(i) = X(i) - xj * A(i, j);
                mult[nc] = xj;
                cols[nc++] = &A(0, j);
            }
        } else {
            // The multipliers are the original x(j), read before any change.
            zcomplex orig[GN];
            for (int s = 0; s < nb; ++s) orig[s] = X(up ? j0 + s : j1 - 1 - s);
            for (int s = 0; s < nb; ++s) {
                const int j = up ? j0 + s : j1 - 1 - s;
                const zcomplex tj = orig[s];
                if (is_zero(tj)) continue;
                const int i0 = t.upper ? j0 : j + 1, i1 = t.upper ? j : j1;
                for (int i = i0; i < i1; ++i) X(i) = X(i) + tj * A(i, j);
                if (nounit) X(j) = X(j) * A(j, j);
                mult[nc] = tj;
                cols[nc++] = &A(0, j);
            }
        }
        // The rows beyond the block: below it for lower, above it for upper.
        const int r0 = t.upper ? 0 : j1, r1 = t.upper ? j0 : N;
        for (int c = 0; c < nc; ++c) cols[c] += r0;
        axpy_list<O, Solve>(r1 - r0, cols, mult, nc, x + r0 * inc, inc);
    }
}

// "T"/"C" forms: blocks of GD*CW columns in the order of the j loop; each
// TEMP runs over the rows outside the block by the dot kernel and over the
// rows inside it by scalar code, in the order of the i loop.
template <class O, bool Solve>
void tr_t(const TrmvArgs& t) {
    constexpr int NB = Groups<O>::GD * O::CW;
    const int N = t.n;
    const idx lda = t.lda, inc = t.x.inc;
    zcomplex* x = t.x.p;
    const bool nounit = !t.unit, cj = t.op == MvOp::conj;
    auto opA = [&](int i, int j) {
        const zcomplex v = t.a[i + j * lda];
        return cj ? conj(v) : v;
    };
    auto X = [&](int i) -> zcomplex& { return x[i * inc]; };
    // The j loop runs up for ZTRSV upper and ZTRMV lower, down otherwise.
    const bool up = Solve == t.upper;
    alignas(64) zcomplex acc[NB];
    for (int b = 0; b < N; b += NB) {
        const int nb = imin(NB, N - b);
        const int j0 = up ? b : N - b - nb, j1 = j0 + nb;
        const zcomplex* a0 = t.a + static_cast<idx>(j0) * lda;
        if (Solve) {
            // TEMP = x(j), less the rows outside the block (farthest first),
            // less the rows inside it, then divided by the diagonal.
            for (int c = 0; c < nb; ++c) acc[c] = X(j0 + c);
            if (t.upper) {
                dot_run<O, true>(cj, a0, lda, nb, 0, j0, 1, x, inc, acc);
                for (int j = j0; j < j1; ++j) {
                    zcomplex v = acc[j - j0];
                    for (int i = j0; i < j; ++i) v = v - opA(i, j) * X(i);
                    if (nounit) v = v / opA(j, j);
                    X(j) = v;
                }
            } else {
                dot_run<O, true>(cj, a0, lda, nb, N - 1, N - j1, -1, x, inc, acc);
                for (int j = j1 - 1; j >= j0; --j) {
                    zcomplex v = acc[j - j0];
                    for (int i = j1 - 1; i > j; --i) v = v - opA(i, j) * X(i);
                    if (nounit) v = v / opA(j, j);
                    X(j) = v;
                }
            }
        } else {
            // TEMP = x(j) times the diagonal, plus the rows inside the block
            // (nearest first), plus the rows outside it; x read as it was.
            for (int j = j0; j < j1; ++j) {
                zcomplex v = X(j);
                if (nounit) v = v * opA(j, j);
                if (t.upper) {
                    for (int i = j - 1; i >= j0; --i) v = v + opA(i, j) * X(i);
                } else {
                    for (int i = j + 1; i < j1; ++i) v = v + opA(i, j) * X(i);
                }
                acc[j - j0] = v;
            }
            if (t.upper) {
                dot_run<O, false>(cj, a0, lda, nb, j0 - 1, j0, -1, x, inc, acc);
            } else {
                dot_run<O, false>(cj, a0, lda, nb, j1, N - j1, 1, x, inc, acc);
            }
            for (int c = 0; c < nb; ++c) X(j0 + c) = acc[c];
        }
    }
}

template <class O>
void trmv_run(const TrmvArgs& t) {
    if (t.op == MvOp::none) {
        tr_n<O, false>(t);
    } else {
        tr_t<O, false>(t);
    }
}

template <class O>
void trsv_run(const TrmvArgs& t) {
    if (t.op == MvOp::none) {
        tr_n<O, true>(t);
    } else {
        tr_t<O, true>(t);
    }
}

}  // namespace
}  // namespace qiv
