// The ZGEMM engine written once for any vector width. Each per-instruction-set
// unit (baseline.cpp, avx2.cpp, avx512.cpp) opens its region with
// simd/target_<isa>.h, includes its vector-width wrapper, engines/common.h and
// this file, and instantiates run<O, T> for each tuning table T. Everything here lives in an
// anonymous namespace, so the three compilations never share a symbol: code built for AVX-512
// cannot be picked by the linker for the baseline path.
//
// Split form. A unit is O::W complex elements held in two registers, one with
// the real parts and one with the imaginary parts. The register tile is NR
// pairs of accumulators (re, im); the inner loop takes, for each l, one unit
// V(:, l) from a packed buffer already in split form and NR scalars
// S(l, c) = (sr, si) broadcast from memory, and updates every accumulator:
//     re += vr*sr + (-vi)*si      im += vi*sr + vr*si
// which is the textbook product v*s (= s*v) rounded exactly as the plain loop
// rounds it, followed by the add into the accumulator. When s is to be
// conjugated, (sr, -si): re += vr*sr + vi*si, im += vi*sr + (-vr)*si.
// Keeping V pre-split and S in broadcast registers leaves the inner loop with
// only the 4 multiplies and 4 adds per column plus one sign flip per l.
//
// op(A) = A: the accumulators are C itself, transposed: V runs over columns j
// of C (a panel of TEMP = ALPHA*op(B)(l, j) values), S over rows i (A(i, l)
// read in place). op(A) transposed: V runs over rows i (op(A) packed), S over
// columns j (op(B) read in place), and the accumulators are the TEMP sums.
//
// The wrapper O supplies the vector operations (simd/<isa>.h); the block
// sizes come from the tuning table T, one of the GemmTable types of tuning.h
// for width O::W, chosen per processor at the top of each call.
#pragma once

#ifndef QIV_KERNEL_TARGET
#error "include inside an instruction-set region (simd/target_<isa>.h)"
#endif

