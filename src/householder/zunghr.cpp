// ZUNGHR: forms the N-by-N unitary matrix Q = H(ILO)*...*H(IHI-1) of a
// Hessenberg reduction. The reflector vectors are shifted one column to the
// right, which puts them in the QR layout, the rows and columns outside
// ILO+1..IHI become those of the unit matrix, and ZUNGQR forms the rest.
#include <algorithm>

#include "env/tuning.h"
#include "frame/complex.h"
#include "frame/xerbla.h"
#include "householder/householder.h"

namespace qiv {

void ZUNGHR(const int* n, const int* ilo, const int* ihi, zcomplex* a, const int* lda,
            const zcomplex* tau, zcomplex* work, const int* lwork, int* info) {
    const int N = *n, ILO = *ilo, IHI = *ihi, LDA = *lda, LWORK = *lwork;
    const int nh = IHI - ILO;
    const bool lquery = LWORK == -1;
    *info = 0;
    if (N < 0) {
        *info = -1;
    } else if (ILO < 1 || ILO > std::max(1, N)) {
        *info = -2;
    } else if (IHI < std::min(ILO, N) || IHI > N) {
        *info = -3;
    } else if (LDA < std::max(1, N)) {
        *info = -5;
    } else if (LWORK < std::max(1, nh) && !lquery) {
        *info = -8;
    }
    if (*info != 0) {
        report_illegal("ZUNGHR", -*info);
        return;
    }

    const int nb = ilaenv(1, "ZUNGQR", " ", nh, nh, nh, -1);
    const int lwkopt = std::max(1, nh) * nb;
    work[0] = zc(static_cast<double>(lwkopt), 0.0);
    if (lquery) return;

    if (N == 0) {
        work[0] = zc(1.0, 0.0);
        return;
    }

    const zcomplex zero = zc(0.0, 0.0);
    // Right to left, so that each column is read before it is overwritten.
    for (int j = IHI; j >= ILO + 1; --j) {
        for (int i = 1; i <= j - 1; ++i) a[at(i, j, LDA)] = zero;
        for (int i = j + 1; i <= IHI; ++i) a[at(i, j, LDA)] = a[at(i, j - 1, LDA)];
        for (int i = IHI + 1; i <= N; ++i) a[at(i, j, LDA)] = zero;
    }
    for (int j = 1; j <= ILO; ++j) {
        for (int i = 1; i <= N; ++i) a[at(i, j, LDA)] = zero;
        a[at(j, j, LDA)] = zc(1.0, 0.0);
    }
    for (int j = IHI + 1; j <= N; ++j) {
        for (int i = 1; i <= N; ++i) a[at(i, j, LDA)] = zero;
        a[at(j, j, LDA)] = zc(1.0, 0.0);
    }

    if (nh > 0) {
        int iinfo = 0;
        ZUNGQR(&nh, &nh, &nh, a + at(ILO + 1, ILO + 1, LDA), lda, tau + (ILO - 1), work, lwork,
               &iinfo);
    }
    work[0] = zc(static_cast<double>(lwkopt), 0.0);
}

}  // namespace qiv
