// ZTRMM: B := alpha*op(A)*B (left) or B := alpha*B*op(A) (right), with A
// triangular and op(A) = A, A^T or A^H.
//
// The result is defined by plain loops, one per case; alpha is folded into a
// temporary in every case. Work is skipped only on a zero element of B (left,
// no transpose) or a zero off-diagonal element of A (right), mirroring ZTRSM.
//
// This routine checks the arguments, takes the quick return and the
// ALPHA = 0 branch exactly as the loops do, and hands the loops to the engine
// (kernels/engines/trmat/engine.h), which performs for every element of B the same
// operations in the same order, blocked for caches and vector registers with
// the widest instruction set the processor has.
#include "frame/complex.h"
#include "frame/lsame.h"
#include "frame/xerbla.h"
#include "kernels/engines/trmat/engine.h"
#include "kernels/triangular_checks.h"
#include "kernels/trmat.h"

namespace qiv {

void ZTRMM(const char* side, const char* uplo, const char* transa, const char* diag, const int* m,
           const int* n, const zcomplex* alpha, const zcomplex* a, const int* lda, zcomplex* b,
           const int* ldb) {
    const int info = check_trmat_args(side, uplo, transa, diag, *m, *n, *lda, *ldb);
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

    const TrOp op = LSAME(transa, "N") ? TrOp::none : LSAME(transa, "T") ? TrOp::trans : TrOp::conj;
    const TrmatArgs t{
        LSAME(side, "L"), LSAME(uplo, "U"), op, LSAME(diag, "U"), M, N, *alpha, a, LDA, b, LDB};
    trmm_engine(best_isa(), t);
}

}  // namespace qiv
