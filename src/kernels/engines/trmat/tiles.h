// The tile layer of the ZTRSM/ZTRMM engine: register tiles in split form that
// apply a run of updates C := C -/+ s(l, c)*v(:, l) to a block of B, the
// element-by-element step for updates with some columns skipped, and the
// walk of a block of rows of B through those tiles. The left "N" and the
// left transposed structures build on it (left_n.h, left_t.h).
#pragma once

#ifndef QIV_KERNEL_TARGET
#error "include inside an instruction-set region (simd/target_<isa>.h)"
#endif

namespace qiv {
namespace {

// How a tile changes B: ZTRSM subtracts the products, ZTRMM adds them.
struct Subtract {
    static constexpr bool sub = true;
};
struct Add {
    static constexpr bool sub = false;
};

template <class Op>
[[gnu::always_inline]] inline zcomplex update(zcomplex c, zcomplex d) {
    return Op::sub ? c - d : c + d;
}
template <class O, class Op>
[[gnu::always_inline]] inline typename O::V update(typename O::V c, typename O::V d) {
    return Op::sub ? O::sub(c, d) : O::add(c, d);
}

// Whether the last unit of a tile is whole or holds fewer than W rows (then
// it is loaded and stored under a mask).
struct WholeUnits {
    static constexpr bool partial = false;
};
struct MaskedLastUnit {
    static constexpr bool partial = true;
};

// Where the units v(:, l) of a tile come from. Each source hands out the
// units of step l = 0, 1, ... in turn.
//  UnitsOfA: MU units of W rows read in place from a column-major matrix,
//            v(:, l) at u + l*step (a row of A walked across its columns);
//  PackedUnit: one unit per step from a packed buffer in split form (W real
//            parts, then W imaginary parts).
struct UnitsOfA {
    const zcomplex* u;
    idx step;

    template <class O, int MU, class Edge>
    [[gnu::always_inline]] void next(const typename O::Mask (&mk)[MU], typename O::V (&vr)[MU],
                                     typename O::V (&vi)[MU]) {
        for (int m = 0; m < MU; ++m) {
            if (Edge::partial && m == MU - 1) {
                O::load_split(u + m * O::W, mk[m], vr[m], vi[m]);
            } else {
                O::load_split(u + m * O::W, vr[m], vi[m]);
            }
        }
        u += step;
    }
};
struct PackedUnit {
    const double* p;

