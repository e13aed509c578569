// ZGEMM: C := alpha*op(A)*op(B) + beta*C with op(X) = X, X^T or X^H.
//
// A plain triple loop in one of two structures. With op(A) = A the product is
// built column by column as a sequence of scaled columns of A added into C
// (loop order j, l, i); with a transposed A each C(i, j) is a dot product
// accumulated in a temporary (loop order j, i, l). Every product is formed,
// with no test for zero elements, so infinities and NaNs spread as the
// arithmetic dictates. These loops fix the result bit for bit.
#include "frame/complex.h"
#include "frame/lsame.h"
#include "frame/xerbla.h"
#include "kernels/gemm.h"

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

    // Element (l, j) of op(B): B(l, j), B(j, l) or conj(B(j, l)).
    const auto opb = [&](int l, int j) -> zcomplex {
        if (notb) return b[at(l, j, LDB)];
        const zcomplex v = b[at(j, l, LDB)];
        return conjb ? conj(v) : v;
    };

    if (nota) {
        // C(:, j) := beta*C(:, j) + sum over l of (alpha*op(B)(l, j)) * A(:, l).
        for (int j = 1; j <= N; ++j) {
            if (is_zero(be)) {
                for (int i = 1; i <= M; ++i) c[at(i, j, LDC)] = zero;
            } else if (!is_one(be)) {
                for (int i = 1; i <= M; ++i) c[at(i, j, LDC)] = be * c[at(i, j, LDC)];
            }
            for (int l = 1; l <= K; ++l) {
                const zcomplex temp = al * opb(l, j);
                for (int i = 1; i <= M; ++i) {
                    c[at(i, j, LDC)] = c[at(i, j, LDC)] + temp * a[at(i, l, LDA)];
                }
            }
        }
    } else {
        // C(i, j) := alpha*(sum over l of op(A)(i, l)*op(B)(l, j)) + beta*C(i, j).
        for (int j = 1; j <= N; ++j) {
            for (int i = 1; i <= M; ++i) {
                zcomplex temp = zero;
                for (int l = 1; l <= K; ++l) {
                    const zcomplex ali = conja ? conj(a[at(l, i, LDA)]) : a[at(l, i, LDA)];
                    temp = temp + ali * opb(l, j);
                }
                zcomplex& cij = c[at(i, j, LDC)];
                cij = is_zero(be) ? al * temp : al * temp + be * cij;
            }
        }
    }
}

}  // namespace qiv
