// ZGEMM as plain loops: the definition every fast path must reproduce.
//
// With op(A) = A the product is built column by column, as scaled columns of A
// added into C (loop order j, l, i); with a transposed A each C(i, j) is a dot
// product accumulated in a temporary (loop order j, i, l). Every product is
// formed, with no test for zero elements.
#include "frame/complex.h"
#include "frame/lsame.h"
#include "oracle/gemm/gemm_plain.h"

namespace qivoracle {

using qiv::at;

void zgemm_plain(const char* transa, const char* transb, const int* m, const int* n, const int* k,
                 const zcomplex* alpha, const zcomplex* a, const int* lda, const zcomplex* b,
                 const int* ldb, const zcomplex* beta, zcomplex* c, const int* ldc) {
    const bool nota = qiv::LSAME(transa, "N");
    const bool conja = qiv::LSAME(transa, "C");
    const bool notb = qiv::LSAME(transb, "N");
    const bool conjb = qiv::LSAME(transb, "C");
    const int M = *m, N = *n, K = *k;
    const int LDA = *lda, LDB = *ldb, LDC = *ldc;
    if (M == 0 || N == 0) return;
    if (qiv::is_one(*beta) && (qiv::is_zero(*alpha) || K == 0)) return;

    const zcomplex al = *alpha;
    const zcomplex be = *beta;
    const zcomplex zero = qiv::zc(0.0, 0.0);

    if (qiv::is_zero(al)) {
        for (int j = 1; j <= N; ++j) {
            for (int i = 1; i <= M; ++i) {
                zcomplex& cij = c[at(i, j, LDC)];
                cij = qiv::is_zero(be) ? zero : be * cij;
            }
        }
        return;
    }

    // Element (l, j) of op(B): B(l, j), B(j, l) or conj(B(j, l)).
    const auto opb = [&](int l, int j) -> zcomplex {
        if (notb) return b[at(l, j, LDB)];
        const zcomplex v = b[at(j, l, LDB)];
        return conjb ? qiv::conj(v) : v;
    };

    if (nota) {
        for (int j = 1; j <= N; ++j) {
            if (qiv::is_zero(be)) {
                for (int i = 1; i <= M; ++i) c[at(i, j, LDC)] = zero;
            } else if (!qiv::is_one(be)) {
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
        for (int j = 1; j <= N; ++j) {
            for (int i = 1; i <= M; ++i) {
                zcomplex temp = zero;
                for (int l = 1; l <= K; ++l) {
                    const zcomplex ali = conja ? qiv::conj(a[at(l, i, LDA)]) : a[at(l, i, LDA)];
                    temp = temp + ali * opb(l, j);
                }
                zcomplex& cij = c[at(i, j, LDC)];
                cij = qiv::is_zero(be) ? al * temp : al * temp + be * cij;
            }
        }
    }
}

}  // namespace qivoracle
