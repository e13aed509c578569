// The fast computation behind ZTRSM and ZTRMM: for every element of B the same
// IEEE operations in the same order as the plain loops, with the work
// reorganised for caches and vector registers.
//
// What is kept from the plain loops, element by element:
//  - every product is the textbook complex product, formed with separate
//    multiplies and adds and rounded before it is added or subtracted;
//  - the updates reach each element in the order of the plain loops (the k
//    loop of the left cases, the column order of the right cases), each one
//    rounded into the element (or into TEMP in the dot-product cases) before
//    the next;
//  - the zero tests stay where they are: a zero B(k, j) skips its column step
//    in the left "N" cases (tested before the division by the diagonal), a
//    zero off-diagonal element of A skips its update in the right cases;
//  - divisions stay divisions (left cases) and reciprocals stay reciprocals
//    (right cases of ZTRSM); ALPHA is applied where the loops apply it.
// Blocking is possible because each element is its own accumulator: storing
// it between blocks of updates does not change its bits. Where the order of
// the updates runs from the nearest row or column outwards and the values used
// are themselves results (ZTRSM left "T" lower, right "N" lower), the work is
// vectorised across the independent columns or rows instead.
//
// The engine uses no heap memory and no threads; its scratch space lives on
// the stack and is bounded by trmat_engine_stack_bound bytes.
#pragma once

#include <cstddef>

#include "frame/types.h"
#include "kernels/simd/cpu.h"
#include "kernels/simd/isa.h"

namespace qiv {

enum class TrOp { none, trans, conj };

// Arguments of one triangular solve or multiply, already checked.
// Preconditions: m >= 1, n >= 1 and ALPHA not zero (the quick return and the
// ALPHA = 0 branch of ZTRSM and ZTRMM come first).
struct TrmatArgs {
    bool left;   // op(A) on the left of B
    bool upper;  // A upper triangular
    TrOp op;     // op(A)
    bool unit;   // unit diagonal, not read
    int m, n;
    zcomplex alpha;
    const zcomplex* a;
    int lda;
    zcomplex* b;
    int ldb;
};

// Upper bound on the stack scratch of one engine call, in bytes.
constexpr std::size_t trmat_engine_stack_bound = 64 * 1024;

// ZTRSM's and ZTRMM's main loops with the kernels of the given instruction
// set, which the processor must support (see isa_supported), and the tile
// sizes of the given tuning table (any table on any processor: the results
// are the same).
void trsm_engine(Isa isa, Tuning tuning, const TrmatArgs& t);
void trmm_engine(Isa isa, Tuning tuning, const TrmatArgs& t);

// The same with the table of the processor running the code.
void trsm_engine(Isa isa, const TrmatArgs& t);
void trmm_engine(Isa isa, const TrmatArgs& t);

// The engines compiled for instruction set I (explicit specialisations in
// engines/trmat/<set>.cpp, the unit compiled for that set).
template <Isa I>
void trsm_engine_on(Tuning tuning, const TrmatArgs& t);
template <Isa I>
void trmm_engine_on(Tuning tuning, const TrmatArgs& t);

}  // namespace qiv