    template <class O, int MU, class Edge>
    [[gnu::always_inline]] void next(const typename O::Mask (&)[MU], typename O::V (&vr)[MU],
                                     typename O::V (&vi)[MU]) {
        static_assert(MU == 1, "packed operands hold one unit");
        vr[0] = O::load(p);
        vi[0] = O::load(p + O::W);
        p += 2 * O::W;
    }
};

// Where the multipliers s(l, c) come from: S(l, c) = s[l*row + c*col].
//  PanelRows<NR>: a panel built by the structure, NR multipliers per step;
//  ColumnsOfB: B itself read in place (s(l, c) = B(k0 + l, j0 + c)).
template <int NR>
struct PanelRows {
    const zcomplex* s;
    static constexpr idx row() { return NR; }
    static constexpr idx col() { return 1; }
};
struct ColumnsOfB {
    const zcomplex* s;
    idx ld;
    static constexpr idx row() { return 1; }
    idx col() const { return ld; }
};

// One step of the register-tile update with some columns flagged, done on C
// in memory: the unflagged columns j receive C(i, j) -/+ s(j)*v(i), element by
// element with the same operations as the vector code.
template <class Op>
[[gnu::noinline]] void flagged_step(const zcomplex* v, int rows, const zcomplex* s, unsigned flags,
                                    int nr, zcomplex* c, idx ldc) {
    for (int j = 0; j < nr; ++j) {
        if ((flags >> j) & 1u) continue;
        const zcomplex sj = s[j];
        zcomplex* cj = c + j * ldc;
        for (int i = 0; i < rows; ++i) cj[i] = update<Op>(cj[i], sj * v[i]);
    }
}

// C(:, c) := C(:, c) -/+ s(l, c) * v(:, l) for l = 0 ... kc-1 and the NR
// columns c of the tile: MU units of W rows (`rows` rows in all) of C at c
// with leading dimension ldc, the units v from `units`, the multipliers from
// `mult`. Per broadcast s = (sr, si) and unit v = (vr, vi):
//     d.re = vr*sr - vi*si      d.im = vi*sr + vr*si
// which is s*v (= v*s) rounded exactly as the plain loop rounds it; then
// C := C - d (Subtract) or C := C + d (Add), each step rounded into C.
template <class O, int NR, int MU, class Op, class Edge, class Units, class Mult>
[[gnu::noinline]] void tile(int kc, Units units, Mult mult, int rows, zcomplex* c, idx ldc) {
    using V = typename O::V;
    constexpr int W = O::W;
    const zcomplex* s = mult.s;
    const idx sl = mult.row(), sc = mult.col();
    typename O::Mask mk[MU];
    for (int m = 0; m < MU; ++m) mk[m] = O::mask(imin(W, rows - m * W));
    V re[MU][NR], im[MU][NR];
    for (int m = 0; m < MU; ++m) {
        const bool part = Edge::partial && m == MU - 1;
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
        units.template next<O, MU, Edge>(mk, vr, vi);
#pragma GCC unroll 16
        for (int j = 0; j < NR; ++j) {
            const zcomplex* e = s + j * sc;
            const V sr = O::bcast(&e->re);
            const V si = O::bcast(&e->im);
#pragma GCC unroll 4
            for (int m = 0; m < MU; ++m) {
                const V dr = O::sub(O::mul(vr[m], sr), O::mul(vi[m], si));
                const V di = O::add(O::mul(vi[m], sr), O::mul(vr[m], si));
                re[m][j] = update<O, Op>(re[m][j], dr);
                im[m][j] = update<O, Op>(im[m][j], di);
            }
        }
        s += sl;
    }
    for (int m = 0; m < MU; ++m) {
        const bool part = Edge::partial && m == MU - 1;
        for (int j = 0; j < NR; ++j) {
            if (part) {
                O::store_merged(c + m * W + j * ldc, mk[m], re[m][j], im[m][j]);
            } else {
                O::store_merged(c + m * W + j * ldc, re[m][j], im[m][j]);
            }
        }
    }
}

// A tile of one unit, whole or masked as `rows` says.
template <class O, int NR, class Op, class Units, class Mult>
[[gnu::always_inline]] inline void unit_tile(int kc, Units units, Mult mult, int rows, zcomplex* c,
                                             idx ldc) {
    if (rows == O::W) {
        tile<O, NR, 1, Op, WholeUnits>(kc, units, mult, rows, c, ldc);
    } else {
        tile<O, NR, 1, Op, MaskedLastUnit>(kc, units, mult, rows, c, ldc);
    }
}

// The block of B the next piece of work reads: rows r0 ... r0+rows-1 of cols
// columns ld apart, as a region to fetch in parts.
inline Region block_region(const zcomplex* base, idx ld, int rows, int cols) {
    Region r;
    r.base = reinterpret_cast<const char*>(base);
    r.stride = ld * static_cast<idx>(sizeof(zcomplex));
    r.count = cols;
    r.bytes = rows * static_cast<int>(sizeof(zcomplex));
    return r;
}

// The units of W rows (the last one possibly partial) at rows i0 ... i0+rows-1
// of B receive the updates from kc far rows: v(:, l) = A(unit rows, .) at
// u0 + l*ustep, multipliers from the panel, skip[l] flagging the columns of
// step l that receive nothing. Runs of unflagged steps go through tile(); a
// step with every column flagged is passed over; the others are done by
// flagged_step. The block pf is prefetched meanwhile, a part before each unit.
template <class O, class T, class Op>
void tiles_over_units(int nr, int kc, const zcomplex* u0, idx ustep, int i0, int rows,
                      const zcomplex* panel, const std::uint16_t* skip, zcomplex* c0, idx ldc,
                      const Region& pf = Region{}) {
    constexpr int W = O::W, NR = T::NR, MU = T::MU, NT = T::NRT, TR = MU * W;
    const int tiles = (rows + TR - 1) / TR;
    const unsigned full = (1u << nr) - 1;
    // A run of kn unflagged steps from step l: tiles of MU units by NT
    // columns, or, for a single unit, of one unit by the panel's NR columns.
    const auto run = [&](int l, int kn) {
        const zcomplex* u = u0 + l * ustep;
        const zcomplex* s = panel + l * NR;
        for (int q = 0; q < rows; q += TR) {
            if (l == 0) prefetch_part(pf, q / TR, tiles);
            const int rq = imin(TR, rows - q);
            zcomplex* c = c0 + i0 + q;
            if (rq > (MU - 1) * W) {
                for (int j0 = 0; j0 < nr; j0 += NT) {
                    with_width<NT>(imin(NT, nr - j0), [&](auto w) {
                        constexpr int nw = decltype(w)::value;
                        const UnitsOfA units{u + i0 + q, ustep};
                        const PanelRows<NR> mult{s + j0};
                        if (rq == TR) {
                            tile<O, nw, MU, Op, WholeUnits>(kn, units, mult, rq, c + j0 * ldc, ldc);
                        } else {
                            tile<O, nw, MU, Op, MaskedLastUnit>(kn, units, mult, rq, c + j0 * ldc,
                                                                ldc);
                        }
                    });
                }
            } else {
                with_width<NR>(nr, [&](auto w) {
                    constexpr int nw = decltype(w)::value;
                    for (int r = 0; r < rq; r += W)
                        unit_tile<O, nw, Op>(kn, UnitsOfA{u + i0 + q + r, ustep}, PanelRows<NR>{s},
                                             imin(W, rq - r), c + r, ldc);
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
                    flagged_step<Op>(u0 + l * ustep + i0 + q, imin(W, rows - q), panel + l * NR,
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

}  // namespace
}  // namespace qiv
