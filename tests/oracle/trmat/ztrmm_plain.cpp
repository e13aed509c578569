// ZTRMM as plain loops, the definition every fast path must reproduce: B := alpha*op(A)*B (left) or
// B := alpha*B*op(A) (right), with A triangular and op(A) = A, A^T or A^H.
//
// Plain loops, one per case; alpha is folded into a temporary in every case.
// Work is skipped only on a zero element of B (left, no transpose) or a zero
// off-diagonal element of A (right), mirroring ZTRSM.
#include "frame/complex.h"
#include "frame/lsame.h"
#include "oracle/trmat/trmat_plain.h"

namespace qivoracle {

using namespace qiv;

void ztrmm_plain(const char* side, const char* uplo, const char* transa, const char* diag,
                 const int* m, const int* n, const zcomplex* alpha, const zcomplex* a,
                 const int* lda, zcomplex* b, const int* ldb) {
    const bool lside = LSAME(side, "L");
    const bool noconj = LSAME(transa, "T");
    const bool nounit = LSAME(diag, "N");
    const bool upper = LSAME(uplo, "U");

    const int M = *m, N = *n;
    const int LDA = *lda, LDB = *ldb;
    if (M == 0 || N == 0) return;

    const zcomplex al = *alpha;

    auto A = [&](int i, int j) -> zcomplex { return a[at(i, j, LDA)]; };
    // A(i, j) as op(A) uses it in the transposed cases: conjugated for "C".
    auto opA = [&](int i, int j) -> zcomplex {
        return noconj ? a[at(i, j, LDA)] : conj(a[at(i, j, LDA)]);
    };
    auto B = [&](int i, int j) -> zcomplex& { return b[at(i, j, LDB)]; };

    if (is_zero(al)) {
        for (int j = 1; j <= N; ++j)
            for (int i = 1; i <= M; ++i) B(i, j) = zc(0.0, 0.0);
        return;
    }

    if (lside) {
        if (LSAME(transa, "N")) {
            // B := alpha * A * B.
            if (upper) {
                for (int j = 1; j <= N; ++j) {
                    for (int k = 1; k <= M; ++k) {
                        if (is_zero(B(k, j))) continue;
                        zcomplex temp = al * B(k, j);
                        for (int i = 1; i <= k - 1; ++i) B(i, j) = B(i, j) + temp * A(i, k);
                        if (nounit) temp = temp * A(k, k);
                        B(k, j) = temp;
                    }
                }
            } else {
                for (int j = 1; j <= N; ++j) {
                    for (int k = M; k >= 1; --k) {
                        if (is_zero(B(k, j))) continue;
                        const zcomplex temp = al * B(k, j);
                        B(k, j) = temp;
                        if (nounit) B(k, j) = B(k, j) * A(k, k);
                        for (int i = k + 1; i <= M; ++i) B(i, j) = B(i, j) + temp * A(i, k);
                    }
                }
            }
        } else {
            // B := alpha * op(A) * B with op(A) = A^T or A^H.
            if (upper) {
                for (int j = 1; j <= N; ++j) {
                    for (int i = M; i >= 1; --i) {
                        zcomplex temp = B(i, j);
                        if (nounit) temp = temp * opA(i, i);
                        for (int k = 1; k <= i - 1; ++k) temp = temp + opA(k, i) * B(k, j);
                        B(i, j) = al * temp;
                    }
                }
            } else {
                for (int j = 1; j <= N; ++j) {
                    for (int i = 1; i <= M; ++i) {
                        zcomplex temp = B(i, j);
                        if (nounit) temp = temp * opA(i, i);
                        for (int k = i + 1; k <= M; ++k) temp = temp + opA(k, i) * B(k, j);
                        B(i, j) = al * temp;
                    }
                }
            }
        }
    } else {
        if (LSAME(transa, "N")) {
            // B := alpha * B * A. The diagonal scaling is applied even when
            // its factor is one.
            if (upper) {
                for (int j = N; j >= 1; --j) {
                    zcomplex temp = al;
                    if (nounit) temp = temp * A(j, j);
                    for (int i = 1; i <= M; ++i) B(i, j) = temp * B(i, j);
                    for (int k = 1; k <= j - 1; ++k) {
                        if (is_zero(A(k, j))) continue;
                        temp = al * A(k, j);
                        for (int i = 1; i <= M; ++i) B(i, j) = B(i, j) + temp * B(i, k);
                    }
                }
            } else {
                for (int j = 1; j <= N; ++j) {
                    zcomplex temp = al;
                    if (nounit) temp = temp * A(j, j);
                    for (int i = 1; i <= M; ++i) B(i, j) = temp * B(i, j);
                    for (int k = j + 1; k <= N; ++k) {
                        if (is_zero(A(k, j))) continue;
                        temp = al * A(k, j);
                        for (int i = 1; i <= M; ++i) B(i, j) = B(i, j) + temp * B(i, k);
                    }
                }
            }
        } else {
            // B := alpha * B * op(A) with op(A) = A^T or A^H. The diagonal
            // scaling is skipped when its factor is exactly one.
            if (upper) {
                for (int k = 1; k <= N; ++k) {
                    for (int j = 1; j <= k - 1; ++j) {
                        if (is_zero(A(j, k))) continue;
                        const zcomplex temp = al * opA(j, k);
                        for (int i = 1; i <= M; ++i) B(i, j) = B(i, j) + temp * B(i, k);
                    }
                    zcomplex temp = al;
                    if (nounit) temp = temp * opA(k, k);
                    if (!is_one(temp))
                        for (int i = 1; i <= M; ++i) B(i, k) = temp * B(i, k);
                }
            } else {
                for (int k = N; k >= 1; --k) {
                    for (int j = k + 1; j <= N; ++j) {
                        if (is_zero(A(j, k))) continue;
                        const zcomplex temp = al * opA(j, k);
                        for (int i = 1; i <= M; ++i) B(i, j) = B(i, j) + temp * B(i, k);
                    }
                    zcomplex temp = al;
                    if (nounit) temp = temp * opA(k, k);
                    if (!is_one(temp))
                        for (int i = 1; i <= M; ++i) B(i, k) = temp * B(i, k);
                }
            }
        }
    }
}

}  // namespace qivoracle
