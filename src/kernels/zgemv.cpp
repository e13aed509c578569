// ZGEMV: y := alpha*op(A)*x + beta*y with op(A) = A, A^T or A^H.
//
// The result is defined by plain loops: with op(A) = A the columns of A, scaled
// by alpha*x(j), are added into y one after another; otherwise each y(j) gains
// alpha times the dot product of column j of A (conjugated for "C") with x,
// accumulated from zero in increasing row order. Every product is formed, with
// no test for zero elements of x.
//
// This routine checks the arguments, takes the quick returns and hands the
// scaling of y by beta and the products to the engine (kernels/engines/matvec/engine.h), which
// performs the same operations in the same order for every element, several
// columns per pass and several elements per register, with the widest
// instruction set the processor has.
#include <cstddef>

#include "frame/complex.h"
#include "frame/lsame.h"
#include "frame/xerbla.h"
#include "kernels/engines/matvec/engine.h"
#include "kernels/matvec.h"

namespace qiv {

void ZGEMV(const char* trans, const int* m, const int* n, const zcomplex* alpha, const zcomplex* a,
           const int* lda, const zcomplex* x, const int* incx, const zcomplex* beta, zcomplex* y,
           const int* incy) {
    int info = 0;
    if (!LSAME(trans, "N") && !LSAME(trans, "T") && !LSAME(trans, "C")) {
        info = 1;
    } else if (*m < 0) {
        info = 2;
    } else if (*n < 0) {
        info = 3;
    } else if (*lda < (*m > 1 ? *m : 1)) {
        info = 6;
    } else if (*incx == 0) {
        info = 8;
    } else if (*incy == 0) {
        info = 11;
    }
    if (info != 0) {
        report_illegal("ZGEMV ", info);
        return;
    }

    const int M = *m, N = *n, LDA = *lda;
    if (M == 0 || N == 0) return;
    if (is_zero(*alpha) && is_one(*beta)) return;

    const zcomplex al = *alpha;
    const zcomplex be = *beta;
    const bool notrans = LSAME(trans, "N");
    const bool conja = LSAME(trans, "C");
    const int lenx = notrans ? N : M;
    const int leny = notrans ? M : N;

    const MvOp op = notrans ? MvOp::none : conja ? MvOp::conj : MvOp::trans;
    const GemvArgs g{op, M, N, al, a, LDA, walk(x, lenx, *incx), be, walk(y, leny, *incy)};
    gemv_engine(best_isa(), g);
}

}  // namespace qiv
