// The ZGEMM engine written once for any vector width. Each gemm_engine_<isa>.cpp
// includes this file after selecting its instruction set with
// "#pragma GCC target", defines an operations struct O for that set and
// instantiates run<O>. Everything here lives in an anonymous namespace, so the
// three compilations never share a symbol: code built for AVX-512 cannot be
// picked by the linker for the baseline path.
//
// Include only after every system and library header the including file
// needs, so that no shared inline function is compiled for a wider target.
//
// Layout in registers ("split" form). A unit is O::W consecutive rows of a
// column. Its complex elements are held in two registers, one with the real
// parts and one with the imaginary parts; the lane order is the one the
// unpack instructions produce (lane p holds row O::lane_row(p)), and the same
// order is used everywhere, so it never needs undoing except when writing C.
//
// Per broadcast scalar s = (sr, si) and unit v = (vr, vi) the update is
//     re += vr*sr + (-vi)*si      im += vi*sr + vr*si
// which is the textbook product s*v (or v*s) rounded exactly as the plain
// loop rounds it, followed by the add into the accumulator. When s is to be
// conjugated, (sr, -si): re += vr*sr + vi*si, im += vi*sr + (-vr)*si.
//
// The operations struct O provides:
//   V, Mask, W (complex elements per unit), NR (columns per register tile),
//   MC_N, KC_N (row and depth blocks of the op(A) = A structure),
//   MC_T, NC_T, KC_T (blocks of the transposed structure),
//   zero, set1, bcast, add, mul, neg, load, store (aligned scratch),
//   mask(rows), load_split(p, re, im), load_split(p, mask, re, im),
//   store_merged(p, re, im), store_merged(p, mask, re, im), lane_row(p).

