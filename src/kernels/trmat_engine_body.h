// The ZTRSM and ZTRMM engine written once for any vector width. Each
// trmat_engine_<isa>.cpp includes this file after selecting its instruction set
// with "#pragma GCC target" and the matching simd_<isa>.h, and instantiates
// trsm_run<O> and trmm_run<O>. Everything here lives in an anonymous namespace,
// so the compilations for different instruction sets never share a symbol.
//
// The cases fall into four structures.
//
//  1. Left, op(A) = A (both routines). Rows of B are visited in the order of
//     the plain k loop (position p = 0, 1, ... runs down for ZTRSM lower and
//     ZTRMM upper, up for the other two). Every row then receives its updates
//     from rows in that same order: for ZTRSM from the rows before it (already
//     solved), for ZTRMM from the rows after it (still original, multiplied
//     by ALPHA). Groups of GU units of W rows are updated by "far" rows in
//     pieces with register tiles of W rows by NR columns; inside a group,
//     unit after unit, the in-unit triangle is done by scalar code.
//  2. Left, op(A) = A^T or A^H, except ZTRSM lower: each unit of W rows is a
//     tile of dot products TEMP, continued over the far rows with op(A)
//     packed (transposed) and B read in place, and finished by the in-unit
//     triangle.
//  3. ZTRSM left, op(A) transposed, lower: each row is a chain that starts
//     with its nearest neighbour, which must be final first. The work runs
//     across columns instead: registers hold a row of B for several columns.
//  4. Right side: every row of B is an independent problem. Strips of rows are
//     run through the plain loops with whole registers of rows at a time.
//
// Register-tile products, per broadcast s = (sr, si) and unit v = (vr, vi):
//     d.re = vr*sr - vi*si      d.im = vi*sr + vr*si
// which is s*v (= v*s) rounded exactly as the plain loop rounds it; then
// C := C - d (ZTRSM) or C := C + d (ZTRMM).
//
// Include only after every system and library header the including file
// needs, so that no shared inline function is compiled for a wider target.

