// ZHSEQR: eigenvalues, and on request the Schur form T = Z^H*H*Z and the
// Schur vectors, of an upper Hessenberg matrix whose rows and columns outside
// ILO..IHI are already triangular (as balancing leaves them).
//
// Small orders (up to the crossover NMIN, never below 15) go to the
// single-shift ZLAHQR, larger ones to the multishift ZLAQR0. When ZLAHQR
// fails to converge, ZLAQR0 is given the unfinished part; a matrix of order
// below 49 is first embedded in a 49-by-49 local copy, which gives ZLAQR0 an
// order above its own crossover and room below the subdiagonal for its
// scratch. That copy and its 49-element workspace are the only large local
// arrays of the library.
//
// ZLAQR0 uses the part of H below the first subdiagonal as scratch; it is
// cleared again when the Schur form is wanted or the computation failed.
#include <algorithm>

#include "eigen/eigen.h"
#include "env/machine.h"
#include "env/tuning.h"
#include "frame/complex.h"
#include "frame/lsame.h"
#include "frame/xerbla.h"
#include "kernels/matutil.h"
#include "kernels/vector.h"

namespace qiv {

namespace {
constexpr int kNtiny = 15;  // never hand a smaller order to the multishift code
constexpr int kNl = 49;     // order of the local copy for the rescue of small matrices
}  // namespace

void ZHSEQR(const char* job, const char* compz, const int* n, const int* ilo, const int* ihi,
            zcomplex* h, const int* ldh, zcomplex* w, zcomplex* z, const int* ldz, zcomplex* work,
            const int* lwork, int* info) {
    const int N = *n, ILO = *ilo, IHI = *ihi, LDH = *ldh, LDZ = *ldz, LWORK = *lwork;
    const zcomplex zero = zc(0.0, 0.0), one = zc(1.0, 0.0);
    const int ione = 1;

    const bool wantt = LSAME(job, "S");
    const bool initz = LSAME(compz, "I");
    const bool wantz = initz || LSAME(compz, "V");
    const int maxn1 = std::max(1, N);
    work[0] = zc(static_cast<double>(maxn1), 0.0);
    const bool lquery = LWORK == -1;

    *info = 0;
    if (!LSAME(job, "E") && !wantt) {
        *info = -1;
    } else if (!LSAME(compz, "N") && !wantz) {
        *info = -2;
    } else if (N < 0) {
        *info = -3;
    } else if (ILO < 1 || ILO > maxn1) {
        *info = -4;
    } else if (IHI < std::min(ILO, N) || IHI > N) {
        *info = -5;
    } else if (LDH < maxn1) {
        *info = -7;
    } else if (LDZ < 1 || (wantz && LDZ < maxn1)) {
        *info = -10;
    } else if (LWORK < maxn1 && !lquery) {
        *info = -12;
    }
    if (*info != 0) report_illegal("ZHSEQR", -*info);

    if (N == 0) return;

    const int wantt_l = wantt ? 1 : 0, wantz_l = wantz ? 1 : 0;

    if (lquery) {
        ZLAQR0(&wantt_l, &wantz_l, n, ilo, ihi, h, ldh, w, ilo, ihi, z, ldz, work, lwork, info);
        work[0] = zc(max_nan_second(work[0].re, static_cast<double>(maxn1)), 0.0);
        return;
    }

    // Eigenvalues that balancing has isolated.
    const int ldh1 = LDH + 1;
    if (ILO > 1) {
        const int cnt = ILO - 1;
        ZCOPY(&cnt, h, &ldh1, w, &ione);
    }
    if (IHI < N) {
        const int cnt = N - IHI;
        ZCOPY(&cnt, &h[at(IHI + 1, IHI + 1, LDH)], &ldh1, w + IHI, &ione);
    }

    if (initz) ZLASET("A", n, n, &zero, &one, z, ldz);

    if (ILO == IHI) {
        w[ILO - 1] = h[at(ILO, ILO, LDH)];
        return;
    }

    const char opts[3] = {job[0], compz[0], '\0'};
    const int nmin = std::max(kNtiny, ilaenv(12, "ZHSEQR", opts, N, ILO, IHI, LWORK));

    if (N > nmin) {
        ZLAQR0(&wantt_l, &wantz_l, n, ilo, ihi, h, ldh, w, ilo, ihi, z, ldz, work, lwork, info);
    } else {
        ZLAHQR(&wantt_l, &wantz_l, n, ilo, ihi, h, ldh, w, ilo, ihi, z, ldz, info);

        if (*info > 0) {
            // Rescue: the multishift code finishes rows and columns ILO..INFO.
            const int kbot = *info;
            if (N >= kNl) {
                ZLAQR0(&wantt_l, &wantz_l, n, ilo, &kbot, h, ldh, w, ilo, ihi, z, ldz, work, lwork,
                       info);
            } else {
                // Embed H in the leading N-by-N block of a 49-by-49 matrix,
                // isolated from the zero columns to its right. The rows below
                // it in columns 1..N are below the subdiagonal: scratch.
                zcomplex hl[kNl * kNl];
                zcomplex workl[kNl];
                const int nl = kNl;
                ZLACPY("A", n, n, h, ldh, hl, &nl);
                hl[at(N + 1, N, kNl)] = zero;
                const int ncols = kNl - N;
                ZLASET("A", &nl, &ncols, &zero, &zero, &hl[at(1, N + 1, kNl)], &nl);
                ZLAQR0(&wantt_l, &wantz_l, &nl, ilo, &kbot, hl, &nl, w, ilo, ihi, z, ldz, workl,
                       &nl, info);
                if (wantt || *info != 0) ZLACPY("A", n, n, hl, &nl, h, ldh);
            }
        }
    }

    // Exact zeros below the subdiagonal for the Schur form or after a failure.
    if ((wantt || *info != 0) && N > 2) {
        const int m = N - 2;
        ZLASET("L", &m, &m, &zero, &zero, &h[at(3, 1, LDH)], ldh);
    }

    work[0] = zc(max_nan_second(static_cast<double>(maxn1), work[0].re), 0.0);
}

}  // namespace qiv
