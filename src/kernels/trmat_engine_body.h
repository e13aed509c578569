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
constexpr int kGroupUnits = 16;
constexpr int kPiece = 192;
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

// One step of the register-tile update with some columns flagged, done on C
// in memory: the unflagged columns j receive C(i, j) -/+ s(j)*v(i), element by
// element with the same operations as the vector code.
template <bool Sub>
[[gnu::noinline]] void flagged_step(const zcomplex* v, int rows, const zcomplex* s, idx sc,
                                    unsigned flags, int nr, zcomplex* c, idx ldc) {
    for (int j = 0; j < nr; ++j) {
        if ((flags >> j) & 1u) continue;
        const zcomplex sj = s[j * sc];
        zcomplex* cj = c + j * ldc;
        for (int i = 0; i < rows; ++i) {
            const zcomplex d = sj * v[i];
            cj[i] = Sub ? cj[i] - d : cj[i] + d;
        }
    }
}

// C(:, c) := C(:, c) -/+ s(l, c) * v(:, l) for l = 0 ... kc-1 and the NR
// columns c of the tile, where v(:, l) is MU units of W rows read either from
// a column-major matrix (at u + l*ustep) or from a packed buffer (up, MU = 1),
// and s(l, c) = s[l*sl + c*sc] (with Panel: s[l*O::NR + c]). The tile covers
// `rows` rows; with Partial the last unit is masked.
template <class O, int NR, int MU, bool Partial, bool Sub, bool PackedU, bool Panel>
[[gnu::noinline]] void tile(int kc, const zcomplex* u, idx ustep, const double* up, int rows,
                            const zcomplex* s, idx sl, idx sc, zcomplex* c, idx ldc) {
    static_assert(!PackedU || MU == 1, "packed operands hold one unit");
    using V = typename O::V;
    constexpr int W = O::W;
    if constexpr (Panel) {
        sl = O::NR;  // panel rows hold a full panel width
        sc = 1;
    }
    typename O::Mask mk[MU];
    for (int m = 0; m < MU; ++m) mk[m] = O::mask(imin(W, rows - m * W));
    V re[MU][NR], im[MU][NR];
    for (int m = 0; m < MU; ++m) {
        const bool part = Partial && m == MU - 1;
        for (int j = 0; j < NR; ++j) {
            if (part) {
                O::load_split(c + m * W + j * ldc, mk[m], re[m][j], im[m][j]);
            } else {
                O::load_split(c + m * W + j * ldc, re[m][j], im[m][j]);
            }
        }
    }
    for (int l = 0; l < kc; ++l) {
        V vr[MU], vi[MU];
        if constexpr (PackedU) {
            vr[0] = O::load(up);
            vi[0] = O::load(up + W);
            up += 2 * W;
        } else {
            for (int m = 0; m < MU; ++m) {
                if (Partial && m == MU - 1) {
                    O::load_split(u + m * W, mk[m], vr[m], vi[m]);
                } else {
                    O::load_split(u + m * W, vr[m], vi[m]);
                }
            }
            u += ustep;
        }
#pragma GCC unroll 16
        for (int j = 0; j < NR; ++j) {
            const zcomplex* e = s + j * sc;
            const V sr = O::bcast(&e->re);
            const V si = O::bcast(&e->im);
#pragma GCC unroll 4
            for (int m = 0; m < MU; ++m) {
                const V dr = O::sub(O::mul(vr[m], sr), O::mul(vi[m], si));
                const V di = O::add(O::mul(vi[m], sr), O::mul(vr[m], si));
                if constexpr (Sub) {
                    re[m][j] = O::sub(re[m][j], dr);
                    im[m][j] = O::sub(im[m][j], di);
                } else {
                    re[m][j] = O::add(re[m][j], dr);
                    im[m][j] = O::add(im[m][j], di);
                }
            }
        }
        s += sl;
    }
    for (int m = 0; m < MU; ++m) {
        const bool part = Partial && m == MU - 1;
        for (int j = 0; j < NR; ++j) {
            if (part) {
                O::store_merged(c + m * W + j * ldc, mk[m], re[m][j], im[m][j]);
            } else {
                O::store_merged(c + m * W + j * ldc, re[m][j], im[m][j]);
            }
        }
    }
}

