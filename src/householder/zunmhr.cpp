// ZUNMHR: overwrites C with Q*C, Q^H*C, C*Q or C*Q^H, Q = H(ILO)*...*H(IHI-1)
// from a Hessenberg reduction. Q acts only on rows (columns) ILO+1..IHI, where
// its reflectors have the QR layout; ZUNMQR does the work there.
#include <algorithm>

#include "env/tuning.h"
#include "frame/complex.h"
#include "frame/lsame.h"
#include "frame/xerbla.h"
#include "householder/householder.h"

namespace qiv {

void ZUNMHR(const char* side, const char* trans, const int* m, const int* n, const int* ilo,
            const int* ihi, const zcomplex* a, const int* lda, const zcomplex* tau, zcomplex* c,
            const int* ldc, zcomplex* work, const int* lwork, int* info) {
    const int M = *m, N = *n, ILO = *ilo, IHI = *ihi, LDA = *lda, LDC = *ldc, LWORK = *lwork;
    const int nh = IHI - ILO;
    const bool left = LSAME(side, "L");
    const bool lquery = LWORK == -1;
    const int nq = left ? M : N;
    const int nw = left ? std::max(1, N) : std::max(1, M);
    *info = 0;
    if (!left && !LSAME(side, "R")) {
        *info = -1;
    } else if (!LSAME(trans, "N") && !LSAME(trans, "C")) {
        *info = -2;
    } else if (M < 0) {
        *info = -3;
    } else if (N < 0) {
        *info = -4;
    } else if (ILO < 1 || ILO > std::max(1, nq)) {
        *info = -5;
    } else if (IHI < std::min(ILO, nq) || IHI > nq) {
        *info = -6;
    } else if (LDA < std::max(1, nq)) {
        *info = -8;
    } else if (LDC < std::max(1, M)) {
        *info = -11;
    } else if (LWORK < nw && !lquery) {
        *info = -13;
    }
    if (*info != 0) {
        report_illegal("ZUNMHR", -*info);
        return;
    }

    const char opts[3] = {side[0], trans[0], '\0'};
    const int nb =
        left ? ilaenv(1, "ZUNMQR", opts, nh, N, nh, -1) : ilaenv(1, "ZUNMQR", opts, M, nh, nh, -1);
    const int lwkopt = nw * nb;
    work[0] = zc(static_cast<double>(lwkopt), 0.0);
    if (lquery) return;

    if (M == 0 || N == 0 || nh == 0) {
        work[0] = zc(1.0, 0.0);
        return;
    }

    int mi = M, ni = N, i1 = 1, i2 = 1;
    if (left) {
        mi = nh;
        i1 = ILO + 1;
    } else {
        ni = nh;
        i2 = ILO + 1;
    }
    int iinfo = 0;
    ZUNMQR(side, trans, &mi, &ni, &nh, a + at(ILO + 1, ILO, LDA), lda, tau + (ILO - 1),
           c + at(i1, i2, LDC), ldc, work, lwork, &iinfo);
    work[0] = zc(static_cast<double>(lwkopt), 0.0);
}

}  // namespace qiv