namespace qiv {
namespace {

using idx = std::ptrdiff_t;

inline int imin(int a, int b) { return a < b ? a : b; }

// Units per group in structure 1, far rows per piece (structures 1 and 2),
// columns per block in structure 2.
constexpr int kGroupUnits = 8;
constexpr int kPieceSolve = 256;
constexpr int kPieceMult = 192;
constexpr int kPieceDot = 256;
constexpr int kColBlockDot = 128;

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

// ---------------------------------------------------------------------------
// Register tiles in split form.

// C(:, c) := C(:, c) -/+ s(l, c) * v(:, l) for l = 0 ... kc-1 and the NR
// columns c of the tile, where v(:, l) is a unit of W rows read either from a
// column-major matrix (at u + l*ustep) or from a packed buffer (up), and
// s(l, c) = s[l*sl + c*sc]. With Skip, the columns flagged in skip[l] receive
// nothing from step l.
template <class O, int NR, bool Partial, bool Sub, bool PackedU, bool Skip>
[[gnu::noinline]] void tile(int kc, const zcomplex* u, idx ustep, const double* up, int rows,
                            const zcomplex* s, idx sl, idx sc, const std::uint16_t* skip,
                            zcomplex* c, idx ldc) {
    using V = typename O::V;
    constexpr int W = O::W;
    const typename O::Mask mk = O::mask(rows);
    V re[NR], im[NR];
    for (int j = 0; j < NR; ++j) {
        if constexpr (Partial) {
            O::load_split(c + j * ldc, mk, re[j], im[j]);
        } else {
            O::load_split(c + j * ldc, re[j], im[j]);
        }
    }
    for (int l = 0; l < kc; ++l) {
        V vr, vi;
        if constexpr (PackedU) {
            vr = O::load(up);
            vi = O::load(up + W);
            up += 2 * W;
        } else {
            if constexpr (Partial) {
                O::load_split(u, mk, vr, vi);
            } else {
                O::load_split(u, vr, vi);
            }
            u += ustep;
        }
        const auto step = [&](int j) {
            const zcomplex* e = s + j * sc;
            const V sr = O::bcast(&e->re);
            const V si = O::bcast(&e->im);
            const V dr = O::sub(O::mul(vr, sr), O::mul(vi, si));
            const V di = O::add(O::mul(vi, sr), O::mul(vr, si));
            if constexpr (Sub) {
                re[j] = O::sub(re[j], dr);
                im[j] = O::sub(im[j], di);
            } else {
                re[j] = O::add(re[j], dr);
                im[j] = O::add(im[j], di);
            }
        };
        if (!Skip || skip[l] == 0) {
#pragma GCC unroll 16
            for (int j = 0; j < NR; ++j) step(j);
        } else {
            const unsigned m = skip[l];
#pragma GCC unroll 16
            for (int j = 0; j < NR; ++j)
                if (!((m >> j) & 1u)) step(j);
        }
        s += sl;
    }
    for (int j = 0; j < NR; ++j) {
        if constexpr (Partial) {
            O::store_merged(c + j * ldc, mk, re[j], im[j]);
        } else {
            O::store_merged(c + j * ldc, re[j], im[j]);
        }
    }
}

// Runs tile() for a run of units of W rows (the last one possibly partial)
// that share the far rows: unit q covers rows i0 + q*W ... of B and of A.
template <class O, bool Sub, bool Skip>
void tiles_over_units(int nr, int kc, const zcomplex* u0, idx ustep, int i0, int rows,
                      const zcomplex* s, idx sl, idx sc, const std::uint16_t* skip, zcomplex* c0,
                      idx ldc) {
    constexpr int W = O::W;
    with_width<O::NR>(nr, [&](auto w) {
        constexpr int nw = decltype(w)::value;
        int q = 0;
        for (; q + W <= rows; q += W)
            tile<O, nw, false, Sub, false, Skip>(kc, u0 + i0 + q, ustep, nullptr, W, s, sl, sc,
                                                 skip, c0 + i0 + q, ldc);
        if (q < rows)
            tile<O, nw, true, Sub, false, Skip>(kc, u0 + i0 + q, ustep, nullptr, rows - q, s, sl,
                                                sc, skip, c0 + i0 + q, ldc);
    });
}

// B := alpha*B, every element (the product alpha*B(i, j) as the loops form it).
inline void scale_all(const TrmatArgs& g) {
    for (int j = 0; j < g.n; ++j) {
        zcomplex* bj = g.b + static_cast<idx>(j) * g.ldb;
        for (int i = 0; i < g.m; ++i) bj[i] = g.alpha * bj[i];
    }
}

// ---------------------------------------------------------------------------
// Structure 1: left, op(A) = A.

template <class O>
class LeftN {
   public:
    static constexpr int W = O::W, NR = O::NR, GR = kGroupUnits * O::W;

    LeftN(const TrmatArgs& g, bool solve)
        : g_(g),
          solve_(solve),
          d_(solve != g.upper ? 1 : -1),
          lda_(g.lda),
          ldb_(g.ldb),
          nounit_(!g.unit) {}

    void run() {
        const int M = g_.m;
        if (solve_ && !is_one(g_.alpha)) scale_all(g_);
        for (int q0 = 0; q0 < M; q0 += GR) {
            const int q1 = imin(M, q0 + GR);
            if (solve_) beyond(q0, q1, 0, q0);
            within(q0, q1);
            if (!solve_) beyond(q0, q1, q1, M);
        }
    }

   private:
    // Row at position p of the visiting order, and the lowest row index of
    // the positions p0 ... p1-1 (which always form a contiguous set of rows).
    int row(int p) const { return d_ > 0 ? p : g_.m - 1 - p; }
    int top(int p0, int p1) const { return d_ > 0 ? p0 : g_.m - p1; }
    const zcomplex& A(int i, int k) const { return g_.a[i + k * lda_]; }
    zcomplex& B(int i, int j) const { return g_.b[i + j * ldb_]; }

