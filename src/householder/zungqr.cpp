// ZUNGQR: forms the first N columns of Q = H(1)*H(2)*...*H(K), blocked.
//
// Groups of NB reflectors, last group first, are turned into block
// reflectors (ZLARFT) and applied to the columns to their right (ZLARFB);
// the trailing group beyond the crossover point, and everything when the
// workspace is short, is formed by ZUNG2R. WORK holds T (leading dimension N)
// in its first NB rows and the ZLARFB work area below them.
#include <algorithm>
#include <cstddef>

#include "env/tuning.h"
#include "frame/complex.h"
#include "frame/xerbla.h"
#include "householder/householder.h"

namespace qiv {

void ZUNGQR(const int* m, const int* n, const int* k, zcomplex* a, const int* lda,
            const zcomplex* tau, zcomplex* work, const int* lwork, int* info) {
    const int M = *m, N = *n, K = *k, LDA = *lda, LWORK = *lwork;
    *info = 0;
    int nb = ilaenv(1, "ZUNGQR", " ", M, N, K, -1);
    const int lwkopt = std::max(1, N) * nb;
    work[0] = zc(static_cast<double>(lwkopt), 0.0);
    const bool lquery = LWORK == -1;
    if (M < 0) {
        *info = -1;
    } else if (N < 0 || N > M) {
        *info = -2;
    } else if (K < 0 || K > N) {
        *info = -3;
    } else if (LDA < std::max(1, M)) {
        *info = -5;
    } else if (LWORK < std::max(1, N) && !lquery) {
        *info = -8;
    }
    if (*info != 0) {
        report_illegal("ZUNGQR", -*info);
        return;
    }
    if (lquery) return;

    if (N <= 0) {
        work[0] = zc(1.0, 0.0);
        return;
    }

    int nbmin = 2;
    int nx = 0;
    int iws = N;
    int ldwork = N;
    if (nb > 1 && nb < K) {
        nx = std::max(0, ilaenv(3, "ZUNGQR", " ", M, N, K, -1));
        if (nx < K) {
            ldwork = N;
            iws = ldwork * nb;
            if (LWORK < iws) {
                nb = LWORK / ldwork;
                nbmin = std::max(2, ilaenv(2, "ZUNGQR", " ", M, N, K, -1));
            }
        }
    }

    int ki = 0;
    int kk = 0;
    if (nb >= nbmin && nb < K && nx < K) {
        // The blocked code does the first KK columns; the rest go to ZUNG2R.
        ki = ((K - nx - 1) / nb) * nb;
        kk = std::min(K, ki + nb);
        for (int j = kk + 1; j <= N; ++j)
            for (int l = 1; l <= kk; ++l) a[at(l, j, LDA)] = zc(0.0, 0.0);
    }

    int iinfo = 0;
    if (kk < N) {
        const int m2 = M - kk, n2 = N - kk, k2 = K - kk;
        ZUNG2R(&m2, &n2, &k2, a + at(kk + 1, kk + 1, LDA), lda, tau + kk, work, &iinfo);
    }

    if (kk > 0) {
        for (int i = ki + 1; i >= 1; i -= nb) {
            const int ib = std::min(nb, K - i + 1);
            const int mi = M - i + 1;
            if (i + ib <= N) {
                // T of H(i)...H(i+ib-1) in WORK, then apply it to A(i:M, i+ib:N).
                ZLARFT("Forward", "Columnwise", &mi, &ib, a + at(i, i, LDA), lda, tau + (i - 1),
                       work, &ldwork);
                const int ni = N - i - ib + 1;
                ZLARFB("Left", "No transpose", "Forward", "Columnwise", &mi, &ni, &ib,
                       a + at(i, i, LDA), lda, work, &ldwork, a + at(i, i + ib, LDA), lda,
                       work + ib, &ldwork);
            }
            // The block's own columns.
            ZUNG2R(&mi, &ib, &ib, a + at(i, i, LDA), lda, tau + (i - 1), work, &iinfo);
            for (int j = i; j <= i + ib - 1; ++j)
                for (int l = 1; l <= i - 1; ++l) a[at(l, j, LDA)] = zc(0.0, 0.0);
        }
    }
    work[0] = zc(static_cast<double>(iws), 0.0);
}

}  // namespace qiv