// A block of columns (rows r0 ... r0+rows-1 of cols columns ld apart) to be
// brought towards the second-level cache while other work runs, in parts.
struct Prefetch {
    const zcomplex* base;
    idx ld;
    int rows, cols;

    // The share of cache lines for part q of parts.
    // Inlined: a separate function holding only prefetches would count as
    // free of side effects, and its calls would be dropped.
    [[gnu::always_inline]] void part(int q, int parts) const {
        if (base == nullptr) return;
        const int lines = (rows + 3) / 4, total = lines * cols;
        const int b = static_cast<int>(static_cast<long long>(total) * q / parts);
        const int e = static_cast<int>(static_cast<long long>(total) * (q + 1) / parts);
        int c = b / lines, x = b - c * lines;
        const zcomplex* p = base + c * ld + x * 4;
        for (int i = b; i < e; ++i) {
            __builtin_prefetch(p, 0, 2);
            p += 4;
            if (++x == lines) {
                x = 0;
                p = base + (++c) * ld;
            }
        }
    }
};

// The units of W rows (the last one possibly partial) at rows i0 ... i0+rows-1
// of B receive the updates from kc far rows: v(:, l) = A(unit rows, .) at
// u0 + l*ustep, multipliers from the panel, skip[l] flagging the columns of
// step l that receive nothing. Runs of unflagged steps go through tile(); a
// step with every column flagged is passed over; the others are done by
// flagged_step. The block pf is prefetched meanwhile, a part before each unit.
template <class O, bool Sub>
void tiles_over_units(int nr, int kc, const zcomplex* u0, idx ustep, int i0, int rows,
                      const zcomplex* panel, const std::uint16_t* skip, zcomplex* c0, idx ldc,
                      const Prefetch& pf = Prefetch{nullptr, 0, 0, 0}) {
    constexpr int W = O::W, NR = O::NR, MU = O::MU, NT = O::NRT, TR = MU * W;
    const int tiles = (rows + TR - 1) / TR;
    const unsigned full = (1u << nr) - 1;
    // A run of kn unflagged steps from step l: tiles of MU units by NT
    // columns, or, for a single unit, of one unit by the panel's NR columns.
    const auto run = [&](int l, int kn) {
        const zcomplex* u = u0 + l * ustep;
        const zcomplex* s = panel + l * NR;
        for (int q = 0; q < rows; q += TR) {
            if (l == 0) pf.part(q / TR, tiles);
            const int rq = imin(TR, rows - q);
            zcomplex* c = c0 + i0 + q;
            if (rq > (MU - 1) * W) {
                for (int j0 = 0; j0 < nr; j0 += NT) {
                    with_width<NT>(imin(NT, nr - j0), [&](auto w) {
                        constexpr int nw = decltype(w)::value;
                        if (rq == TR) {
                            tile<O, nw, MU, false, Sub, false, true>(kn, u + i0 + q, ustep, nullptr,
                                                                     rq, s + j0, 0, 0, c + j0 * ldc,
                                                                     ldc);
                        } else {
                            tile<O, nw, MU, true, Sub, false, true>(kn, u + i0 + q, ustep, nullptr,
                                                                    rq, s + j0, 0, 0, c + j0 * ldc,
                                                                    ldc);
                        }
                    });
                }
            } else {
                with_width<NR>(nr, [&](auto w) {
                    constexpr int nw = decltype(w)::value;
                    for (int r = 0; r < rq; r += W) {
                        const int rr = imin(W, rq - r);
                        if (rr == W)
                            tile<O, nw, 1, false, Sub, false, true>(
                                kn, u + i0 + q + r, ustep, nullptr, rr, s, 0, 0, c + r, ldc);
                        else
                            tile<O, nw, 1, true, Sub, false, true>(
                                kn, u + i0 + q + r, ustep, nullptr, rr, s, 0, 0, c + r, ldc);
                    }
                });
            }
        }
    };
    int l = 0;
    while (l < kc) {
        if (skip[l] == 0) {
            int e = l + 1;
            while (e < kc && skip[e] == 0) ++e;
            run(l, e - l);
            l = e;
        } else {
            if ((skip[l] & full) != full) {
                for (int q = 0; q < rows; q += W)
                    flagged_step<Sub>(u0 + l * ustep + i0 + q, imin(W, rows - q), panel + l * NR, 1,
                                      skip[l], nr, c0 + i0 + q, ldc);
            }
            ++l;
        }
    }
}