    // The rows at positions q0 ... q1-1 receive the updates from the rows at
    // positions f0 ... f1-1, in that order.
    void beyond(int q0, int q1, int f0, int f1) {
        constexpr int KP = kPieceSolve > kPieceMult ? kPieceSolve : kPieceMult;
        alignas(64) std::uint16_t skip[KP];
        alignas(64) zcomplex panel[kPieceMult * NR];
        static_assert(sizeof(skip) + sizeof(panel) + GR * (NR * sizeof(zcomplex) + 2) <=
                          trmat_engine_stack_bound - 1024,
                      "scratch too large");
        const int piece = solve_ ? kPieceSolve : kPieceMult;
        const int i0 = top(q0, q1), rows = q1 - q0;
        for (int p = f0; p < f1; p += piece) {
            const int kc = imin(piece, f1 - p);
            const int k0 = row(p);
            for (int jt = 0; jt < g_.n; jt += NR) {
                const int nr = imin(NR, g_.n - jt);
                for (int l = 0; l < kc; ++l) {
                    const int k = k0 + d_ * l;
                    unsigned m = 0;
                    for (int c = 0; c < nr; ++c) {
                        const zcomplex v = B(k, jt + c);
                        if (is_zero(v)) {
                            m |= 1u << c;
                        } else if (!solve_) {
                            panel[l * NR + c] = g_.alpha * v;
                        }
                    }
                    skip[l] = static_cast<std::uint16_t>(m);
                }
                const zcomplex* u0 = g_.a + static_cast<idx>(k0) * lda_;
                zcomplex* c0 = g_.b + static_cast<idx>(jt) * ldb_;
                if (solve_) {
                    tiles_over_units<O, true, true>(nr, kc, u0, d_ * lda_, i0, rows, &B(k0, jt), d_,
                                                    ldb_, skip, c0, ldb_);
                } else {
                    tiles_over_units<O, false, true>(nr, kc, u0, d_ * lda_, i0, rows, panel, NR, 1,
                                                     skip, c0, ldb_);
                }
            }
        }
    }

    // The group at positions q0 ... q1-1, unit after unit in the visiting
    // order: the in-group far rows by tiles, the in-unit triangle by scalar
    // code (ZTRSM: after the far rows; ZTRMM: before them).
    void within(int q0, int q1) {
        alignas(64) std::uint16_t skip[GR];
        alignas(64) zcomplex panel[GR * NR];
        for (int jt = 0; jt < g_.n; jt += NR) {
            const int nr = imin(NR, g_.n - jt);
            if (!solve_) {
                // TEMP = ALPHA*B(k, j) from the original rows of the group.
                for (int p = q0; p < q1; ++p) {
                    const int k = row(p);
                    unsigned m = 0;
                    for (int c = 0; c < nr; ++c) {
                        const zcomplex v = B(k, jt + c);
                        if (is_zero(v)) {
                            m |= 1u << c;
                        } else {
                            panel[(p - q0) * NR + c] = g_.alpha * v;
                        }
                    }
                    skip[p - q0] = static_cast<std::uint16_t>(m);
                }
            }
            for (int u0 = q0; u0 < q1; u0 += W) {
                const int rows = imin(W, q1 - u0);
                const int i0 = top(u0, u0 + rows);
                zcomplex* c0 = g_.b + static_cast<idx>(jt) * ldb_;
                if (solve_) {
                    if (u0 > q0) {
                        const int k0 = row(q0);
                        tiles_over_units<O, true, true>(
                            nr, u0 - q0, g_.a + static_cast<idx>(k0) * lda_, d_ * lda_, i0, rows,
                            &B(k0, jt), d_, ldb_, skip, c0, ldb_);
                    }
                    solve_unit(u0, rows, jt, nr, skip + (u0 - q0));
                } else {
                    multiply_unit(u0, rows, jt, nr, panel + (u0 - q0) * NR, skip + (u0 - q0));
                    const int f0 = u0 + rows;
                    if (f0 < q1) {
                        const int k0 = row(f0);
                        tiles_over_units<O, false, true>(
                            nr, q1 - f0, g_.a + static_cast<idx>(k0) * lda_, d_ * lda_, i0, rows,
                            panel + (f0 - q0) * NR, NR, 1, skip + (f0 - q0), c0, ldb_);
                    }
                }
            }
        }
    }

