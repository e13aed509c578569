// ZUNG2R: forms the first N columns of Q = H(1)*H(2)*...*H(K) from the
// reflectors stored below the diagonal of A, one reflector at a time.
#include <algorithm>

#include "frame/complex.h"
#include "frame/xerbla.h"
#include "householder/householder.h"
#include "kernels/vector.h"

namespace qiv {

void ZUNG2R(const int* m, const int* n, const int* k, zcomplex* a, const int* lda,
            const zcomplex* tau, zcomplex* work, int* info) {
    const int M = *m, N = *n, K = *k, LDA = *lda;
    *info = 0;
    if (M < 0) {
        *info = -1;
    } else if (N < 0 || N > M) {
        *info = -2;
    } else if (K < 0 || K > N) {
        *info = -3;
    } else if (LDA < std::max(1, M)) {
        *info = -5;
    }
    if (*info != 0) {
        report_illegal("ZUNG2R", -*info);
        return;
    }
    if (N <= 0) return;

    // Columns K+1..N start as columns of the unit matrix.
    for (int j = K + 1; j <= N; ++j) {
        for (int l = 1; l <= M; ++l) a[at(l, j, LDA)] = zc(0.0, 0.0);
        a[at(j, j, LDA)] = zc(1.0, 0.0);
    }

    const int one_i = 1;
    for (int i = K; i >= 1; --i) {
        const zcomplex ti = tau[i - 1];
        // Apply H(i) to A(i:M, i+1:N) from the left; A(i, i) is not read.
        if (i < N) {
            const int mi = M - i + 1;
            const int ni = N - i;
            ZLARF1F("Left", &mi, &ni, a + at(i, i, LDA), &one_i, &ti, a + at(i, i + 1, LDA), lda,
                    work);
        }
        if (i < M) {
            const int len = M - i;
            const zcomplex mtau = zc(-ti.re, -ti.im);
            ZSCAL(&len, &mtau, a + at(i + 1, i, LDA), &one_i);
        }
        a[at(i, i, LDA)] = zc(1.0 - ti.re, 0.0 - ti.im);
        // Rows above the diagonal of column i are zero.
        for (int l = 1; l <= i - 1; ++l) a[at(l, i, LDA)] = zc(0.0, 0.0);
    }
}

}  // namespace qiv
