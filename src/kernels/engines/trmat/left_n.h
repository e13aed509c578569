// Structure 1 of the ZTRSM/ZTRMM engine: left side, op(A) = A.
#pragma once

#ifndef QIV_KERNEL_TARGET
#error "include inside an instruction-set region (simd/target_<isa>.h)"
#endif

namespace qiv {
namespace {

// Units per group, far rows per piece.
constexpr int kGroupUnits = 16;
constexpr int kPiece = 192;

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

template <class O, class T>
class LeftN {
   public:
    static constexpr int W = O::W, NR = T::NR, GR = kGroupUnits * O::W;

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
                Region pf;
                if (jt + NR < g_.n) {
                    pf = block_region(&B(d_ > 0 ? k0 : k0 - kc + 1, jt + NR), ldb_, kc,
                                      imin(NR, g_.n - jt - NR));
                } else if (p + kPiece < f1) {
                    const int kn = imin(kPiece, f1 - p - kPiece), kn0 = row(p + kPiece);
                    pf = block_region(&B(d_ > 0 ? kn0 : kn0 - kn + 1, 0), ldb_, kn, imin(NR, g_.n));
                }
                zcomplex* c0 = g_.b + static_cast<idx>(jt) * ldb_;
                if (solve_) {
                    tiles_over_units<O, T, Subtract>(nr, kc, u0, d_ * lda_, i0, rows, panel, skip,
                                                     c0, ldb_, pf);
                } else {
                    tiles_over_units<O, T, Add>(nr, kc, u0, d_ * lda_, i0, rows, panel, skip, c0,
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
                    tiles_over_units<O, T, Subtract>(nr, f1 - f0, u0, d_ * lda_, top(r0, r1),
                                                     r1 - r0, panel + (f0 - q0) * NR,
                                                     skip + (f0 - q0), c0, ldb_);
                } else {
                    tiles_over_units<O, T, Add>(nr, f1 - f0, u0, d_ * lda_, top(r0, r1), r1 - r0,
                                                panel + (f0 - q0) * NR, skip + (f0 - q0), c0, ldb_);
                }
            };
            if (solve_) {
                // ZTRSM: units in blocks of MU (the units of one register
                // tile). A block first receives the solved rows before it in
                // one run of tiles; then unit after unit its triangle is
                // solved and its rows go to the block's later units. Every
                // row thus receives the rows before it in increasing order,
                // in as few runs as the tile height allows: with MU = 1 a
                // unit takes all its in-group rows in a single run.
                for (int b0 = q0; b0 < q1; b0 += T::MU * W) {
                    const int b1 = imin(b0 + T::MU * W, q1);
                    update(b0, b1, q0, b0);
                    for (int u0 = b0; u0 < b1; u0 += W) {
                        const int u1 = imin(u0 + W, b1);
                        solve_unit(u0, u1 - u0, jt, nr, panel + (u0 - q0) * NR, skip + (u0 - q0));
                        update(u1, b1, u0, u1);
                    }
                }
                continue;
            }
            // ZTRMM: units in pairs, so that the rows both need go through
            // tiles of two units.
            for (int u0 = q0; u0 < q1; u0 += 2 * W) {
                const int u1 = imin(u0 + W, q1), u2 = imin(u0 + 2 * W, q1);
                // Both triangles, the second unit's rows for the first unit,
                // then the rows after the pair for both.
                multiply_unit(u0, u1 - u0, jt, nr, panel + (u0 - q0) * NR, skip + (u0 - q0));
                if (u1 < u2)
                    multiply_unit(u1, u2 - u1, jt, nr, panel + (u1 - q0) * NR, skip + (u1 - q0));
                update(u0, u1, u1, u2);
                update(u0, u2, u2, q1);
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
        // The number of rows and the direction fixed at compile time, so that
        // the tile stays in registers through the unrolled loops.
        with_width<W>(rows, [&](auto w) {
            constexpr int R = decltype(w)::value;
            if (d_ > 0) {
                solve_unit_rows<R, true>(u0, jt, nr, prow, skip);
            } else {
                solve_unit_rows<R, false>(u0, jt, nr, prow, skip);
            }
        });
    }

    template <int ROWS, bool Down>
    [[gnu::noinline]] void solve_unit_rows(int u0, int jt, int nr, zcomplex* prow,
                                           std::uint16_t* skip) {
        using V = typename O::V;
        constexpr int CW = O::CW, NQ = NR / CW, rows = ROWS;
        static_assert(NR % CW == 0 && W % CW == 0, "tile must split into square blocks");
        const int i0 = top(u0, u0 + rows);
        V R[W][NQ];
#pragma GCC unroll 8
        for (int r0 = 0; r0 < rows; r0 += CW) {
            const int nrow = imin(CW, rows - r0);
#pragma GCC unroll 8
            for (int q = 0; q < NQ; ++q) {
                V v[CW];
#pragma GCC unroll 8
                for (int c = 0; c < CW; ++c) {
                    const int j = q * CW + c;
                    const zcomplex* p = &B(i0 + r0, jt + imin(j, nr - 1));
                    v[c] = j >= nr ? O::zero() : nrow == CW ? O::loadc(p) : O::loadc(p, nrow);
                }
                O::transpose(v);
#pragma GCC unroll 8
                for (int r = 0; r < CW; ++r) R[r0 + r][q] = v[r];
            }
        }
        const unsigned all = (1u << CW) - 1;
        const V minus_plus = O::alt(-1.0, 1.0);
#pragma GCC unroll 16
        for (int p = 0; p < rows; ++p) {
            const int r = Down ? p : rows - 1 - p;
            const int k = i0 + r;
            unsigned zeros = 0, z[NQ];
            V b[NQ], bs[NQ];
            bool any = false;
#pragma GCC unroll 8
            for (int q = 0; q < NQ; ++q) {
                bs[q] = O::zero();
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
#pragma GCC unroll 16
                for (int p2 = p + 1; p2 < rows; ++p2) {
                    const int r2 = Down ? p2 : rows - 1 - p2;
                    const zcomplex a = A(i0 + r2, k);
                    const V t1 = O::set1(a.re), t2 = O::mul(O::set1(a.im), minus_plus);
#pragma GCC unroll 8
                    for (int q = 0; q < NQ; ++q) {
                        if (z[q] == all) continue;
                        const V upd = O::sub(R[r2][q], cmul<O>(b[q], bs[q], t1, t2));
                        R[r2][q] = z[q] == 0 ? upd : O::select(z[q], R[r2][q], upd);
                    }
                }
            }
            skip[p] = static_cast<std::uint16_t>(zeros & ((1u << nr) - 1));
#pragma GCC unroll 8
            for (int q = 0; q < NQ; ++q) O::storec(prow + p * NR + q * CW, R[r][q]);
        }
#pragma GCC unroll 8
        for (int r0 = 0; r0 < rows; r0 += CW) {
            const int nrow = imin(CW, rows - r0);
#pragma GCC unroll 8
            for (int q = 0; q < NQ; ++q) {
                V v[CW];
#pragma GCC unroll 8
                for (int r = 0; r < CW; ++r) v[r] = R[r0 + r][q];
                O::transpose(v);
#pragma GCC unroll 8
                for (int c = 0; c < CW; ++c) {
                    if (q * CW + c >= nr) break;
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

}  // namespace
}  // namespace qiv