    // ZTRSM: the plain k loop restricted to the unit at positions u0 ...
    // u0+rows-1 and columns jt ... jt+nr-1; records which B(k, j) were zero
    // (tested before the division) for the later updates.
    void solve_unit(int u0, int rows, int jt, int nr, std::uint16_t* skip) {
        for (int p = u0; p < u0 + rows; ++p) {
            const int k = row(p);
            unsigned m = 0;
            for (int c = 0; c < nr; ++c) {
                const int j = jt + c;
                zcomplex b = B(k, j);
                if (is_zero(b)) {
                    m |= 1u << c;
                    continue;
                }
                if (nounit_) {
                    b = b / A(k, k);
                    B(k, j) = b;
                }
                for (int q = p + 1; q < u0 + rows; ++q) {
                    const int i = row(q);
                    B(i, j) = B(i, j) - b * A(i, k);
                }
            }
            skip[p - u0] = static_cast<std::uint16_t>(m);
        }
    }

    // ZTRMM: the plain k loop restricted to the unit, with TEMP from the
    // panel: the rows visited before k gain TEMP*A(i, k), then B(k, j)
    // becomes TEMP (times A(k, k) for a stored diagonal).
    void multiply_unit(int u0, int rows, int jt, int nr, const zcomplex* panel,
                       const std::uint16_t* skip) {
        for (int p = u0; p < u0 + rows; ++p) {
            const int k = row(p);
            const unsigned m = skip[p - u0];
            for (int c = 0; c < nr; ++c) {
                if ((m >> c) & 1u) continue;
                const int j = jt + c;
                const zcomplex t = panel[(p - u0) * NR + c];
                for (int q = u0; q < p; ++q) {
                    const int i = row(q);
                    B(i, j) = B(i, j) + t * A(i, k);
                }
                B(k, j) = nounit_ ? t * A(k, k) : t;
            }
        }
    }

    const TrmatArgs& g_;
    const bool solve_;
    const int d_;
    const idx lda_, ldb_;
    const bool nounit_;
};

// ---------------------------------------------------------------------------
// Structure 2: left, op(A) = A^T or A^H (ZTRSM upper, ZTRMM both).

// Copies rows i0 ... i0+rows-1 of op(A) (columns of A), depth k0 ...
// k0+kc-1, into one packed unit: for each k, W real parts then W imaginary
// parts in lane order; conjugation applied here, missing rows zero.
template <class O>
void pack_unit(const zcomplex* a, idx lda, int i0, int rows, int k0, int kc, bool cj, double* up) {
    constexpr int W = O::W;
    for (int p = 0; p < W; ++p) {
        const int r = O::lane_row(p);
        double* d = up + p;
        if (r < rows) {
            const zcomplex* col = a + k0 + (i0 + r) * lda;
            for (int l = 0; l < kc; ++l) {
                d[l * 2 * W] = col[l].re;
                d[l * 2 * W + W] = cj ? -col[l].im : col[l].im;
            }
        } else {
            for (int l = 0; l < kc; ++l) d[l * 2 * W] = d[l * 2 * W + W] = 0.0;
        }
    }
}

template <class O>
class LeftT {
   public:
    static constexpr int W = O::W, NR = O::NR, KP = kPieceDot, NC = kColBlockDot;

    LeftT(const TrmatArgs& g, bool solve)
        : g_(g), solve_(solve), cj_(g.op == TrOp::conj), lda_(g.lda), ldb_(g.ldb) {}

