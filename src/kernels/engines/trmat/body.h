// The ZTRSM and ZTRMM engine written once for any vector width. Each
// per-instruction-set unit (baseline.cpp, avx2.cpp, avx512.cpp) opens its
// region with simd/target_<isa>.h, includes its vector-width wrapper,
// engines/common.h and this file, and instantiates trsm_run<O, T> and
// trmm_run<O, T> for each tuning table T. Everything here lives in an
// anonymous namespace, so the compilations for different instruction sets
// never share a symbol.
//
// The cases fall into four structures, one file each, on a shared tile layer
// (tiles.h); the tile sizes come from the tuning table T (one of the TrmatTable
// types of tuning.h for width O::W), chosen per processor at each call.
//
//  1. left_n.h - Left, op(A) = A (both routines). Rows of B are visited in the order of
//     the plain k loop (position p = 0, 1, ... runs down for ZTRSM lower and
//     ZTRMM upper, up for the other two). Every row then receives its updates
//     from rows in that same order: for ZTRSM from the rows before it (already
//     solved), for ZTRMM from the rows after it (still original, multiplied
//     by ALPHA). Groups of GU units of W rows are updated by "far" rows in
//     pieces with register tiles of W rows by NR columns; inside a group,
//     unit after unit, the in-unit triangle is done by scalar code.
//  2. left_t.h - Left, op(A) = A^T or A^H, except ZTRSM lower: each unit of W rows is a
//     tile of dot products TEMP, continued over the far rows with op(A)
//     packed (transposed) and B read in place, and finished by the in-unit
//     triangle.
//  3. left_t_lower.h - ZTRSM left, op(A) transposed, lower: each row is a chain that starts
//     with its nearest neighbour, which must be final first. The work runs
//     across columns instead: registers hold a row of B for several columns.
//  4. right.h - Right side: every row of B is an independent problem. Strips of rows are
//     run through the plain loops with whole registers of rows at a time.
//
// Register-tile products, per broadcast s = (sr, si) and unit v = (vr, vi):
//     d.re = vr*sr - vi*si      d.im = vi*sr + vr*si
// which is s*v (= v*s) rounded exactly as the plain loop rounds it; then
// C := C - d (ZTRSM) or C := C + d (ZTRMM).
#pragma once

#ifndef QIV_KERNEL_TARGET
#error "include inside an instruction-set region (simd/target_<isa>.h)"
#endif

// The tiles come first: the solve and multiply bodies are built on them.
// clang-format off
#include "kernels/engines/trmat/tiles.h"
#include "kernels/engines/trmat/left_n.h"
#include "kernels/engines/trmat/left_t.h"
#include "kernels/engines/trmat/left_t_lower.h"
#include "kernels/engines/trmat/right.h"
// clang-format on

namespace qiv {
namespace {

template <class O, class T>
void trsm_run(const TrmatArgs& g) {
    static_assert(T::W == O::W, "a table for another vector width");
    if (!g.left) {
        right_side<O, T, true>(g);
    } else if (g.op == TrOp::none) {
        LeftN<O, T>(g, true).run();
    } else if (g.upper) {
        LeftT<O, T>(g, true).run();
    } else {
        left_t_lower_solve<O>(g);
    }
}

template <class O, class T>
void trmm_run(const TrmatArgs& g) {
    static_assert(T::W == O::W, "a table for another vector width");
    if (!g.left) {
        right_side<O, T, false>(g);
    } else if (g.op == TrOp::none) {
        LeftN<O, T>(g, false).run();
    } else {
        LeftT<O, T>(g, false).run();
    }
}

}  // namespace
}  // namespace qiv
