// ZUNMQR: overwrites C with Q*C, Q^H*C, C*Q or C*Q^H, Q = H(1)*...*H(K) given
// by reflectors below the diagonal of A, blocked.
//
// Groups of NB reflectors become block reflectors (ZLARFT) applied with
// ZLARFB. Workspace: WORK(1:NW*NB) is the ZLARFB work area (leading dimension
// NW), followed by a fixed region of 65*64 elements for T (leading dimension
// 65). Short workspace shrinks NB; below the minimum block size, or when one
// block would cover all reflectors, ZUNM2R does the work.
#include <algorithm>
#include <cstddef>

#include "env/tuning.h"
#include "frame/complex.h"
#include "frame/lsame.h"
#include "frame/xerbla.h"
#include "householder/householder.h"

namespace qiv {

namespace {
constexpr int kNbMax = 64;
constexpr int kLdt = kNbMax + 1;
constexpr int kTSize = kLdt * kNbMax;
}  // namespace

void ZUNMQR(const char* side, const char* trans, const int* m, const int* n, const int* k,
            const zcomplex* a, const int* lda, const zcomplex* tau, zcomplex* c, const int* ldc,
            zcomplex* work, const int* lwork, int* info) {
    const int M = *m, N = *n, K = *k, LDA = *lda, LDC = *ldc, LWORK = *lwork;
    const bool left = LSAME(side, "L");
    const bool notran = LSAME(trans, "N");
    const bool lquery = LWORK == -1;
    const int nq = left ? M : N;
    const int nw = left ? std::max(1, N) : std::max(1, M);
    *info = 0;
    if (!left && !LSAME(side, "R")) {
        *info = -1;
    } else if (!notran && !LSAME(trans, "C")) {
        *info = -2;
    } else if (M < 0) {
        *info = -3;
    } else if (N < 0) {
        *info = -4;
    } else if (K < 0 || K > nq) {
        *info = -5;
    } else if (LDA < std::max(1, nq)) {
        *info = -7;
    } else if (LDC < std::max(1, M)) {
        *info = -10;
    } else if (LWORK < nw && !lquery) {
        *info = -12;
    }
    if (*info != 0) {
        report_illegal("ZUNMQR", -*info);
        return;
    }

    // The option string handed to the tuning query: SIDE then TRANS.
    const char opts[3] = {side[0], trans[0], '\0'};
    int nb = std::min(kNbMax, ilaenv(1, "ZUNMQR", opts, M, N, K, -1));
    const int lwkopt = nw * nb + kTSize;
    work[0] = zc(static_cast<double>(lwkopt), 0.0);
    if (lquery) return;

    if (M == 0 || N == 0 || K == 0) {
        work[0] = zc(1.0, 0.0);
        return;
    }

    int nbmin = 2;
    const int ldwork = nw;
    if (nb > 1 && nb < K && LWORK < lwkopt) {
        nb = (LWORK - kTSize) / ldwork;
        nbmin = std::max(2, ilaenv(2, "ZUNMQR", opts, M, N, K, -1));
    }

    if (nb < nbmin || nb >= K) {
        int iinfo = 0;
        ZUNM2R(side, trans, m, n, k, a, lda, tau, c, ldc, work, &iinfo);
    } else {
        zcomplex* t = work + static_cast<std::ptrdiff_t>(nw) * nb;  // WORK(IWT)
        const int ldt = kLdt;
        // Q^H*C and C*Q take the blocks first to last; Q*C and C*Q^H last to first.
        const bool ascending = left != notran;
        const int i1 = ascending ? 1 : ((K - 1) / nb) * nb + 1;
        const int step = ascending ? nb : -nb;
        for (int i = i1; ascending ? i <= K : i >= 1; i += step) {
            const int ib = std::min(nb, K - i + 1);
            const int nqi = nq - i + 1;
            ZLARFT("Forward", "Columnwise", &nqi, &ib, a + at(i, i, LDA), lda, tau + (i - 1), t,
                   &ldt);
            int mi = M, ni = N, ic = 1, jc = 1;
            if (left) {
                mi = M - i + 1;
                ic = i;
            } else {
                ni = N - i + 1;
                jc = i;
            }
            ZLARFB(side, trans, "Forward", "Columnwise", &mi, &ni, &ib, a + at(i, i, LDA), lda, t,
                   &ldt, c + at(ic, jc, LDC), ldc, work, &ldwork);
        }
    }
    work[0] = zc(static_cast<double>(lwkopt), 0.0);
}

}  // namespace qiv
