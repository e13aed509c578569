// The fast computation behind ZGEMV, ZGERC, ZTRMV and ZTRSV: for every element
// of the result the same IEEE operations in the same order as the plain loops.
//
// What is kept, element by element:
//  - column forms (ZGEMV "N", ZGERC, the "N" forms of ZTRMV and ZTRSV): each
//    element of y (of A, of x) receives its updates t_j*A(i, j) column after
//    column in the order of the plain j loop, each product rounded and then
//    added or subtracted; several columns are applied while a register of
//    rows is held, which changes only when, not in which order, an element is
//    updated. The zero tests on x(j) (ZTRMV, ZTRSV) and y(j) (ZGERC) stay.
//  - dot forms (ZGEMV "T"/"C", the "T"/"C" forms of ZTRMV and ZTRSV): each TEMP
//    is one chain of additions (subtractions) in the order of the plain i
//    loop, starting where the loop starts it; no partial sums. Registers hold
//    the TEMPs of several columns, which are independent chains.
// Complex products are textbook products with separate multiplies and adds;
// conjugation is an exact sign change; quotients are the plain complex
// quotient, as in the loops.
//
// The engine uses no heap memory and no threads; its scratch space lives on
// the stack and is bounded by matvec_engine_stack_bound bytes.
#pragma once

#include <cstddef>

#include "frame/types.h"
#include "kernels/simd/isa.h"
#include "kernels/vector.h"

namespace qiv {

enum class MvOp { none, trans, conj };

// A vector as the kernels walk it: logical element i (from 0) at p[i*inc],
// inc != 0 (a negative increment already resolved to the right start).
struct MvVec {
    zcomplex* p;
    std::ptrdiff_t inc;
};
struct MvIn {
    const zcomplex* p;
    std::ptrdiff_t inc;
};

// The caller's vector of logical length len and increment inc (non-zero) at x,
// resolved for the kernels (walk_start: a negative increment stores the vector
// backwards, its first element at the far end).
inline MvVec walk(zcomplex* x, int len, int inc) { return MvVec{x + walk_start(len, inc), inc}; }
inline MvIn walk(const zcomplex* x, int len, int inc) {
    return MvIn{x + walk_start(len, inc), inc};
}

// ZGEMV after its quick returns: y := beta*y (y cleared without being read
// when BETA is zero, left alone when BETA is one), then, unless ALPHA is zero,
// y := alpha*op(A)*x + y. m, n >= 1, and not both ALPHA = 0 and BETA = 1.
struct GemvArgs {
    MvOp op;
    int m, n;
    zcomplex alpha;
    const zcomplex* a;
    int lda;
    MvIn x;
    zcomplex beta;
    MvVec y;
};

// ZGERC after its quick returns: A := alpha*x*y^H + A, m, n >= 1, ALPHA not
// zero.
struct GercArgs {
    int m, n;
    zcomplex alpha;
    MvIn x, y;
    zcomplex* a;
    int lda;
};

// ZTRMV and ZTRSV after the quick return: n >= 1.
struct TrmvArgs {
    bool upper;
    MvOp op;
    bool unit;
    int n;
    const zcomplex* a;
    int lda;
    MvVec x;
};

// Several dot products with one vector, each continued from the value in
// acc: acc[c] := acc[c] + op(A(0, c))*x(0) + op(A(1, c))*x(1) + ... +
// op(A(m-1, c))*x(m-1), added in that order, op conjugating when conj is
// set; x contiguous, m, ncols >= 0. From acc[c] = 0 this is ZDOTC (ZDOTU) of
// column c with x, bit for bit.
struct DotsArgs {
    bool conj;
    int m, ncols;
    const zcomplex* a;
    int lda;
    const zcomplex* x;
    zcomplex* acc;
};

// Upper bound on the stack scratch of one engine call, in bytes.
constexpr std::size_t matvec_engine_stack_bound = 48 * 1024;

// The computations with the kernels of the given instruction set, which the
// processor must support (see isa_supported).
void gemv_engine(Isa isa, const GemvArgs& g);
void gerc_engine(Isa isa, const GercArgs& g);
void trmv_engine(Isa isa, const TrmvArgs& t);
void trsv_engine(Isa isa, const TrmvArgs& t);
void dots_engine(Isa isa, const DotsArgs& d);

// The engines compiled for instruction set I (explicit specialisations in
// engines/matvec/<set>.cpp, the unit compiled for that set).
template <Isa I>
void gemv_engine_on(const GemvArgs& g);
template <Isa I>
void gerc_engine_on(const GercArgs& g);
template <Isa I>
void trmv_engine_on(const TrmvArgs& t);
template <Isa I>
void trsv_engine_on(const TrmvArgs& t);
template <Isa I>
void dots_engine_on(const DotsArgs& d);

}  // namespace qiv
