// ZTRMV: x := op(A)*x in place, with A triangular and op(A) = A, A^T or A^H.
//
// Without transpose, column j of A scaled by x(j) is added into the elements
// of x not yet final, and a zero x(j) skips its column. With a transpose each
// x(j) becomes a dot product, always formed in full.
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

void ZTRMV(const char* uplo, const char* trans, const char* diag, const int* n, const zcomplex* a,
           const int* lda, zcomplex* x, const int* incx) {
    const int info = check_trmv_args(uplo, trans, diag, *n, *lda, *incx);
    if (info != 0) {
        report_illegal("ZTRMV ", info);
        return;
    }

    const int N = *n, LDA = *lda;
    if (N == 0) return;

    const bool notrans = LSAME(trans, "N");
    const bool conja = LSAME(trans, "C");
    const MvOp op = notrans ? MvOp::none : conja ? MvOp::conj : MvOp::trans;
    const TrmvArgs t{LSAME(uplo, "U"), op, !LSAME(diag, "N"), N, a, LDA, walk(x, N, *incx)};
    trmv_engine(best_isa(), t);
}

}  // namespace qiv
