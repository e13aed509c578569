// ZTRSV: solves op(A)*x = b in place, with A triangular and op(A) = A, A^T or
// A^H.
//
// Without transpose, each solved x(j) is divided by the diagonal and its
// column eliminated from the remaining elements; a zero x(j) skips its
// column. With a transpose each x(j) is its right-hand side minus a dot
// product, divided by the (conjugated for "C") diagonal. No test for a zero
// or tiny diagonal element is made: the complex quotient decides the result.
//
// Those plain loops define the result. This routine checks the arguments,
// takes the quick return and hands the loops to the engine
// (kernels/engines/matvec/engine.h), which keeps the order of the operations on every
// element while working on several columns and elements at once.
#include <cstddef>

#include "frame/complex.h"
#include "frame/lsame.h"
#include "frame/xerbla.h"
#include "kernels/engines/matvec/engine.h"
#include "kernels/matvec.h"
#include "kernels/triangular_checks.h"

namespace qiv {

void ZTRSV(const char* uplo, const char* trans, const char* diag, const int* n, const zcomplex* a,
           const int* lda, zcomplex* x, const int* incx) {
    const int info = check_trmv_args(uplo, trans, diag, *n, *lda, *incx);
    if (info != 0) {
        report_illegal("ZTRSV ", info);
        return;
    }

    const int N = *n, LDA = *lda;
    if (N == 0) return;

    const bool notrans = LSAME(trans, "N");
    const bool conja = LSAME(trans, "C");
    const MvOp op = notrans ? MvOp::none : conja ? MvOp::conj : MvOp::trans;
    const TrmvArgs t{LSAME(uplo, "U"), op, !LSAME(diag, "N"), N, a, LDA, walk(x, N, *incx)};
    trsv_engine(best_isa(), t);
}

}  // namespace qiv
