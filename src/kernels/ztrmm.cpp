// ZTRMM: B := alpha*op(A)*B (left) or B := alpha*B*op(A) (right), with A
// triangular and op(A) = A, A^T or A^H.
//
// The result is defined by plain loops, one per case; alpha is folded into a
// temporary in every case. Work is skipped only on a zero element of B (left,
// no transpose) or a zero off-diagonal element of A (right), mirroring ZTRSM.
//
// This routine checks the arguments, takes the quick return and the
// ALPHA = 0 branch exactly as the loops do, and hands the loops to the engine
// (kernels/trmat_engine.h), which performs for every element of B the same
// operations in the same order, blocked for caches and vector registers with
// the widest instruction set the processor has.
#include "frame/complex.h"
#include "frame/lsame.h"
#include "frame/xerbla.h"
#include "kernels/trmat.h"
#include "kernels/trmat_engine.h"

namespace qiv {

void ZTRMM(const char* side, const char* uplo, const char* transa, const char* diag, const int* m,
           const int* n, const zcomplex* alpha, const zcomplex* a, const int* lda, zcomplex* b,
           const int* ldb) {
    const bool lside = LSAME(side, "L");
    const int nrowa = lside ? *m : *n;
    const bool noconj = LSAME(transa, "T");
    const bool nounit = LSAME(diag, "N");
    const bool upper = LSAME(uplo, "U");

    int info = 0;
    if (!lside && !LSAME(side, "R")) {
        info = 1;
    } else if (!upper && !LSAME(uplo, "L")) {
        info = 2;
    } else if (!LSAME(transa, "N") && !LSAME(transa, "T") && !LSAME(transa, "C")) {
        info = 3;
    } else if (!LSAME(diag, "U") && !LSAME(diag, "N")) {
        info = 4;
    } else if (*m < 0) {
        info = 5;
    } else if (*n < 0) {
        info = 6;
    } else if (*lda < (nrowa > 1 ? nrowa : 1)) {
        info = 9;
    } else if (*ldb < (*m > 1 ? *m : 1)) {
        info = 11;
    }
    if (info != 0) {
        report_illegal("ZTRMM ", info);
        return;
    }

    const int M = *m, N = *n;
    const int LDA = *lda, LDB = *ldb;
    if (M == 0 || N == 0) return;

    if (is_zero(*alpha)) {
        for (int j = 1; j <= N; ++j)
            for (int i = 1; i <= M; ++i) b[at(i, j, LDB)] = zc(0.0, 0.0);
        return;
    }

    const TrOp op = LSAME(transa, "N") ? TrOp::none : noconj ? TrOp::trans : TrOp::conj;
    const TrmatArgs t{lside, upper, op, !nounit, M, N, *alpha, a, LDA, b, LDB};
    trmm_engine(best_isa(), t);
}

}  // namespace qiv