namespace qiv {
namespace {

// Where the broadcast operand S(l, c) lives in a column-major matrix:
//  lrow: its columns run over l, S(l, c) at s[l*ld + c];
//  lcol: its columns run over c, S(l, c) at s[l + c*ld].
enum class SMode { lrow, lcol };

// The register-tile update over kc steps: vp holds kc packed units (W real
// parts, then W imaginary parts, per l).
template <class O, int NR, SMode SM, bool ConjS, bool Prefetch = false>
[[gnu::always_inline]] inline void accumulate(int kc, const double* vp, const zcomplex* s, idx ld,
                                              typename O::V (&re)[NR], typename O::V (&im)[NR],
                                              const zcomplex* pf = nullptr, int pfn = 0) {
    using V = typename O::V;
    const idx lstep = SM == SMode::lrow ? ld : 1;
    const idx cstep = SM == SMode::lcol ? ld : 1;
    for (int l = 0; l < kc; ++l) {
        const V vr = O::load(vp), vi = O::load(vp + O::W);
        vp += 2 * O::W;
        const V vn = ConjS ? O::neg(vr) : O::neg(vi);
        if constexpr (Prefetch) {
            // The same l of the next tile (its pfn elements along c), into
            // the second-level cache.
            for (int c = 0; c < pfn; c += 4) __builtin_prefetch(pf + c, 0, 2);
            __builtin_prefetch(pf + pfn - 1, 0, 2);
            pf += lstep;
        }
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

// Asks for the cache lines of rows 0 ... rows-1 of columns 0 ... cols-1 of C
// ahead of their use, so a tile does not start with a wait on memory.
inline void prefetch_block(const zcomplex* c, idx ldc, int rows, int cols) {
    for (int j = 0; j < cols; ++j) {
        const zcomplex* p = c + j * ldc;
        for (int r = 0; r < rows; r += 4) __builtin_prefetch(p + r, 1, 3);
        __builtin_prefetch(p + rows - 1, 1, 3);
    }
}

// Rows i = 0 ... NR-1, columns j = 0 ... nj-1 of C into split registers with
// lanes over columns: lane p of re[i] / im[i] holds C(i, O::lane_row(p)).
// Missing columns read as zero and are never touched.
template <class O, int NR>
[[gnu::always_inline]] inline void load_transposed(const zcomplex* c, idx ldc, int nj,
                                                   typename O::V (&re)[NR],
                                                   typename O::V (&im)[NR]) {
    constexpr int W = O::W, G = O::W / 2;
#pragma GCC unroll 16
    for (int g = 0; g < (NR + G - 1) / G; ++g) {
        const int rows = imin(G, NR - g * G);
        typename O::V r[W];
#pragma GCC unroll 16
        for (int p = 0; p < W; ++p) {
            const int j = O::lane_row(p);
            r[p] = j < nj ? O::loadc(c + g * G + j * ldc, rows) : O::zero();
        }
        O::transpose_doubles(r);
#pragma GCC unroll 16
        for (int q = 0; q < rows; ++q) {
            re[g * G + q] = r[2 * q];
            im[g * G + q] = r[2 * q + 1];
        }
    }
}

// The inverse of load_transposed: writes rows 0 ... NR-1 of columns
// 0 ... nj-1 of C and nothing else.
template <class O, int NR>
[[gnu::always_inline]] inline void store_transposed(zcomplex* c, idx ldc, int nj,
                                                    const typename O::V (&re)[NR],
                                                    const typename O::V (&im)[NR]) {
    constexpr int W = O::W, G = O::W / 2;
#pragma GCC unroll 16
    for (int g = 0; g < (NR + G - 1) / G; ++g) {
        const int rows = imin(G, NR - g * G);
        typename O::V r[W];
#pragma GCC unroll 16
        for (int q = 0; q < G; ++q) {
            r[2 * q] = q < rows ? re[g * G + q] : O::zero();
            r[2 * q + 1] = q < rows ? im[g * G + q] : O::zero();
        }
        O::transpose_doubles(r);
#pragma GCC unroll 16
        for (int p = 0; p < W; ++p) {
            const int j = O::lane_row(p);
            if (j < nj) O::storec(c + g * G + j * ldc, rows, r[p]);
        }
    }
}

// The pieces of A that pack_unit reads for rows i0 ... i0+mc-1 of op(A) and
// depth l0 ... l0+kc-1: columns of A.
inline Region pack_source(const GemmArgs& g, int i0, int mc, int l0, int kc) {
    Region r;
    r.base = reinterpret_cast<const char*>(g.a + l0 + i0 * static_cast<idx>(g.lda));
    r.stride = g.lda * static_cast<idx>(sizeof(zcomplex));
    r.count = mc;
    r.bytes = kc * static_cast<int>(sizeof(zcomplex));
    return r;
}

// What happens to C before the first block of products arrives.
enum class CInit { keep, zero, scale };

// op(A) = A: one tile of C, rows i0 ... i0+NR-1 by columns j0 ... j0+nj-1 (c
// points at C(i0, j0), a at A(i0, l0)), receives the products of kc columns
// of A with the panel of TEMP values.
template <class O, int NR, bool Prefetch = false>
[[gnu::noinline]] void n_tile(int kc, const double* panel, const zcomplex* a, idx lda, zcomplex* c,
                              idx ldc, int nj, CInit init, zcomplex beta, int next_rows = 0) {
    using V = typename O::V;
    V re[NR], im[NR];
    if (init == CInit::zero) {
#pragma GCC unroll 16
        for (int i = 0; i < NR; ++i) re[i] = im[i] = O::zero();
    } else {
        load_transposed<O, NR>(c, ldc, nj, re, im);
        if (init == CInit::scale) {
            // BETA*C(i, j): re = br*cr - bi*ci, im = br*ci + bi*cr.
            const V br = O::set1(beta.re), bi = O::set1(beta.im), nbi = O::set1(-beta.im);
#pragma GCC unroll 16
            for (int i = 0; i < NR; ++i) {
                const V cr = re[i], ci = im[i];
                re[i] = O::add(O::mul(cr, br), O::mul(ci, nbi));
                im[i] = O::add(O::mul(ci, br), O::mul(cr, bi));
            }
        }
    }
    accumulate<O, NR, SMode::lrow, false, Prefetch>(kc, panel, a, lda, re, im, a + NR, next_rows);
    store_transposed<O, NR>(c, ldc, nj, re, im);
}

// ALPHA*b for a unit b = (br, bi) in split form: the textbook product
// re = ar*br - ai*bi, im = ar*bi + ai*br, as the plain loop forms TEMP.
template <class O>
[[gnu::always_inline]] inline void times_alpha(typename O::V br, typename O::V bi, typename O::V ar,
                                               typename O::V ai, typename O::V nai, double* d) {
    O::store(d, O::add(O::mul(br, ar), O::mul(bi, nai)));
    O::store(d + O::W, O::add(O::mul(bi, ar), O::mul(br, ai)));
}

// The panel of TEMP(l, j) = ALPHA*op(B)(l0 + l, j0 + j), l < kc, j < nj, in
// split form: for each l, W real parts, then W imaginary parts, lane p
// holding column j = O::lane_row(p) (the order the unpack instructions give);
// lanes of columns j >= nj are zero. Each TEMP is the same product the plain
// loop forms for (l, j).
template <class O>
void form_panel(const GemmArgs& g, int l0, int kc, int j0, int nj, double* panel) {
    using V = typename O::V;
    constexpr int W = O::W, G = O::W / 2;
    const V ar = O::set1(g.alpha.re), ai = O::set1(g.alpha.im), nai = O::set1(-g.alpha.im);
    const idx ldb = g.ldb;
    if (g.opb == GemmOp::none) {
        // Columns of B run over l: G steps of W columns at a time, transposed.
        const zcomplex* col[W];
        for (int p = 0; p < W; ++p) {
            const int j = O::lane_row(p) < nj ? O::lane_row(p) : 0;
            col[p] = g.b + l0 + (j0 + j) * ldb;
        }
        int l = 0;
        if (nj == W) {
            // Whole groups of G steps with every column present: registers only.
            for (; l + G <= kc; l += G) {
                V r[W];
#pragma GCC unroll 16
                for (int p = 0; p < W; ++p) r[p] = O::loadc(col[p] + l, G);
                O::transpose_doubles(r);
#pragma GCC unroll 16
                for (int q = 0; q < G; ++q)
                    times_alpha<O>(r[2 * q], r[2 * q + 1], ar, ai, nai, panel + (l + q) * 2 * W);
            }
        }
        for (; l < kc; l += G) {
            const int n = imin(G, kc - l);
            V r[W];
            for (int p = 0; p < W; ++p)
                r[p] = O::lane_row(p) < nj ? O::loadc(col[p] + l, n) : O::zero();
            O::transpose_doubles(r);
            for (int q = 0; q < n; ++q)
                times_alpha<O>(r[2 * q], r[2 * q + 1], ar, ai, nai, panel + (l + q) * 2 * W);
        }
    } else {
        // Rows of B run over l: one unit per l, conjugated by a sign change.
        const bool cj = g.opb == GemmOp::conj;
        const typename O::Mask mk = O::mask(nj);
        for (int l = 0; l < kc; ++l) {
            const zcomplex* bl = g.b + j0 + (l0 + l) * ldb;
            V br, bi;
            if (nj == W) {
                O::load_split(bl, br, bi);
            } else {
                O::load_split(bl, mk, br, bi);
            }
            if (cj) bi = O::neg(bi);
            times_alpha<O>(br, bi, ar, ai, nai, panel + l * 2 * W);
        }
    }
}

// The depth of the next block of the op(A) = A structure when left steps
// remain. Plain: kc, the last block taking what is left. Balanced: the
// nearest whole number of blocks of about kc, all of the same depth (within
// one), so that no block is left with a few steps that pay for a whole pass
// over C; a block is then at most kc + (kc + 1)/2 deep.
template <bool Balanced>
inline int depth_block(int kc, int left) {
    if (!Balanced || left <= 0) return imin(kc, left);
    const int blocks = (left + kc / 2) / kc;
    if (blocks <= 1) return left;
    return (left + blocks - 1) / blocks;
}

// The deepest block depth_block returns.
template <bool Balanced>
constexpr int max_depth_block(int kc) {
    return Balanced ? kc + (kc + 1) / 2 : kc;
}

// op(A) = A, loop structure j, l, i of the plain loops reorganised as:
// depth blocks of KC_N columns of A (C stored between blocks), row blocks of
// MC_N rows (the block of A stays in the second-level cache while every
// column unit of C passes over it), units of W columns of C with their panel
// of TEMP values, and tiles of NR rows with the tile in registers.
template <class O, class T>
[[gnu::noinline]] void n_structure(const GemmArgs& g) {
    constexpr int W = O::W, NR = T::NR, MC = T::MC_N, KC = T::KC_N;
    constexpr int KP = max_depth_block<T::BAL_K>(KC);
    static_assert(KP * 2 * W * sizeof(double) <= gemm_engine_stack_bound, "panel too large");
    alignas(64) double panel[KP * 2 * W];
    const CInit init0 = is_zero(g.beta) ? CInit::zero : is_one(g.beta) ? CInit::keep : CInit::scale;
    const idx lda = g.lda, ldc = g.ldc;
    int pc = 0;
    do {  // runs once when K = 0: then only BETA is applied
        const int kc = depth_block<T::BAL_K>(KC, g.k - pc);
        const CInit init = pc == 0 ? init0 : CInit::keep;
        for (int ic = 0; ic < g.m; ic += MC) {
            const int mc = imin(MC, g.m - ic);
            const int full = mc / NR * NR;
            for (int jr = 0; jr < g.n; jr += W) {
                const int nj = imin(W, g.n - jr);
                form_panel<O>(g, pc, kc, jr, nj, panel);
                const zcomplex* a0 = g.a + ic + pc * lda;
                zcomplex* c0 = g.c + ic + jr * ldc;
                for (int ir = 0; ir < full; ir += NR) {
                    // The next tile down the same columns; after the last one
                    // (tables with PF_ACROSS) the first tile of the next column
                    // unit, which would otherwise start with a wait on memory.
                    if (ir + NR < mc) {
                        prefetch_block(c0 + ir + NR, ldc, imin(NR, mc - ir - NR), nj);
                    } else if (T::PF_ACROSS && jr + W < g.n) {
                        prefetch_block(c0 + W * ldc, ldc, imin(NR, mc), imin(W, g.n - jr - W));
                    }
                    // The first column unit brings this block of A into the
                    // caches: it asks for the next tile's rows while it works.
                    if (jr == 0 && ir + NR < mc) {
                        n_tile<O, NR, true>(kc, panel, a0 + ir, lda, c0 + ir, ldc, nj, init, g.beta,
                                            imin(NR, mc - ir - NR));
                    } else {
                        n_tile<O, NR>(kc, panel, a0 + ir, lda, c0 + ir, ldc, nj, init, g.beta);
                    }
                }
                if (full < mc) {
                    with_width<NR>(mc - full, [&](auto w) {
                        n_tile<O, decltype(w)::value>(kc, panel, a0 + full, lda, c0 + full, ldc, nj,
                                                      init, g.beta);
                    });
                }
            }
        }
        pc += kc;
    } while (pc < g.k);
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
#pragma GCC unroll 16
    for (int j = 0; j < NR; ++j) {
        re[j] = first ? O::zero() : O::load(acc + j * 2 * W);
        im[j] = first ? O::zero() : O::load(acc + j * 2 * W + W);
    }
    accumulate<O, NR, SM, ConjS>(kc, vp, b, ldb, re, im);
    if (!last) {
#pragma GCC unroll 16
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
#pragma GCC unroll 16
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
// NR columns per register tile (see run()).
template <class O, class T, int NR>
[[gnu::noinline]] void t_structure(const GemmArgs& g) {
    constexpr int W = O::W, MCU = T::MC_T / O::W, NC = T::NC_T, KC = T::KC_T;
    static_assert(T::MC_T % O::W == 0 && NC % NR == 0, "blocks must hold whole tiles");
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
                // While these tiles are computed, the columns of A the next
                // packing reads are fetched, a slice per tile.
                Region anext;
                if (pc + kc < g.k) {
                    anext = pack_source(g, ic, mc, pc + kc, imin(KC, g.k - pc - kc));
                } else if (ic + MCU * W < g.m) {
                    anext = pack_source(g, ic + MCU * W, imin(MCU * W, g.m - ic - MCU * W), 0,
                                        imin(KC, g.k));
                }
                const int tiles = (nc + NR - 1) / NR * units;
                int tile = 0;
                for (int jr = 0; jr < nc; jr += NR) {
                    const int nr = imin(NR, nc - jr);
                    with_width<NR>(nr, [&](auto w) {
                        constexpr int nw = decltype(w)::value;
                        for (int u = 0; u < units; ++u) {
                            prefetch_part(anext, tile++, tiles);
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

// op(A) = A^T or A^H with few columns of C (at most NC_F): t_structure would
// pack op(A) for only those few columns. The roles swap instead: V runs over
// the columns j of C (op(B) packed, a depth block for every column unit),
// S over the rows i (op(A)(i, l) = A(l, i) read in place down column i of
// A, conjugated for A^H), and the accumulators hold TEMP transposed (lanes
// over columns), as C in the op(A) = A structure. Each TEMP is still one chain
// over l = 1 ... K from zero (partial sums of a block of rows wait in acc
// between depth blocks), and C := ALPHA*TEMP (+ BETA*C) with the same
// operations as t_tile.
template <class O, int NR, bool ConjS>
[[gnu::noinline]] void f_tile(int kc, const double* vp, const zcomplex* a, idx lda, double* acc,
                              bool first, bool last, int nj, zcomplex* c, idx ldc, zcomplex alpha,
                              zcomplex beta) {
    using V = typename O::V;
    constexpr int W = O::W;
    V re[NR], im[NR];
#pragma GCC unroll 16
    for (int i = 0; i < NR; ++i) {
        re[i] = first ? O::zero() : O::load(acc + i * 2 * W);
        im[i] = first ? O::zero() : O::load(acc + i * 2 * W + W);
    }
    accumulate<O, NR, SMode::lcol, ConjS>(kc, vp, a, lda, re, im);
    if (!last) {
#pragma GCC unroll 16
        for (int i = 0; i < NR; ++i) {
            O::store(acc + i * 2 * W, re[i]);
            O::store(acc + i * 2 * W + W, im[i]);
        }
        return;
    }
    // ALPHA*TEMP: re = ar*tr - ai*ti, im = ar*ti + ai*tr; then + BETA*C(i, j).
    const V ar = O::set1(alpha.re), ai = O::set1(alpha.im), nai = O::set1(-alpha.im);
    const bool beta0 = is_zero(beta);
    V cr[NR], ci[NR];
    if (!beta0) load_transposed<O, NR>(c, ldc, nj, cr, ci);
    const V br = O::set1(beta.re), bi = O::set1(beta.im), nbi = O::set1(-beta.im);
#pragma GCC unroll 16
    for (int i = 0; i < NR; ++i) {
        V xr = O::add(O::mul(re[i], ar), O::mul(im[i], nai));
        V xi = O::add(O::mul(im[i], ar), O::mul(re[i], ai));
        if (!beta0) {
            xr = O::add(xr, O::add(O::mul(cr[i], br), O::mul(ci[i], nbi)));
            xi = O::add(xi, O::add(O::mul(ci[i], br), O::mul(cr[i], bi)));
        }
        re[i] = xr;
        im[i] = xi;
    }
    store_transposed<O, NR>(c, ldc, nj, re, im);
}

// Copies columns j0 ... j0+nj-1 of op(B), depth l0 ... l0+kc-1, into one
// packed unit (W real parts, then W imaginary parts per l, lane p holding
// column O::lane_row(p), missing columns zero, conjugation an exact sign
// change).
template <class O>
void pack_b_unit(const GemmArgs& g, int j0, int nj, int l0, int kc, double* vp) {
    using V = typename O::V;
    constexpr int W = O::W;
    const idx ldb = g.ldb;
    const bool cj = g.opb == GemmOp::conj;
    if (g.opb == GemmOp::none) {
        // Columns of B run over l: the same transposition as for op(A).
        pack_unit<O>(g.b, ldb, j0, nj, l0, kc, false, vp);
        return;
    }
    const typename O::Mask mk = O::mask(nj);
    for (int l = 0; l < kc; ++l) {
        const zcomplex* bl = g.b + j0 + (l0 + l) * ldb;
        V br, bi;
        if (nj == W) {
            O::load_split(bl, br, bi);
        } else {
            O::load_split(bl, mk, br, bi);
        }
        O::store(vp + l * 2 * W, br);
        O::store(vp + l * 2 * W + W, cj ? O::neg(bi) : bi);
    }
}

template <class O, class T, int NR>
[[gnu::noinline]] void t_structure_few_columns(const GemmArgs& g) {
    constexpr int W = O::W, NU = T::NC_F / W, MC = T::MC_F, KC = T::KC_F;
    static_assert(T::NC_F % W == 0 && MC % NR == 0, "blocks must hold whole units and tiles");
    static_assert((NU * KC + MC * NU) * 2 * W * sizeof(double) <= gemm_engine_stack_bound,
                  "scratch too large");
    alignas(64) double pack[NU * KC * 2 * W];
    alignas(64) double acc[MC * NU * 2 * W];
    const bool conja = g.opa == GemmOp::conj;
    const idx lda = g.lda, ldc = g.ldc;
    for (int jc = 0; jc < g.n; jc += NU * W) {
        const int nc = imin(NU * W, g.n - jc);
        const int units = (nc + W - 1) / W;
        for (int ic = 0; ic < g.m; ic += MC) {
            const int mc = imin(MC, g.m - ic);
            int pc = 0;
            do {  // runs once when K = 0: then C := ALPHA*0 (+ BETA*C)
                const int kc = imin(KC, g.k - pc);
                const bool first = pc == 0, last = pc + kc == g.k;
                for (int u = 0; u < units; ++u)
                    pack_b_unit<O>(g, jc + u * W, imin(W, nc - u * W), pc, kc,
                                   pack + u * KC * 2 * W);
                for (int ir = 0; ir < mc; ir += NR) {
                    with_width<NR>(imin(NR, mc - ir), [&](auto w) {
                        constexpr int nr = decltype(w)::value;
                        const zcomplex* ap = g.a + pc + (ic + ir) * lda;
                        for (int u = 0; u < units; ++u) {
                            const double* vp = pack + u * KC * 2 * W;
                            double* accp = acc + (ir * NU + u * NR) * 2 * W;
                            const int nj = imin(W, nc - u * W);
                            zcomplex* cp = g.c + (ic + ir) + (jc + u * W) * ldc;
                            if (conja) {
                                f_tile<O, nr, true>(kc, vp, ap, lda, accp, first, last, nj, cp, ldc,
                                                    g.alpha, g.beta);
                            } else {
                                f_tile<O, nr, false>(kc, vp, ap, lda, accp, first, last, nj, cp,
                                                     ldc, g.alpha, g.beta);
                            }
                        }
                    });
                }
                pc += kc;
            } while (pc < g.k);
        }
    }
}

// Whether nr elements a leading dimension ld apart (one from each of nr
// columns) fall into different sets of the first-level cache, at most two to
// a set (64 sets of 64-byte lines, as on the processors the engines target).
// A leading dimension of a multiple of 4 KiB puts them all into one set.
inline bool spread_over_sets(idx ld, int nr) {
    int count[64] = {};
    for (int c = 0; c < nr; ++c) {
        const idx line = c * ld * static_cast<idx>(sizeof(zcomplex)) / 64;
        if (++count[line & 63] > 2) return false;
    }
    return true;
}

// The transposed structures read S(l, c) for the NR columns of a register
// tile in place, one element from each of NR columns of a matrix (B, or A for
// few columns of C). When those columns crowd into few cache sets, the tiles
// take NR_TC columns instead, leaving ways for everything else.
template <class O, class T>
void run(const GemmArgs& g) {
    static_assert(T::W == O::W, "a table for another vector width");
    if (g.opa == GemmOp::none) {
        n_structure<O, T>(g);
    } else if (g.n <= T::NC_F && g.m > g.n) {
        if (spread_over_sets(g.lda, T::NR)) {
            t_structure_few_columns<O, T, T::NR>(g);
        } else {
            t_structure_few_columns<O, T, T::NR_TC>(g);
        }
    } else if (g.opb != GemmOp::none || spread_over_sets(g.ldb, T::NR)) {
        t_structure<O, T, T::NR>(g);
    } else {
        t_structure<O, T, T::NR_TC>(g);
    }
}

}  // namespace
}  // namespace qiv