    void run() {
        const int M = g_.m;
        // ZTRSM: TEMP starts as ALPHA*B(i, j), formed even when ALPHA is one.
        if (solve_) scale_all(g_);
        // Units run down (ZTRSM upper, ZTRMM lower) or up (ZTRMM upper).
        const bool down = solve_ || !g_.upper;
        const int units = (M + W - 1) / W;
        for (int jc = 0; jc < g_.n; jc += NC) {
            const int nc = imin(NC, g_.n - jc);
            for (int q = 0; q < units; ++q) {
                const int i0 = (down ? q : units - 1 - q) * W;
                const int rows = imin(W, M - i0);
                unit(i0, rows, jc, nc);
            }
        }
    }

   private:
    zcomplex opA(int k, int i) const {
        const zcomplex v = g_.a[k + i * lda_];
        return cj_ ? conj(v) : v;
    }
    zcomplex& B(int i, int j) const { return g_.b[i + j * ldb_]; }

    void unit(int i0, int rows, int jc, int nc) {
        alignas(64) double pack[KP * 2 * W];
        alignas(64) zcomplex orig[W * NC];
        static_assert(sizeof(pack) + sizeof(orig) <= trmat_engine_stack_bound - 1024,
                      "scratch too large");
        const int i1 = i0 + rows;
        const bool nounit = !g_.unit;
        if (!solve_) {
            if (g_.upper) {
                // TEMP := B(i, j) (times op(A)(i, i)); the originals are kept
                // for the in-unit terms, which come last.
                for (int c = 0; c < nc; ++c)
                    for (int r = 0; r < rows; ++r) {
                        zcomplex& b = B(i0 + r, jc + c);
                        orig[c * W + r] = b;
                        if (nounit) b = b * opA(i0 + r, i0 + r);
                    }
            } else {
                // The in-unit terms come first: rows in increasing order,
                // each reading only the rows after it, still original.
                for (int c = 0; c < nc; ++c)
                    for (int i = i0; i < i1; ++i) {
                        zcomplex t = B(i, jc + c);
                        if (nounit) t = t * opA(i, i);
                        for (int k = i + 1; k < i1; ++k) t = t + opA(k, i) * B(k, jc + c);
                        B(i, jc + c) = t;
                    }
            }
        }
        // The far rows, always in increasing order: before the unit for the
        // upper cases, after it for the lower one.
        const int f0 = g_.upper ? 0 : i1, f1 = g_.upper ? i0 : g_.m;
        for (int k0 = f0; k0 < f1; k0 += KP) {
            const int kc = imin(KP, f1 - k0);
            pack_unit<O>(g_.a, lda_, i0, rows, k0, kc, cj_, pack);
            for (int jt = jc; jt < jc + nc; jt += NR) {
                const int nr = imin(NR, jc + nc - jt);
                with_width<NR>(nr, [&](auto w) {
                    constexpr int nw = decltype(w)::value;
                    zcomplex* cp = &B(i0, jt);
                    const zcomplex* sp = &B(k0, jt);
                    if (solve_) {
                        if (rows == W)
                            tile<O, nw, false, true, true, false>(kc, nullptr, 0, pack, rows, sp, 1,
                                                                  ldb_, nullptr, cp, ldb_);
                        else
                            tile<O, nw, true, true, true, false>(kc, nullptr, 0, pack, rows, sp, 1,
                                                                 ldb_, nullptr, cp, ldb_);
                    } else {
                        if (rows == W)
                            tile<O, nw, false, false, true, false>(kc, nullptr, 0, pack, rows, sp,
                                                                   1, ldb_, nullptr, cp, ldb_);
                        else
                            tile<O, nw, true, false, true, false>(kc, nullptr, 0, pack, rows, sp, 1,
                                                                  ldb_, nullptr, cp, ldb_);
                    }
                });
            }
        }
        if (solve_) {
            // In-unit terms in increasing k, then the division.
            for (int c = 0; c < nc; ++c)
                for (int i = i0; i < i1; ++i) {
                    zcomplex t = B(i, jc + c);
                    for (int k = i0; k < i; ++k) t = t - opA(k, i) * B(k, jc + c);
                    if (nounit) t = t / opA(i, i);
                    B(i, jc + c) = t;
                }
        } else if (g_.upper) {
            for (int c = 0; c < nc; ++c)
                for (int i = i0; i < i1; ++i) {
                    zcomplex t = B(i, jc + c);
                    for (int k = i0; k < i; ++k) t = t + opA(k, i) * orig[c * W + (k - i0)];
                    B(i, jc + c) = g_.alpha * t;
                }
        } else {
            for (int c = 0; c < nc; ++c)
                for (int i = i0; i < i1; ++i) B(i, jc + c) = g_.alpha * B(i, jc + c);
        }
    }

