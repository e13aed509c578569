// ZLAHR2: reduces the first NB columns of A(K+1:N, :) so that everything
// below the K-th subdiagonal is zero, and returns the block reflector
// I - V*T*V^H of the NB reflectors together with Y = A*V*T (A as on entry),
// so that the caller can update the rest of the matrix with matrix-matrix
// products. Rows 1..K of the panel columns are left for the caller.
#include <algorithm>

#include "frame/complex.h"
#include "householder/householder.h"
#include "kernels/gemm.h"
#include "kernels/matutil.h"
#include "kernels/matvec.h"
#include "kernels/trmat.h"
#include "kernels/vector.h"

namespace qiv {

void ZLAHR2(const int* n, const int* k, const int* nb, zcomplex* a, const int* lda, zcomplex* tau,
            zcomplex* t, const int* ldt, zcomplex* y, const int* ldy) {
    const int N = *n, K = *k, NB = *nb, LDA = *lda, LDT = *ldt, LDY = *ldy;
    if (N <= 1) return;

    const int one_i = 1;
    const zcomplex one = zc(1.0, 0.0);
    const zcomplex zero = zc(0.0, 0.0);
    const zcomplex neg_one = zc(-1.0, 0.0);
    const int nk = N - K;
    zcomplex* tnb = t + at(1, NB, LDT);  // last column of T: scratch vector w
    zcomplex ei = zero;

    for (int i = 1; i <= NB; ++i) {
        const int im1 = i - 1;
        const int nki = N - K - i + 1;
        if (i > 1) {
            // A(K+1:N, i) -= Y(K+1:N, 1:i-1) * conj(A(K+i-1, 1:i-1))^T. Row
            // K+i-1 is row i-1 of V here (its unit element stored in place).
            zcomplex* row = a + at(K + i - 1, 1, LDA);
            ZLACGV(&im1, row, lda);
            ZGEMV("NO TRANSPOSE", &nk, &im1, &neg_one, y + at(K + 1, 1, LDY), ldy, row, lda, &one,
                  a + at(K + 1, i, LDA), &one_i);
            ZLACGV(&im1, row, lda);

            // Apply I - V*T^H*V^H to b = A(K+1:N, i) from the left, with
            // b1 = the first i-1 rows, V1 unit lower triangular.
            zcomplex* b1 = a + at(K + 1, i, LDA);
            zcomplex* b2 = a + at(K + i, i, LDA);
            const zcomplex* v1 = a + at(K + 1, 1, LDA);
            const zcomplex* v2 = a + at(K + i, 1, LDA);
            ZCOPY(&im1, b1, &one_i, tnb, &one_i);
            ZTRMV("Lower", "Conjugate transpose", "UNIT", &im1, v1, lda, tnb, &one_i);
            ZGEMV("Conjugate transpose", &nki, &im1, &one, v2, lda, b2, &one_i, &one, tnb, &one_i);
            ZTRMV("Upper", "Conjugate transpose", "NON-UNIT", &im1, t, ldt, tnb, &one_i);
            ZGEMV("NO TRANSPOSE", &nki, &im1, &neg_one, v2, lda, tnb, &one_i, &one, b2, &one_i);
            ZTRMV("Lower", "NO TRANSPOSE", "UNIT", &im1, v1, lda, tnb, &one_i);
            ZAXPY(&im1, &neg_one, tnb, &one_i, b1, &one_i);

            a[at(K + i - 1, i - 1, LDA)] = ei;
        }

        // H(i) annihilates A(K+i+1:N, i).
        ZLARFG(&nki, a + at(K + i, i, LDA), a + at(std::min(K + i + 1, N), i, LDA), &one_i,
               tau + (i - 1));
        ei = a[at(K + i, i, LDA)];
        a[at(K + i, i, LDA)] = one;

        // Y(K+1:N, i) := tau(i) * (A(K+1:N, i+1:N-K+1)*v - Y(K+1:N, 1:i-1)*T(1:i-1, i))
        // with T(1:i-1, i) = V(:, 1:i-1)^H * v first.
        const zcomplex* vi = a + at(K + i, i, LDA);
        zcomplex* yi = y + at(K + 1, i, LDY);
        zcomplex* ti = t + at(1, i, LDT);
        ZGEMV("NO TRANSPOSE", &nk, &nki, &one, a + at(K + 1, i + 1, LDA), lda, vi, &one_i, &zero,
              yi, &one_i);
        ZGEMV("Conjugate transpose", &nki, &im1, &one, a + at(K + i, 1, LDA), lda, vi, &one_i,
              &zero, ti, &one_i);
        ZGEMV("NO TRANSPOSE", &nk, &im1, &neg_one, y + at(K + 1, 1, LDY), ldy, ti, &one_i, &one, yi,
              &one_i);
        ZSCAL(&nk, tau + (i - 1), yi, &one_i);

        // T(1:i-1, i) := -tau(i) * T(1:i-1, 1:i-1) * T(1:i-1, i); T(i, i) = tau(i).
        const zcomplex mtau = zc(-tau[i - 1].re, -tau[i - 1].im);
        ZSCAL(&im1, &mtau, ti, &one_i);
        ZTRMV("Upper", "No Transpose", "NON-UNIT", &im1, t, ldt, ti, &one_i);
        t[at(i, i, LDT)] = tau[i - 1];
    }
    a[at(K + NB, NB, LDA)] = ei;

    // Y(1:K, :) := (A(1:K, 2:NB+1)*V1 + A(1:K, NB+2:N-K+1)*V2) * T
    ZLACPY("ALL", k, nb, a + at(1, 2, LDA), lda, y, ldy);
    ZTRMM("RIGHT", "Lower", "NO TRANSPOSE", "UNIT", k, nb, &one, a + at(K + 1, 1, LDA), lda, y,
          ldy);
    if (N > K + NB) {
        const int rest = N - K - NB;
        ZGEMM("NO TRANSPOSE", "NO TRANSPOSE", k, nb, &rest, &one, a + at(1, 2 + NB, LDA), lda,
              a + at(K + 1 + NB, 1, LDA), lda, &one, y, ldy);
    }
    ZTRMM("RIGHT", "Upper", "NO TRANSPOSE", "NON-UNIT", k, nb, &one, t, ldt, y, ldy);
}

}  // namespace qiv
