// ZGEMM: C := alpha*op(A)*op(B) + beta*C with op(X) = X, X^T or X^H.
//
// The result is defined by a plain triple loop in one of two structures. With
// op(A) = A the product is built column by column as a sequence of scaled
// columns of A added into C (loop order j, l, i); with a transposed A each
// C(i, j) is a dot product accumulated in a temporary (loop order j, i, l).
// Every product is formed, with no test for zero elements, so infinities and
// NaNs spread as the arithmetic dictates. Those loops fix the result bit for
// bit.
//
// This routine checks the arguments, takes the quick returns and the
// ALPHA = 0 branch exactly as the loops do, and hands the main loops to the
// engine (kernels/engines/gemm/engine.h), which performs, for every element of C, the
// same operations in the same order, blocked for caches and vector registers
// with the widest instruction set the processor has.
#include "frame/complex.h"
#include "frame/lsame.h"
#include "frame/xerbla.h"
#include "kernels/engines/gemm/engine.h"
#include "kernels/gemm.h"
#include "kernels/simd/isa.h"

namespace qiv {

void ZGEMM(const char* transa, const char* transb, const int* m, const int* n, const int* k,
           const zcomplex* alpha, const zcomplex* a, const int* lda, const zcomplex* b,
           const int* ldb, const zcomplex* beta, zcomplex* c, const int* ldc) {
    const bool nota = LSAME(transa, "N");
    const bool conja = LSAME(transa, "C");
    const bool notb = LSAME(transb, "N");
    const bool conjb = LSAME(transb, "C");
    const int nrowa = nota ? *m : *k;
    const int nrowb = notb ? *k : *n;

    int info = 0;
    if (!nota && !conja && !LSAME(transa, "T")) {
        info = 1;
    } else if (!notb && !conjb && !LSAME(transb, "T")) {
        info = 2;
    } else if (*m < 0) {
        info = 3;
    } else if (*n < 0) {
        info = 4;
    } else if (*k < 0) {
        info = 5;
    } else if (*lda < (nrowa > 1 ? nrowa : 1)) {
        info = 8;
    } else if (*ldb < (nrowb > 1 ? nrowb : 1)) {
        info = 10;
    } else if (*ldc < (*m > 1 ? *m : 1)) {
        info = 13;
    }
    if (info != 0) {
        report_illegal("ZGEMM ", info);
        return;
    }

    const int M = *m, N = *n, K = *k;
    const int LDA = *lda, LDB = *ldb, LDC = *ldc;
    if (M == 0 || N == 0) return;
    if (is_one(*beta) && (is_zero(*alpha) || K == 0)) return;

    const zcomplex al = *alpha;
    const zcomplex be = *beta;
    const zcomplex zero = zc(0.0, 0.0);

    if (is_zero(al)) {
        for (int j = 1; j <= N; ++j) {
            for (int i = 1; i <= M; ++i) {
                zcomplex& cij = c[at(i, j, LDC)];
                cij = is_zero(be) ? zero : be * cij;
            }
        }
        return;
    }

    const GemmOp opa = nota ? GemmOp::none : conja ? GemmOp::conj : GemmOp::trans;
    const GemmOp opb = notb ? GemmOp::none : conjb ? GemmOp::conj : GemmOp::trans;
    const GemmArgs g{opa, opb, M, N, K, al, a, LDA, b, LDB, be, c, LDC};
    gemm_engine(best_isa(), g);
}

}  // namespace qiv