    const TrmatArgs& g_;
    const bool solve_, cj_;
    const idx lda_, ldb_;
};

// ---------------------------------------------------------------------------
// Structure 3: ZTRSM left, op(A) transposed, lower. Rows from the bottom up;
// each row of B, for CW*G columns at once in interleaved registers, is the
// chain TEMP := ALPHA*B(i, j) - sum over k = i+1 ... M-1 (in that order) of
// op(A)(k, i)*B(k, j), divided by op(A)(i, i).

// t*v for a broadcast complex t given as t1 = (tr, tr, ...) and t2 = (-ti,
// ti, ...): (vr*tr - vi*ti, vi*tr + vr*ti), the textbook product.
template <class O>
[[gnu::always_inline]] inline typename O::V cmul(typename O::V v, typename O::V vs,
                                                 typename O::V t1, typename O::V t2) {
    return O::add(O::mul(v, t1), O::mul(vs, t2));
}

// Loads n <= CW complex elements lying `stride` apart into one register.
template <class O>
typename O::V gather(const zcomplex* p, idx stride, int n) {
    alignas(64) zcomplex t[O::CW];
    for (int c = 0; c < O::CW; ++c) t[c] = c < n ? p[c * stride] : zcomplex{0.0, 0.0};
    return O::loadc(t);
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
        for (int q = 0; q < G; ++q) acc[q] = gather<O>(g.b + i + (j0 + q * CW) * ldb, ldb, n[q]);
        const zcomplex* ai = g.a + static_cast<idx>(i) * lda;
        for (int k = i + 1; k < g.m; ++k) {
            const double ar = ai[k].re, aim = cj ? -ai[k].im : ai[k].im;
            const V t1 = O::set1(ar), t2 = O::alt(-aim, aim);
            const zcomplex* bk = g.b + k + static_cast<idx>(j0) * ldb;
            for (int q = 0; q < G; ++q) {
                const V v = gather<O>(bk + q * CW * ldb, ldb, n[q]);
                acc[q] = O::sub(acc[q], cmul<O>(v, O::swap(v), t1, t2));
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

// ---------------------------------------------------------------------------
// Structure 4: right side, strips of rows through the plain loops.

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

template <class O>
[[gnu::always_inline]] inline typename O::V bc_re(zcomplex t) {
    return O::set1(t.re);
}
template <class O>
[[gnu::always_inline]] inline typename O::V bc_im(zcomplex t) {
    return O::alt(-t.im, t.im);
}

// v := t*v on every register of a strip.
template <class O, int NV>
[[gnu::always_inline]] inline void strip_scale(typename O::V (&v)[NV], zcomplex t) {
    const typename O::V t1 = bc_re<O>(t), t2 = bc_im<O>(t);
    for (int q = 0; q < NV; ++q) v[q] = cmul<O>(v[q], O::swap(v[q]), t1, t2);
}

template <class O, int NV, bool Solve>
[[gnu::noinline]] void right_strip(const TrmatArgs& g, int i0, int last) {
    using V = typename O::V;
    const Strip<O, NV> st{last};
    const int N = g.n;
    const idx lda = g.lda, ldb = g.ldb;
    const bool cj = g.op == TrOp::conj, nounit = !g.unit;
    const zcomplex al = g.alpha, one{1.0, 0.0};
    zcomplex* b = g.b + i0;
    auto col = [&](int j) { return b + j * ldb; };
    auto A = [&](int k, int j) { return g.a[k + j * lda]; };
    auto opA = [&](int k, int j) { return cj ? conj(A(k, j)) : A(k, j); };

    if (g.op == TrOp::none) {
        // Column j is finished in registers: its scaling, the updates from
        // the other columns k in the plain order, and (ZTRSM) the reciprocal.
        const bool up = g.upper;
        for (int t = 0; t < N; ++t) {
            // ZTRSM: upper runs j = 0 ... N-1, lower j = N-1 ... 0;
            // ZTRMM: the other way round.
            const int j = (up == Solve) ? t : N - 1 - t;
            V c[NV];
            st.load(col(j), c);
            if (Solve) {
                if (!is_one(al)) strip_scale<O, NV>(c, al);
            } else {
                zcomplex d = al;
                if (nounit) d = d * A(j, j);
                strip_scale<O, NV>(c, d);
            }
            const int k0 = up ? 0 : j + 1, k1 = up ? j : N;
            for (int k = k0; k < k1; ++k) {
                const zcomplex akj = A(k, j);
                if (is_zero(akj)) continue;
                const zcomplex tk = Solve ? akj : al * akj;
                const V t1 = bc_re<O>(tk), t2 = bc_im<O>(tk);
                const zcomplex* bk = col(k);
                V u[NV];
                st.load(bk, u);
                for (int q = 0; q < NV; ++q) {
                    const V d = cmul<O>(u[q], O::swap(u[q]), t1, t2);
                    c[q] = Solve ? O::sub(c[q], d) : O::add(c[q], d);
                }
            }
            if (Solve && nounit) strip_scale<O, NV>(c, one / A(j, j));
            st.store(col(j), c);
        }
    } else {
        // Column k is the multiplier for the other columns j in turn.
        const bool up = g.upper;
        for (int t = 0; t < N; ++t) {
            // ZTRSM: upper runs k = N-1 ... 0, lower k = 0 ... N-1; ZTRMM the
            // other way round.
            const int k = (up == Solve) ? N - 1 - t : t;
            V u[NV], us[NV];
            st.load(col(k), u);
            if (Solve && nounit) strip_scale<O, NV>(u, one / opA(k, k));
            for (int q = 0; q < NV; ++q) us[q] = O::swap(u[q]);
            const int j0 = up ? 0 : k + 1, j1 = up ? k : N;
            for (int j = j0; j < j1; ++j) {
                const zcomplex ajk = A(j, k);
                if (is_zero(ajk)) continue;
                const zcomplex tj = Solve ? (cj ? conj(ajk) : ajk) : al * (cj ? conj(ajk) : ajk);
                const V t1 = bc_re<O>(tj), t2 = bc_im<O>(tj);
                V c[NV];
                st.load(col(j), c);
                for (int q = 0; q < NV; ++q) {
                    const V d = cmul<O>(u[q], us[q], t1, t2);
                    c[q] = Solve ? O::sub(c[q], d) : O::add(c[q], d);
                }
                st.store(col(j), c);
            }
            if (Solve) {
                if (!is_one(al)) strip_scale<O, NV>(u, al);
            } else {
                zcomplex d = al;
                if (nounit) d = d * opA(k, k);
                if (!is_one(d)) strip_scale<O, NV>(u, d);
            }
            st.store(col(k), u);
        }
    }
}

template <class O, bool Solve>
void right_side(const TrmatArgs& g) {
    constexpr int CW = O::CW, SV = O::SV, S = SV * CW;
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

// ---------------------------------------------------------------------------

template <class O>
void trsm_run(const TrmatArgs& g) {
    if (!g.left) {
        right_side<O, true>(g);
    } else if (g.op == TrOp::none) {
        LeftN<O>(g, true).run();
    } else if (g.upper) {
        LeftT<O>(g, true).run();
    } else {
        left_t_lower_solve<O>(g);
    }
}

template <class O>
void trmm_run(const TrmatArgs& g) {
    if (!g.left) {
        right_side<O, false>(g);
    } else if (g.op == TrOp::none) {
        LeftN<O>(g, false).run();
    } else {
        LeftT<O>(g, false).run();
    }
}

}  // namespace
}  // namespace qiv