// B := alpha*B, every element (the product alpha*B(i, j) as the loops form it).
inline void scale_all(const TrmatArgs& g) {
    for (int j = 0; j < g.n; ++j) {
        zcomplex* bj = g.b + static_cast<idx>(j) * g.ldb;
        for (int i = 0; i < g.m; ++i) bj[i] = g.alpha * bj[i];
    }
}

// t*v for a broadcast complex t given as t1 = (tr, tr, ...) and t2 = (-ti,
// ti, ...): (vr*tr - vi*ti, vi*tr + vr*ti), the textbook product.
template <class O>
[[gnu::always_inline]] inline typename O::V cmul(typename O::V v, typename O::V vs,
                                                 typename O::V t1, typename O::V t2) {
    return O::add(O::mul(v, t1), O::mul(vs, t2));
}

// a/d on every complex element of a register: the plain complex quotient,
// whose branch and scalars r and den depend on d alone:
//   |Im d| > |Re d|: r = Re d/Im d, den = Im d + Re d*r,
//                    ((a.re*r + a.im)/den, (a.im*r - a.re)/den);
//   otherwise:       r = Im d/Re d, den = Re d + Im d*r,
//                    ((a.re + a.im*r)/den, (a.im - a.re*r)/den).
// The sign changes are multiplications by -1 (exact), x + (-y) equals x - y.
template <class O>
typename O::V cdiv(typename O::V a, zcomplex d) {
    const double c = d.re, e = d.im;
    const typename O::V sign = O::alt(1.0, -1.0);
    if (std::fabs(e) > std::fabs(c)) {
        const double r = c / e;
        const double den = e + c * r;
        const typename O::V p = O::mul(a, O::set1(r));
        const typename O::V q = O::mul(O::swap(a), sign);
        return O::div(O::add(p, q), O::set1(den));
    }
    const double r = e / c;
    const double den = c + e * r;
    const typename O::V p = O::mul(O::mul(O::swap(a), O::set1(r)), sign);
    return O::div(O::add(a, p), O::set1(den));
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
    // positions f0 ... f1-1, in that order, piece by piece.
    void beyond(int q0, int q1, int f0, int f1) {
        alignas(64) std::uint16_t skip[kPiece];
        alignas(64) zcomplex panel[kPiece * NR];
        static_assert(sizeof(skip) + sizeof(panel) <= trmat_engine_stack_bound - 4096,
                      "scratch too large");
        const int i0 = top(q0, q1), rows = q1 - q0;
        for (int p = f0; p < f1; p += kPiece) {
            const int kc = imin(kPiece, f1 - p);
            const int k0 = row(p);
            const zcomplex* u0 = g_.a + static_cast<idx>(k0) * lda_;
            for (int jt = 0; jt < g_.n; jt += NR) {
                const int nr = imin(NR, g_.n - jt);
                form_panel(k0, kc, jt, nr, panel, skip);
                // The rows of the next column tile (or of the next piece)
                // are fetched while this one is worked on.
                Prefetch pf{nullptr, ldb_, 0, 0};
                if (jt + NR < g_.n) {
                    pf = Prefetch{&B(d_ > 0 ? k0 : k0 - kc + 1, jt + NR), ldb_, kc,
                                  imin(NR, g_.n - jt - NR)};
                } else if (p + kPiece < f1) {
                    const int kn = imin(kPiece, f1 - p - kPiece), kn0 = row(p + kPiece);
                    pf = Prefetch{&B(d_ > 0 ? kn0 : kn0 - kn + 1, 0), ldb_, kn, imin(NR, g_.n)};
                }
                zcomplex* c0 = g_.b + static_cast<idx>(jt) * ldb_;
                if (solve_) {
                    tiles_over_units<O, true>(nr, kc, u0, d_ * lda_, i0, rows, panel, skip, c0,
                                              ldb_, pf);
                } else {
                    tiles_over_units<O, false>(nr, kc, u0, d_ * lda_, i0, rows, panel, skip, c0,
                                               ldb_, pf);
                }
            }
        }
    }

    // The group at positions q0 ... q1-1, unit after unit in the visiting
    // order: the in-group far rows by tiles, the in-unit triangle (ZTRSM:
    // after the far rows; ZTRMM: before them). The panel holds the multipliers
    // of the group's rows: ZTRSM fills it as rows are solved, ZTRMM forms TEMP
    // from the original rows first.
    void within(int q0, int q1) {
        alignas(64) std::uint16_t skip[GR];
        alignas(64) zcomplex panel[GR * NR];
        static_assert(sizeof(skip) + sizeof(panel) <= trmat_engine_stack_bound - 4096,
                      "scratch too large");
        for (int jt = 0; jt < g_.n; jt += NR) {
            const int nr = imin(NR, g_.n - jt);
            if (!solve_) form_panel(row(q0), q1 - q0, jt, nr, panel, skip);
            // The in-group updates of rows at positions r0 ... r1-1 from the
            // rows at positions f0 ... f1-1 (in that order).
            zcomplex* c0 = g_.b + static_cast<idx>(jt) * ldb_;
            const auto update = [&](int r0, int r1, int f0, int f1) {
                if (f0 >= f1 || r0 >= r1) return;
                const zcomplex* u0 = g_.a + static_cast<idx>(row(f0)) * lda_;
                if (solve_) {
                    tiles_over_units<O, true>(nr, f1 - f0, u0, d_ * lda_, top(r0, r1), r1 - r0,
                                              panel + (f0 - q0) * NR, skip + (f0 - q0), c0, ldb_);
                } else {
                    tiles_over_units<O, false>(nr, f1 - f0, u0, d_ * lda_, top(r0, r1), r1 - r0,
                                               panel + (f0 - q0) * NR, skip + (f0 - q0), c0, ldb_);
                }
            };
            // Units in pairs, so that the rows both need go through tiles of
            // two units.
            for (int u0 = q0; u0 < q1; u0 += 2 * W) {
                const int u1 = imin(u0 + W, q1), u2 = imin(u0 + 2 * W, q1);
                if (solve_) {
                    // ZTRSM: the solved rows before the pair, then the first
                    // unit's triangle, its rows for the second unit, and the
                    // second unit's triangle.
                    update(u0, u2, q0, u0);
                    solve_unit(u0, u1 - u0, jt, nr, panel + (u0 - q0) * NR, skip + (u0 - q0));
                    if (u1 < u2) {
                        update(u1, u2, u0, u1);
                        solve_unit(u1, u2 - u1, jt, nr, panel + (u1 - q0) * NR, skip + (u1 - q0));
                    }
                } else {
                    // ZTRMM: both triangles, the second unit's rows for the
                    // first unit, then the rows after the pair for both.
                    multiply_unit(u0, u1 - u0, jt, nr, panel + (u0 - q0) * NR, skip + (u0 - q0));
                    if (u1 < u2)
                        multiply_unit(u1, u2 - u1, jt, nr, panel + (u1 - q0) * NR,
                                      skip + (u1 - q0));
                    update(u0, u1, u1, u2);
                    update(u0, u2, u2, q1);
                }
            }
        }
    }

    // panel[l*NR + c] := the multiplier from B(k, jt + c), k = k0 + d*l,
    // for l < kc and c < nr: B(k, j) itself (ZTRSM, rows already solved) or
    // TEMP = ALPHA*B(k, j) (ZTRMM, original rows); skip[l] flags the columns
    // whose B(k, j) is zero. For ZTRSM blocks of CW rows by CW columns are
    // transposed in registers.
    void form_panel(int k0, int kc, int jt, int nr, zcomplex* panel, std::uint16_t* skip) const {
        constexpr int CW = O::CW;
        using V = typename O::V;
        for (int l = 0; l < kc; ++l) skip[l] = 0;
        const int klo = d_ > 0 ? k0 : k0 - kc + 1;
        if (!solve_) {
            for (int c = 0; c < nr; ++c) {
                const zcomplex* col = &B(klo, jt + c);
                for (int r = 0; r < kc; ++r) {
                    const int l = d_ > 0 ? r : kc - 1 - r;
                    const zcomplex v = col[r];
                    if (is_zero(v)) {
                        skip[l] |= static_cast<std::uint16_t>(1u << c);
                    } else {
                        panel[l * NR + c] = g_.alpha * v;
                    }
                }
            }
            return;
        }
        for (int r0 = 0; r0 < kc; r0 += CW) {
            const int n = imin(CW, kc - r0);
            for (int c0 = 0; c0 < nr; c0 += CW) {
                V v[CW];
                for (int c = 0; c < CW; ++c) {
                    if (c0 + c >= nr) {
                        v[c] = O::zero();
                        continue;
                    }
                    const zcomplex* p = &B(klo + r0, jt + c0 + c);
                    v[c] = n == CW ? O::loadc(p) : O::loadc(p, n);
                    unsigned z = O::zero_bits(v[c]) & ((1u << n) - 1);
                    while (z != 0) {
                        const int off = r0 + __builtin_ctz(z);
                        z &= z - 1;
                        skip[d_ > 0 ? off : kc - 1 - off] |=
                            static_cast<std::uint16_t>(1u << (c0 + c));
                    }
                }
                O::transpose(v);
                for (int r = 0; r < n; ++r) {
                    const int l = d_ > 0 ? r0 + r : kc - 1 - r0 - r;
                    O::storec(panel + l * NR + c0, v[r]);
                }
            }
        }
    }

    // ZTRSM: the plain k loop restricted to the unit at positions u0 ...
    // u0+rows-1 and columns jt ... jt+nr-1, with the tile transposed so that
    // a register holds CW columns of one row; records which B(k, j) were zero
    // (tested before the division) for the later updates. A zero B(k, j)
    // leaves its column alone: the results are selected per element.
    void solve_unit(int u0, int rows, int jt, int nr, zcomplex* prow, std::uint16_t* skip) {
        using V = typename O::V;
        constexpr int CW = O::CW, NQ = NR / CW;
        static_assert(NR % CW == 0 && W % CW == 0, "tile must split into square blocks");
        const int i0 = top(u0, u0 + rows);
        V R[W][NQ];
        for (int r0 = 0; r0 < rows; r0 += CW) {
            const int nrow = imin(CW, rows - r0);
            for (int q = 0; q < NQ; ++q) {
                V v[CW];
                for (int c = 0; c < CW; ++c) {
                    const int j = q * CW + c;
                    const zcomplex* p = &B(i0 + r0, jt + imin(j, nr - 1));
                    v[c] = j >= nr ? O::zero() : nrow == CW ? O::loadc(p) : O::loadc(p, nrow);
                }
                O::transpose(v);
                for (int r = 0; r < CW; ++r) R[r0 + r][q] = v[r];
            }
        }
        const unsigned all = (1u << CW) - 1;
        const V minus_plus = O::alt(-1.0, 1.0);
        for (int p = 0; p < rows; ++p) {
            const int r = d_ > 0 ? p : rows - 1 - p;
            const int k = i0 + r;
            unsigned zeros = 0, z[NQ];
            V b[NQ], bs[NQ];
            for (int q = 0; q < NQ; ++q) bs[q] = O::zero();
            bool any = false;
            for (int q = 0; q < NQ; ++q) {
                b[q] = R[r][q];
                z[q] = O::zero_bits(b[q]);
                zeros |= z[q] << (q * CW);
                if (z[q] == all) continue;
                any = true;
                if (nounit_) {
                    b[q] = O::select(z[q], b[q], cdiv<O>(b[q], A(k, k)));
                    R[r][q] = b[q];
                }
                bs[q] = O::swap(b[q]);
            }
            if (any) {
                for (int p2 = p + 1; p2 < rows; ++p2) {
                    const int r2 = d_ > 0 ? p2 : rows - 1 - p2;
                    const zcomplex a = A(i0 + r2, k);
                    const V t1 = O::set1(a.re), t2 = O::mul(O::set1(a.im), minus_plus);
                    for (int q = 0; q < NQ; ++q) {
                        if (z[q] == all) continue;
                        const V upd = O::sub(R[r2][q], cmul<O>(b[q], bs[q], t1, t2));
                        R[r2][q] = z[q] == 0 ? upd : O::select(z[q], R[r2][q], upd);
                    }
                }
            }
            skip[p] = static_cast<std::uint16_t>(zeros & ((1u << nr) - 1));
            for (int q = 0; q < NQ; ++q) O::storec(prow + p * NR + q * CW, R[r][q]);
        }
        for (int r0 = 0; r0 < rows; r0 += CW) {
            const int nrow = imin(CW, rows - r0);
            for (int q = 0; q < NQ; ++q) {
                V v[CW];
                for (int r = 0; r < CW; ++r) v[r] = R[r0 + r][q];
                O::transpose(v);
                for (int c = 0; c < CW && q * CW + c < nr; ++c) {
                    zcomplex* p = &B(i0 + r0, jt + q * CW + c);
                    if (nrow == CW) {
                        O::storec(p, v[c]);
                    } else {
                        O::storec(p, nrow, v[c]);
                    }
                }
            }
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
                            tile<O, nw, 1, false, true, true, false>(kc, nullptr, 0, pack, rows, sp,
                                                                     1, ldb_, cp, ldb_);
                        else
                            tile<O, nw, 1, true, true, true, false>(kc, nullptr, 0, pack, rows, sp,
                                                                    1, ldb_, cp, ldb_);
                    } else {
                        if (rows == W)
                            tile<O, nw, 1, false, false, true, false>(kc, nullptr, 0, pack, rows,
                                                                      sp, 1, ldb_, cp, ldb_);
                        else
                            tile<O, nw, 1, true, false, true, false>(kc, nullptr, 0, pack, rows, sp,
                                                                     1, ldb_, cp, ldb_);
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

// c := c -/+ t*u (Sub) on every register of a strip.
template <class O, int NV, bool Sub>
[[gnu::always_inline]] inline void strip_axpy(typename O::V (&c)[NV], const typename O::V (&u)[NV],
                                              zcomplex t) {
    const typename O::V t1 = bc_re<O>(t), t2 = bc_im<O>(t);
    for (int q = 0; q < NV; ++q) {
        const typename O::V d = cmul<O>(u[q], O::swap(u[q]), t1, t2);
        c[q] = Sub ? O::sub(c[q], d) : O::add(c[q], d);
    }
}

// The plain loops of the right-hand cases on one strip of rows. Where the
// order of the loops allows, two consecutive steps of the outer loop are done
// together, so that every other column passes through the registers once for
// both: their updates still reach each element in the loop's order. ZTRSM
// "N" lower is the exception: each column's chain starts with the column
// just finished, so its columns go one at a time.
template <class O, int NV, bool Solve>
[[gnu::noinline]] void right_strip(const TrmatArgs& g, int i0, int last) {
    using V = typename O::V;
    const Strip<O, NV> st{last};
    const int N = g.n;
    const idx lda = g.lda, ldb = g.ldb;
    const bool cj = g.op == TrOp::conj, nounit = !g.unit, up = g.upper;
    const zcomplex al = g.alpha, one{1.0, 0.0};
    zcomplex* b = g.b + i0;
    auto col = [&](int j) { return b + j * ldb; };
    auto A = [&](int k, int j) { return g.a[k + j * lda]; };
    auto opA = [&](int k, int j) { return cj ? conj(A(k, j)) : A(k, j); };

    if (g.op == TrOp::none) {
        // Column j is finished in registers: its scaling, the updates from
        // the other columns k in increasing k, and (ZTRSM) the reciprocal.
        // ZTRSM upper and ZTRMM lower run j upwards, the others downwards.
        const bool asc = up == Solve;
        const bool fuse = !Solve || up;
        for (int t = 0; t < N;) {
            const int j = asc ? t : N - 1 - t;
            if (!fuse || t + 1 == N) {
                V c[NV];
                st.load(col(j), c);
                if (Solve) {
                    if (!is_one(al)) strip_scale<O, NV>(c, al);
                } else {
                    strip_scale<O, NV>(c, nounit ? al * A(j, j) : al);
                }
                const int k0 = up ? 0 : j + 1, k1 = up ? j : N;
                for (int k = k0; k < k1; ++k) {
                    const zcomplex akj = A(k, j);
                    if (is_zero(akj)) continue;
                    V u[NV];
                    st.load(col(k), u);
                    strip_axpy<O, NV, Solve>(c, u, Solve ? akj : al * akj);
                }
                if (Solve && nounit) strip_scale<O, NV>(c, one / A(j, j));
                st.store(col(j), c);
                ++t;
                continue;
            }
            // Columns j and j2, next in the loop's order.
            const int j2 = asc ? j + 1 : j - 1;
            V c1[NV], c2[NV];
            st.load(col(j), c1);
            st.load(col(j2), c2);
            // The updates both columns receive: from the columns k before
            // min(j, j2) (upper) or after max(j, j2) (ZTRMM lower).
            const auto both = [&](int k0, int k1) {
                for (int k = k0; k < k1; ++k) {
                    const zcomplex a1 = A(k, j), a2 = A(k, j2);
                    const bool z1 = is_zero(a1), z2 = is_zero(a2);
                    if (z1 && z2) continue;
                    V u[NV];
                    st.load(col(k), u);
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
                if (nounit) strip_scale<O, NV>(c1, one / A(j, j));
                const zcomplex a = A(j, j2);
                if (!is_zero(a)) strip_axpy<O, NV, true>(c2, c1, a);
                if (nounit) strip_scale<O, NV>(c2, one / A(j2, j2));
            } else if (up) {
                // ZTRMM upper, j2 = j - 1: column j's last update comes from
                // column j2 as it was (still so in memory).
                strip_scale<O, NV>(c1, nounit ? al * A(j, j) : al);
                strip_scale<O, NV>(c2, nounit ? al * A(j2, j2) : al);
                both(0, j2);
                const zcomplex a = A(j2, j);
                if (!is_zero(a)) {
                    V u[NV];
                    st.load(col(j2), u);
                    strip_axpy<O, NV, false>(c1, u, al * a);
                }
            } else {
                // ZTRMM lower, j2 = j + 1: column j's first update comes from
                // column j2 as it was, before j2 is scaled.
                strip_scale<O, NV>(c1, nounit ? al * A(j, j) : al);
                const zcomplex a = A(j2, j);
                if (!is_zero(a)) strip_axpy<O, NV, false>(c1, c2, al * a);
                strip_scale<O, NV>(c2, nounit ? al * A(j2, j2) : al);
                both(j2 + 1, N);
            }
            st.store(col(j), c1);
            st.store(col(j2), c2);
            t += 2;
        }
        return;
    }

    // op(A) transposed: column k is the multiplier for the other columns j
    // in turn. ZTRSM upper and ZTRMM lower run k downwards, the others
    // upwards. Two steps k, k2 at a time.
    const bool asc = up != Solve;
    for (int t = 0; t < N;) {
        const int k = asc ? t : N - 1 - t;
        if (t + 1 == N) {
            V u[NV];
            st.load(col(k), u);
            if (Solve && nounit) strip_scale<O, NV>(u, one / opA(k, k));
            const int j0 = up ? 0 : k + 1, j1 = up ? k : N;
            for (int j = j0; j < j1; ++j) {
                const zcomplex ajk = A(j, k);
                if (is_zero(ajk)) continue;
                V c[NV];
                st.load(col(j), c);
                strip_axpy<O, NV, Solve>(c, u, Solve ? opA(j, k) : al * opA(j, k));
                st.store(col(j), c);
            }
            if (Solve) {
                if (!is_one(al)) strip_scale<O, NV>(u, al);
            } else {
                const zcomplex d = nounit ? al * opA(k, k) : al;
                if (!is_one(d)) strip_scale<O, NV>(u, d);
            }
            st.store(col(k), u);
            break;
        }
        const int k2 = asc ? k + 1 : k - 1;
        V u1[NV], u2[NV];
        st.load(col(k), u1);
        st.load(col(k2), u2);
        if (Solve) {
            // Step k: the reciprocal, then column k2 (within step k's range)
            // gets its update before its own step.
            if (nounit) strip_scale<O, NV>(u1, one / opA(k, k));
            if (!is_zero(A(k2, k))) strip_axpy<O, NV, true>(u2, u1, opA(k2, k));
            if (nounit) strip_scale<O, NV>(u2, one / opA(k2, k2));
        }
        // The columns both steps update, step k first.
        const int j0 = up ? 0 : (k > k2 ? k : k2) + 1, j1 = up ? (k < k2 ? k : k2) : N;
        for (int j = j0; j < j1; ++j) {
            const zcomplex a1 = A(j, k), a2 = A(j, k2);
            const bool z1 = is_zero(a1), z2 = is_zero(a2);
            if (z1 && z2) continue;
            V c[NV];
            st.load(col(j), c);
            if (!z1) strip_axpy<O, NV, Solve>(c, u1, Solve ? opA(j, k) : al * opA(j, k));
            if (!z2) strip_axpy<O, NV, Solve>(c, u2, Solve ? opA(j, k2) : al * opA(j, k2));
            st.store(col(j), c);
        }
        if (Solve) {
            if (!is_one(al)) {
                strip_scale<O, NV>(u1, al);
                strip_scale<O, NV>(u2, al);
            }
        } else {
            // ZTRMM: column k is scaled at the end of step k, then step k2
            // adds its update to it (column k lies in step k2's range).
            const zcomplex d1 = nounit ? al * opA(k, k) : al;
            if (!is_one(d1)) strip_scale<O, NV>(u1, d1);
            if (!is_zero(A(k, k2))) strip_axpy<O, NV, false>(u1, u2, al * opA(k, k2));
            const zcomplex d2 = nounit ? al * opA(k2, k2) : al;
            if (!is_one(d2)) strip_scale<O, NV>(u2, d2);
        }
        st.store(col(k), u1);
        st.store(col(k2), u2);
        t += 2;
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
