// The fast computation behind ZGEMM: the same result, bit for bit, as the plain
// loops, with the work reorganised for caches and vector registers.
//
// What is kept from the plain loops, for every element of C:
//  - op(A) = A: C(i, j) is first scaled by BETA (or set to zero without being
//    read when BETA = 0; left alone when BETA = 1), then receives the products
//    TEMP*A(i, l) for l = 1 ... K in increasing order, each product rounded and
//    then added into C, with TEMP = ALPHA*op(B)(l, j) formed as a complex
//    product. Blocking over l is harmless because C itself is the accumulator.
//  - op(A) = A^T or A^H: TEMP starts at 0 + 0i and adds the products
//    op(A)(i, l)*op(B)(l, j) for l = 1 ... K in increasing order; then
//    C(i, j) := ALPHA*TEMP (C not read when BETA = 0) or ALPHA*TEMP + BETA*C(i, j).
//    No sum is ever split into partial sums.
// Complex products are the textbook formula with separate multiplies and
// adds; a subtraction x - y is carried out as x + (-y) and a product
// (-a)*b as -(a*b), which are the same IEEE results. Only NaN payloads may
// differ from the plain loops.
//
// The engine uses no heap memory and no threads; its scratch space (packed
// operands, partial sums) lives on the stack and is bounded by
// gemm_engine_stack_bound bytes.
#pragma once

#include <cstddef>

#include "frame/types.h"
#include "kernels/simd/cpu.h"
#include "kernels/simd/isa.h"

namespace qiv {

enum class GemmOp { none, trans, conj };

// Arguments of one multiply, already checked. Preconditions: m >= 1, n >= 1,
// k >= 0, ALPHA not zero, and not (BETA = 1 and K = 0) - ZGEMM's quick returns
// and its ALPHA = 0 branch come first.
struct GemmArgs {
    GemmOp opa, opb;
    int m, n, k;
    zcomplex alpha;
    const zcomplex* a;
    int lda;
    const zcomplex* b;
    int ldb;
    zcomplex beta;
    zcomplex* c;
    int ldc;
};

// Upper bound on the stack scratch of one engine call, in bytes.
constexpr std::size_t gemm_engine_stack_bound = 64 * 1024;

// Computes C := ALPHA*op(A)*op(B) + BETA*C with the kernels of the given
// instruction set, which the processor must support (see isa_supported), and
// the block sizes of the given tuning table (any table on any processor: the
// results are the same).
void gemm_engine(Isa isa, Tuning tuning, const GemmArgs& g);

// The same with the table of the processor running the code.
void gemm_engine(Isa isa, const GemmArgs& g);

// The engine compiled for instruction set I (an explicit specialisation in
// engines/gemm/<set>.cpp, the unit compiled for that set).
template <Isa I>
void gemm_engine_on(Tuning tuning, const GemmArgs& g);

}  // namespace qiv
