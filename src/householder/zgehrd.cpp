// ZGEHRD: reduces a general matrix to upper Hessenberg form, Q^H*A*Q = H,
// with Q kept as reflectors below the first subdiagonal and scalars in TAU.
//
// Active parts larger than the crossover point are reduced in panels: ZLAHR2
// reduces a panel and returns V, T and Y = A*V*T, after which the trailing
// matrix is updated with ZGEMM (from the right), ZTRMM and ZAXPY (rows above
// the panel) and ZLARFB (from the left). The last columns, at least the
// crossover point many, are reduced by ZGEHD2.
//
// Workspace: WORK(1:N*NB) holds Y (leading dimension N) and serves ZLARFB;
// WORK(1+N*NB : N*NB+4160) holds T with leading dimension 65.
#include <algorithm>
#include <cstddef>

#include "env/tuning.h"
#include "frame/complex.h"
#include "frame/xerbla.h"
#include "householder/householder.h"
#include "kernels/gemm.h"
#include "kernels/trmat.h"
#include "kernels/vector.h"

namespace qiv {

namespace {
constexpr int kNbMax = 64;
constexpr int kLdt = kNbMax + 1;
constexpr int kTSize = kLdt * kNbMax;
}  // namespace

void ZGEHRD(const int* n, const int* ilo, const int* ihi, zcomplex* a, const int* lda,
            zcomplex* tau, zcomplex* work, const int* lwork, int* info) {
    const int N = *n, ILO = *ilo, IHI = *ihi, LDA = *lda, LWORK = *lwork;
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
    } else if (LWORK < std::max(1, N) && !lquery) {
        *info = -8;
    }
    if (*info != 0) {
        report_illegal("ZGEHRD", -*info);
        return;
    }

    const int nh = IHI - ILO + 1;
    int lwkopt = 1;
    if (nh > 1) {
        const int nb = std::min(kNbMax, ilaenv(1, "ZGEHRD", " ", N, ILO, IHI, -1));
        lwkopt = N * nb + kTSize;
    }
    work[0] = zc(static_cast<double>(lwkopt), 0.0);
    if (lquery) return;

    // Reflectors outside the active part are the identity.
    for (int i = 1; i <= ILO - 1; ++i) tau[i - 1] = zc(0.0, 0.0);
    for (int i = std::max(1, IHI); i <= N - 1; ++i) tau[i - 1] = zc(0.0, 0.0);

    if (nh <= 1) {
        work[0] = zc(1.0, 0.0);
        return;
    }

    // Block size, shrunk to fit a short workspace.
    int nb = std::min(kNbMax, ilaenv(1, "ZGEHRD", " ", N, ILO, IHI, -1));
    int nbmin = 2;
    int nx = 0;
    if (nb > 1 && nb < nh) {
        nx = std::max(nb, ilaenv(3, "ZGEHRD", " ", N, ILO, IHI, -1));
        if (nx < nh && LWORK < lwkopt) {
            nbmin = std::max(2, ilaenv(2, "ZGEHRD", " ", N, ILO, IHI, -1));
            if (LWORK >= N * nbmin + kTSize) {
                nb = (LWORK - kTSize) / N;
            } else {
                nb = 1;
            }
        }
    }

    const int ldwork = N;
    const int ldt = kLdt;
    const int one_i = 1;
    const zcomplex one = zc(1.0, 0.0);
    const zcomplex neg_one = zc(-1.0, 0.0);

    int i = ILO;
    if (nb >= nbmin && nb < nh) {
        zcomplex* t = work + static_cast<std::ptrdiff_t>(N) * nb;  // WORK(IWT), IWT = 1 + N*NB
        for (; i <= IHI - 1 - nx; i += nb) {
            const int ib = std::min(nb, IHI - i);

            // Reduce columns i..i+ib-1; V in A, T in WORK(IWT), Y in WORK.
            ZLAHR2(ihi, &i, &ib, a + at(1, i, LDA), lda, tau + (i - 1), t, &ldt, work, &ldwork);

            // A(1:IHI, i+ib:IHI) -= Y * V^H, with the last reflector's unit
            // element stored in place for the duration of the product.
            zcomplex& corner = a[at(i + ib, i + ib - 1, LDA)];
            const zcomplex ei = corner;
            corner = one;
            const int ncols = IHI - i - ib + 1;
            ZGEMM("No transpose", "Conjugate transpose", ihi, &ncols, &ib, &neg_one, work, &ldwork,
                  a + at(i + ib, i, LDA), lda, &one, a + at(1, i + ib, LDA), lda);
            corner = ei;

            // Rows 1..i of the panel's own columns i+1..i+ib-1.
            const int ib1 = ib - 1;
            ZTRMM("Right", "Lower", "Conjugate transpose", "Unit", &i, &ib1, &one,
                  a + at(i + 1, i, LDA), lda, work, &ldwork);
            for (int j = 0; j <= ib - 2; ++j)
                ZAXPY(&i, &neg_one, work + static_cast<std::ptrdiff_t>(ldwork) * j, &one_i,
                      a + at(1, i + j + 1, LDA), &one_i);

            // A(i+1:IHI, i+ib:N) := H^H * A(i+1:IHI, i+ib:N)
            const int mrows = IHI - i;
            const int ntrail = N - i - ib + 1;
            ZLARFB("Left", "Conjugate transpose", "Forward", "Columnwise", &mrows, &ntrail, &ib,
                   a + at(i + 1, i, LDA), lda, t, &ldt, a + at(i + 1, i + ib, LDA), lda, work,
                   &ldwork);
        }
    }

    int iinfo = 0;
    ZGEHD2(n, &i, ihi, a, lda, tau, work, &iinfo);
    work[0] = zc(static_cast<double>(lwkopt), 0.0);
}

}  // namespace qiv
