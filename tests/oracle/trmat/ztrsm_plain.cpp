// ZTRSM as plain loops, the definition every fast path must reproduce: solves op(A)*X = alpha*B
// (left) or X*op(A) = alpha*B (right) for X, overwriting B, with A triangular and op(A) = A, A^T or
// A^H.
//
// Plain loops, one per case. The exact operations are part of the result:
// the left non-transposed cases divide by the diagonal, the right cases
// multiply by a reciprocal formed once per column, the left transposed cases
// divide the accumulated value. Work is skipped only on a zero element of B
// (left, no transpose) or a zero off-diagonal element of A (right). No test
// for a zero or tiny diagonal element is made.
#include "frame/complex.h"
#include "frame/lsame.h"
#include "oracle/trmat/trmat_plain.h"

namespace qivoracle {

using namespace qiv;

void ztrsm_plain(const char* side, const char* uplo, const char* transa, const char* diag,
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
    const zcomplex one = zc(1.0, 0.0);

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

    // Column k of B := alpha * column k, skipped when alpha is exactly one.
    auto scale_column = [&](int k) {
        if (is_one(al)) return;
        for (int i = 1; i <= M; ++i) B(i, k) = al * B(i, k);
    };

    if (lside) {
        if (LSAME(transa, "N")) {
            // B := alpha * inv(A) * B.
            if (upper) {
                for (int j = 1; j <= N; ++j) {
                    scale_column(j);
                    for (int k = M; k >= 1; --k) {
                        if (is_zero(B(k, j))) continue;
                        if (nounit) B(k, j) = B(k, j) / A(k, k);
                        for (int i = 1; i <= k - 1; ++i) B(i, j) = B(i, j) - B(k, j) * A(i, k);
                    }
                }
            } else {
                for (int j = 1; j <= N; ++j) {
                    scale_column(j);
                    for (int k = 1; k <= M; ++k) {
                        if (is_zero(B(k, j))) continue;
                        if (nounit) B(k, j) = B(k, j) / A(k, k);
                        for (int i = k + 1; i <= M; ++i) B(i, j) = B(i, j) - B(k, j) * A(i, k);
                    }
                }
            }
        } else {
            // B := alpha * inv(op(A)) * B with op(A) = A^T or A^H; alpha is
            // always multiplied in, and there is no zero test.
            if (upper) {
                for (int j = 1; j <= N; ++j) {
                    for (int i = 1; i <= M; ++i) {
                        zcomplex temp = al * B(i, j);
                        for (int k = 1; k <= i - 1; ++k) temp = temp - opA(k, i) * B(k, j);
                        if (nounit) temp = temp / opA(i, i);
                        B(i, j) = temp;
                    }
                }
            } else {
                for (int j = 1; j <= N; ++j) {
                    for (int i = M; i >= 1; --i) {
                        zcomplex temp = al * B(i, j);
                        for (int k = i + 1; k <= M; ++k) temp = temp - opA(k, i) * B(k, j);
                        if (nounit) temp = temp / opA(i, i);
                        B(i, j) = temp;
                    }
                }
            }
        }
    } else {
        if (LSAME(transa, "N")) {
            // B := alpha * B * inv(A).
            if (upper) {
                for (int j = 1; j <= N; ++j) {
                    scale_column(j);
                    for (int k = 1; k <= j - 1; ++k) {
                        if (is_zero(A(k, j))) continue;
                        for (int i = 1; i <= M; ++i) B(i, j) = B(i, j) - A(k, j) * B(i, k);
                    }
                    if (nounit) {
                        const zcomplex temp = one / A(j, j);
                        for (int i = 1; i <= M; ++i) B(i, j) = temp * B(i, j);
                    }
                }
            } else {
                for (int j = N; j >= 1; --j) {
                    scale_column(j);
                    for (int k = j + 1; k <= N; ++k) {
                        if (is_zero(A(k, j))) continue;
                        for (int i = 1; i <= M; ++i) B(i, j) = B(i, j) - A(k, j) * B(i, k);
                    }
                    if (nounit) {
                        const zcomplex temp = one / A(j, j);
                        for (int i = 1; i <= M; ++i) B(i, j) = temp * B(i, j);
                    }
                }
            }
        } else {
            // B := alpha * B * inv(op(A)) with op(A) = A^T or A^H; alpha is
            // applied to each column after it has been used in all updates.
            if (upper) {
                for (int k = N; k >= 1; --k) {
                    if (nounit) {
                        const zcomplex temp = one / opA(k, k);
                        for (int i = 1; i <= M; ++i) B(i, k) = temp * B(i, k);
                    }
                    for (int j = 1; j <= k - 1; ++j) {
                        if (is_zero(A(j, k))) continue;
                        const zcomplex temp = opA(j, k);
                        for (int i = 1; i <= M; ++i) B(i, j) = B(i, j) - temp * B(i, k);
                    }
                    scale_column(k);
                }
            } else {
                for (int k = 1; k <= N; ++k) {
                    if (nounit) {
                        const zcomplex temp = one / opA(k, k);
                        for (int i = 1; i <= M; ++i) B(i, k) = temp * B(i, k);
                    }
                    for (int j = k + 1; j <= N; ++j) {
                        if (is_zero(A(j, k))) continue;
                        const zcomplex temp = opA(j, k);
                        for (int i = 1; i <= M; ++i) B(i, j) = B(i, j) - temp * B(i, k);
                    }
                    scale_column(k);
                }
            }
        }
    }
}

}  // namespace qivoracle