namespace qiv {
namespace {

using idx = std::ptrdiff_t;

inline int imin(int a, int b) { return a < b ? a : b; }

// Compile-time tile width carried as a type.
template <int N>
struct Width {
    static constexpr int value = N;
};

// Calls f(Width<nr>{}) for a run-time nr in 1 ... N.
template <int N, class F>
[[gnu::always_inline]] inline void with_width(int nr, F&& f) {
    if constexpr (N > 1) {
        if (nr < N) {
            with_width<N - 1>(nr, f);
            return;
        }
    }
    f(Width<N>{});
}

// Where the broadcast operand S(l, c) of the register tile lives:
//  panel: a packed block, S(l, c) at s[l*NR + c];
//  lrow:  a matrix whose columns run over l, S(l, c) at s[l*ld + c];
//  lcol:  a matrix whose columns run over c, S(l, c) at s[l + c*ld].
enum class SMode { panel, lrow, lcol };

// The register-tile update: for l = 0 ... kc-1, every column c of the tile
// receives the product of its unit of V(:, l) with S(l, c). V comes either
// straight from a column-major matrix (Packed = false; rows of a unit are
// consecutive, columns ld apart) or from a buffer packed in split form.
template <class O, int NR, bool Packed, bool Partial, SMode SM, bool ConjS>
[[gnu::always_inline]] inline void accumulate(int kc, const double* vp, const zcomplex* a, idx lda,
                                              typename O::Mask mk, const zcomplex* s, idx ld,
                                              typename O::V (&re)[NR], typename O::V (&im)[NR]) {
    using V = typename O::V;
    const idx lstep = SM == SMode::panel ? NR : SM == SMode::lrow ? ld : 1;
    const idx cstep = SM == SMode::lcol ? ld : 1;
    for (int l = 0; l < kc; ++l) {
        V vr, vi;
        if constexpr (Packed) {
            vr = O::load(vp);
            vi = O::load(vp + O::W);
            vp += 2 * O::W;
        } else {
            if constexpr (Partial) {
                O::load_split(a, mk, vr, vi);
            } else {
                O::load_split(a, vr, vi);
            }
            a += lda;
        }
        const V vn = ConjS ? O::neg(vr) : O::neg(vi);
#pragma GCC unroll 16
        for (int c = 0; c < NR; ++c) {
            const zcomplex* e = s + c * cstep;
            const V sr = O::bcast(&e->re);
            const V si = O::bcast(&e->im);
            if constexpr (!ConjS) {
                re[c] = O::add(re[c], O::add(O::mul(vr, sr), O::mul(vn, si)));
                im[c] = O::add(im[c], O::add(O::mul(vi, sr), O::mul(vr, si)));
            } else {
                re[c] = O::add(re[c], O::add(O::mul(vr, sr), O::mul(vi, si)));
                im[c] = O::add(im[c], O::add(O::mul(vi, sr), O::mul(vn, si)));
            }
        }
        s += lstep;
    }
}

// What happens to C before the first block of products arrives.
enum class CInit { keep, zero, scale };

// op(A) = A: one register tile of C (a unit of rows by NR columns) receives
// the products of kc columns of A with the panel of TEMP values.
template <class O, int NR, bool Partial>
[[gnu::noinline]] void n_tile(int kc, const zcomplex* a, idx lda, int rows, const zcomplex* panel,
                              zcomplex* c, idx ldc, CInit init, zcomplex beta) {
    using V = typename O::V;
    const typename O::Mask mk = O::mask(rows);
    V re[NR], im[NR];
    if (init == CInit::zero) {
        for (int j = 0; j < NR; ++j) re[j] = im[j] = O::zero();
    } else {
        for (int j = 0; j < NR; ++j) {
            if constexpr (Partial) {
                O::load_split(c + j * ldc, mk, re[j], im[j]);
            } else {
                O::load_split(c + j * ldc, re[j], im[j]);
            }
        }
        if (init == CInit::scale) {
            // BETA*C(i, j): re = br*cr - bi*ci, im = br*ci + bi*cr.
            const V br = O::set1(beta.re), bi = O::set1(beta.im), nbi = O::set1(-beta.im);
            for (int j = 0; j < NR; ++j) {
                const V cr = re[j], ci = im[j];
                re[j] = O::add(O::mul(cr, br), O::mul(ci, nbi));
                im[j] = O::add(O::mul(ci, br), O::mul(cr, bi));
            }
        }
    }
    accumulate<O, NR, false, Partial, SMode::panel, false>(kc, nullptr, a, lda, mk, panel, 0, re,
                                                           im);
    for (int j = 0; j < NR; ++j) {
        if constexpr (Partial) {
            O::store_merged(c + j * ldc, mk, re[j], im[j]);
        } else {
            O::store_merged(c + j * ldc, re[j], im[j]);
        }
    }
}

// TEMP(l, j) = ALPHA*op(B)(l0 + l, j0 + j) for l < kc, j < nr, stored at
// panel[l*nr + j]. The same product the plain loop forms for each (l, j).
inline void form_panel(const GemmArgs& g, int l0, int kc, int j0, int nr, zcomplex* panel) {
    const idx ldb = g.ldb;
    if (g.opb == GemmOp::none) {
        for (int j = 0; j < nr; ++j) {
            const zcomplex* bj = g.b + l0 + (j0 + j) * ldb;
            for (int l = 0; l < kc; ++l) panel[l * nr + j] = g.alpha * bj[l];
        }
    } else {
        const bool cj = g.opb == GemmOp::conj;
        for (int l = 0; l < kc; ++l) {
            const zcomplex* bl = g.b + j0 + (l0 + l) * ldb;
            for (int j = 0; j < nr; ++j) panel[l * nr + j] = g.alpha * (cj ? conj(bl[j]) : bl[j]);
        }
    }
}

// op(A) = A, loop structure j, l, i of the plain loops reorganised as:
// depth blocks of KC_N columns of A (C stored between blocks), row blocks of
// MC_N rows (the block of A stays in the second-level cache while every
// column tile of C passes over it), tiles of NR columns with their panel of
// TEMP values, and units of W rows with the tile in registers.
template <class O>
[[gnu::noinline]] void n_structure(const GemmArgs& g) {
    constexpr int W = O::W, NR = O::NR, MC = O::MC_N, KC = O::KC_N;
    static_assert(KC * NR * sizeof(zcomplex) <= gemm_engine_stack_bound, "panel too large");
    alignas(64) zcomplex panel[KC * NR];
    const CInit init0 = is_zero(g.beta) ? CInit::zero : is_one(g.beta) ? CInit::keep : CInit::scale;
    const idx lda = g.lda, ldc = g.ldc;
    int pc = 0;
    do {  // runs once when K = 0: then only BETA is applied
        const int kc = imin(KC, g.k - pc);
        const CInit init = pc == 0 ? init0 : CInit::keep;
        for (int ic = 0; ic < g.m; ic += MC) {
            const int mc = imin(MC, g.m - ic);
            const int full = mc / W, rest = mc % W;
            for (int jr = 0; jr < g.n; jr += NR) {
                const int nr = imin(NR, g.n - jr);
                form_panel(g, pc, kc, jr, nr, panel);
                const zcomplex* a0 = g.a + ic + pc * lda;
                zcomplex* c0 = g.c + ic + jr * ldc;
                with_width<NR>(nr, [&](auto w) {
                    constexpr int nw = decltype(w)::value;
                    for (int u = 0; u < full; ++u)
                        n_tile<O, nw, false>(kc, a0 + u * W, lda, W, panel, c0 + u * W, ldc, init,
                                             g.beta);
                    if (rest > 0)
                        n_tile<O, nw, true>(kc, a0 + full * W, lda, rest, panel, c0 + full * W, ldc,
                                            init, g.beta);
                });
            }
        }
        pc += kc;
    } while (pc < g.k);
}

// Copies rows i0 ... i0+rows-1 of op(A) (columns of A), depth l0 ... l0+kc-1,
// into one packed unit: for each l, W real parts then W imaginary parts in
// lane order; conjugation is applied here (an exact sign change) and missing
// rows are zero.
template <class O>
void pack_unit(const zcomplex* a, idx lda, int i0, int rows, int l0, int kc, bool cj, double* vp) {
    constexpr int W = O::W;
    for (int p = 0; p < W; ++p) {
        const int r = O::lane_row(p);
        double* d = vp + p;
        if (r < rows) {
            const zcomplex* col = a + l0 + (i0 + r) * lda;
            for (int l = 0; l < kc; ++l) {
                d[l * 2 * W] = col[l].re;
                d[l * 2 * W + W] = cj ? -col[l].im : col[l].im;
            }
        } else {
            for (int l = 0; l < kc; ++l) d[l * 2 * W] = d[l * 2 * W + W] = 0.0;
        }
    }
}

// op(A) = A^T or A^H: one register tile of dot products TEMP (a unit of rows
// of C by NR columns) continues over kc more terms; partial sums wait in acc
// between depth blocks. After the last block C := ALPHA*TEMP (+ BETA*C).
template <class O, int NR, SMode SM, bool ConjS>
[[gnu::noinline]] void t_tile(int kc, const double* vp, const zcomplex* b, idx ldb, double* acc,
                              bool first, bool last, int rows, zcomplex* c, idx ldc, zcomplex alpha,
                              zcomplex beta) {
    using V = typename O::V;
    constexpr int W = O::W;
    V re[NR], im[NR];
    for (int j = 0; j < NR; ++j) {
        if (first) {
            re[j] = im[j] = O::zero();
        } else {
            re[j] = O::load(acc + j * 2 * W);
            im[j] = O::load(acc + j * 2 * W + W);
        }
    }
    accumulate<O, NR, true, false, SM, ConjS>(kc, vp, nullptr, 0, O::mask(W), b, ldb, re, im);
    if (!last) {
        for (int j = 0; j < NR; ++j) {
            O::store(acc + j * 2 * W, re[j]);
            O::store(acc + j * 2 * W + W, im[j]);
        }
        return;
    }
    // ALPHA*TEMP: re = ar*tr - ai*ti, im = ar*ti + ai*tr; then + BETA*C(i, j).
    const V ar = O::set1(alpha.re), ai = O::set1(alpha.im), nai = O::set1(-alpha.im);
    const bool beta0 = is_zero(beta);
    const V br = O::set1(beta.re), bi = O::set1(beta.im), nbi = O::set1(-beta.im);
    const typename O::Mask mk = O::mask(rows);
    for (int j = 0; j < NR; ++j) {
        V xr = O::add(O::mul(re[j], ar), O::mul(im[j], nai));
        V xi = O::add(O::mul(im[j], ar), O::mul(re[j], ai));
        if (!beta0) {
            V cr, ci;
            if (rows == W) {
                O::load_split(c + j * ldc, cr, ci);
            } else {
                O::load_split(c + j * ldc, mk, cr, ci);
            }
            xr = O::add(xr, O::add(O::mul(cr, br), O::mul(ci, nbi)));
            xi = O::add(xi, O::add(O::mul(ci, br), O::mul(cr, bi)));
        }
        if (rows == W) {
            O::store_merged(c + j * ldc, xr, xi);
        } else {
            O::store_merged(c + j * ldc, mk, xr, xi);
        }
    }
}

// op(A) = A^T or A^H, loop structure j, i, l of the plain loops reorganised
// as: column blocks of NC_T, row blocks of MC_T (a few units of op(A) packed
// for a depth block of KC_T), the depth blocks in increasing order, and
// register tiles whose partial sums are kept in acc between depth blocks.
// op(B) is read in place: B(l, j) runs down a column, B(j, l) along a row.
template <class O>
[[gnu::noinline]] void t_structure(const GemmArgs& g) {
    constexpr int W = O::W, NR = O::NR, MCU = O::MC_T / O::W, NC = O::NC_T, KC = O::KC_T;
    static_assert(O::MC_T % O::W == 0 && NC % NR == 0, "blocks must hold whole tiles");
    static_assert((MCU * KC + MCU * NC) * 2 * W * sizeof(double) <= gemm_engine_stack_bound,
                  "scratch too large");
    alignas(64) double pack[MCU * KC * 2 * W];
    alignas(64) double acc[MCU * NC * 2 * W];
    const bool cja = g.opa == GemmOp::conj;
    const idx lda = g.lda, ldb = g.ldb, ldc = g.ldc;
    for (int jc = 0; jc < g.n; jc += NC) {
        const int nc = imin(NC, g.n - jc);
        for (int ic = 0; ic < g.m; ic += MCU * W) {
            const int mc = imin(MCU * W, g.m - ic);
            const int units = (mc + W - 1) / W;
            int pc = 0;
            do {  // runs once when K = 0: then C := ALPHA*0 (+ BETA*C)
                const int kc = imin(KC, g.k - pc);
                const bool first = pc == 0, last = pc + kc == g.k;
                for (int u = 0; u < units; ++u)
                    pack_unit<O>(g.a, lda, ic + u * W, imin(W, mc - u * W), pc, kc, cja,
                                 pack + u * KC * 2 * W);
                for (int jr = 0; jr < nc; jr += NR) {
                    const int nr = imin(NR, nc - jr);
                    with_width<NR>(nr, [&](auto w) {
                        constexpr int nw = decltype(w)::value;
                        for (int u = 0; u < units; ++u) {
                            const double* vp = pack + u * KC * 2 * W;
                            double* ap = acc + (u * NC + jr) * 2 * W;
                            const int rows = imin(W, mc - u * W);
                            zcomplex* cp = g.c + ic + u * W + (jc + jr) * ldc;
                            if (g.opb == GemmOp::none) {
                                const zcomplex* bp = g.b + pc + (jc + jr) * ldb;
                                t_tile<O, nw, SMode::lcol, false>(kc, vp, bp, ldb, ap, first, last,
                                                                  rows, cp, ldc, g.alpha, g.beta);
                            } else {
                                const zcomplex* bp = g.b + (jc + jr) + pc * ldb;
                                if (g.opb == GemmOp::conj) {
                                    t_tile<O, nw, SMode::lrow, true>(kc, vp, bp, ldb, ap, first,
                                                                     last, rows, cp, ldc, g.alpha,
                                                                     g.beta);
                                } else {
                                    t_tile<O, nw, SMode::lrow, false>(kc, vp, bp, ldb, ap, first,
                                                                      last, rows, cp, ldc, g.alpha,
                                                                      g.beta);
                                }
                            }
                        }
                    });
                }
                pc += kc;
            } while (pc < g.k);
        }
    }
}

template <class O>
void run(const GemmArgs& g) {
    if (g.opa == GemmOp::none) {
        n_structure<O>(g);
    } else {
        t_structure<O>(g);
    }
}

}  // namespace
}  // namespace qiv
