// ZGEEV: all eigenvalues and, on request, the left and/or right eigenvectors
// of a general complex matrix. The stages: scaling of A into a safe range,
// balancing, Hessenberg reduction, the unitary factor of the reduction, the
// Schur form by Hessenberg QR, eigenvectors of the triangular factor
// back-transformed by the Schur vectors, undoing the balancing, and
// normalisation of every vector to Euclidean norm 1 with its largest
// component real and positive.
#include <algorithm>
#include <cmath>

#include "eigen/eigen.h"
#include "env/machine.h"
#include "env/tuning.h"
#include "frame/complex.h"
#include "frame/lsame.h"
#include "frame/xerbla.h"
#include "householder/householder.h"
#include "kernels/matutil.h"
#include "kernels/vector.h"

namespace qiv {

namespace {

// Workspace answer of a routine queried with LWORK = -1: WORK(1) truncated.
int answer(const zcomplex* work) { return static_cast<int>(work[0].re); }

// Back-transformation of the balancing on the vectors in V, then each column
// scaled to Euclidean norm 1 and rotated so that its component of largest
// modulus is real, with an imaginary part of exactly 0. sq holds N reals.
void finish_vectors(const char* side, int n, int ilo, int ihi, const double* balance, zcomplex* v,
                    int ldv, double* sq) {
    int ierr = 0;
    ZGEBAK("B", side, &n, &ilo, &ihi, balance, &n, v, &ldv, &ierr);
    const int one = 1;
    for (int i = 1; i <= n; ++i) {
        zcomplex* col = v + at(1, i, ldv);
        const double scl = 1.0 / DZNRM2(&n, col, &one);
        ZDSCAL(&n, &scl, col, &one);
        for (int k = 0; k < n; ++k) sq[k] = col[k].re * col[k].re + col[k].im * col[k].im;
        const int k = IDAMAX(&n, sq, &one);
        const zcomplex tmp = conj(col[k - 1]) / zc(std::sqrt(sq[k - 1]), 0.0);
        ZSCAL(&n, &tmp, col, &one);
        col[k - 1].im = 0.0;
    }
}

// The largest |Re| or |Im| over the N-by-N matrix A (NaN parts skipped).
double largest_part(int n, const zcomplex* a, int lda) {
    double amax = 0.0;
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= n; ++i) {
            const zcomplex e = a[at(i, j, lda)];
            if (std::fabs(e.re) > amax) amax = std::fabs(e.re);
            if (std::fabs(e.im) > amax) amax = std::fabs(e.im);
        }
    }
    return amax;
}

// 2^floor(log2(x)) for a finite positive normal x.
double power_of_two_at_or_below(double x) {
    int e = 0;
    std::frexp(x, &e);  // x = m * 2^e with m in [0.5, 1)
    return std::ldexp(1.0, e - 1);
}

}  // namespace

void ZGEEV(const char* jobvl, const char* jobvr, const int* n, zcomplex* a, const int* lda,
           zcomplex* w, zcomplex* vl, const int* ldvl, zcomplex* vr, const int* ldvr,
           zcomplex* work, const int* lwork, double* rwork, int* info) {
    const int N = *n, LDA = *lda, LDVL = *ldvl, LDVR = *ldvr, LWORK = *lwork;
    const bool lquery = LWORK == -1;
    const bool wantvl = LSAME(jobvl, "V");
    const bool wantvr = LSAME(jobvr, "V");

    *info = 0;
    if (!wantvl && !LSAME(jobvl, "N")) {
        *info = -1;
    } else if (!wantvr && !LSAME(jobvr, "N")) {
        *info = -2;
    } else if (N < 0) {
        *info = -3;
    } else if (LDA < std::max(1, N)) {
        *info = -5;
    } else if (LDVL < 1 || (wantvl && LDVL < N)) {
        *info = -8;
    } else if (LDVR < 1 || (wantvr && LDVR < N)) {
        *info = -10;
    }

    // Workspace: the callees are asked for their optimal lengths.
    int minwrk = 1, maxwrk = 1;
    if (*info == 0) {
        if (N > 0) {
            const int select_dummy[1] = {0};
            int nout = 0, ierr = 0, hinfo = 0;
            const int query = -1;
            const int ione = 1;
            maxwrk = N + N * ilaenv(1, "ZGEHRD", " ", N, 1, N, 0);
            minwrk = 2 * N;
            if (wantvl || wantvr) {
                const char* side = wantvl ? "L" : "R";
                zcomplex* vq = wantvl ? vl : vr;
                const int* ldq = wantvl ? ldvl : ldvr;
                maxwrk = std::max(maxwrk, N + (N - 1) * ilaenv(1, "ZUNGHR", " ", N, 1, N, -1));
                ZTREVC3(side, "B", select_dummy, n, a, lda, vl, ldvl, vr, ldvr, n, &nout, work,
                        &query, rwork, &query, &ierr);
                const int lwork_trevc = answer(work);
                maxwrk = std::max(maxwrk, N + lwork_trevc);
                ZHSEQR("S", "V", n, &ione, n, a, lda, w, vq, ldq, work, &query, &hinfo);
            } else {
                ZHSEQR("E", "N", n, &ione, n, a, lda, w, vr, ldvr, work, &query, &hinfo);
            }
            const int hswork = answer(work);
            maxwrk = std::max({maxwrk, hswork, minwrk});
        }
        work[0] = zc(static_cast<double>(maxwrk), 0.0);
        if (LWORK < minwrk && !lquery) *info = -12;
    }
    if (*info != 0) report_illegal("ZGEEV ", -*info);
    if (lquery || N == 0) return;

    // Scale A if its largest element lies outside [SMLNUM, BIGNUM].
    const double eps = mach_prec;
    const double smlnum = std::sqrt(mach_sfmin) / eps;
    const double bignum = 1.0 / smlnum;
    double dum[1] = {0.0};
    double anrm = ZLANGE("M", n, n, a, lda, dum);
    if (std::isinf(anrm)) {
        // The largest modulus overflows. When every part is finite the matrix
        // is still scaled into range, from the power of two at or below its
        // largest real or imaginary part (the modulus is less than twice
        // that power times sqrt(2)); a power of two keeps the scaling and its
        // undoing exact. An infinite entry keeps the infinite norm.
        const double amax = largest_part(N, a, LDA);
        if (std::isfinite(amax)) anrm = power_of_two_at_or_below(amax);
    }
    bool scalea = false;
    double cscale = 0.0;
    if (anrm > 0.0 && anrm < smlnum) {
        scalea = true;
        cscale = smlnum;
    } else if (anrm > bignum) {
        scalea = true;
        cscale = bignum;
    }
    int ierr = 0;
    const int izero = 0;
    if (scalea) ZLASCL("G", &izero, &izero, &anrm, &cscale, n, n, a, lda, &ierr);

    // Balance: RWORK(1:N) keeps the record until the vectors are back-transformed.
    int ilo = 0, ihi = 0;
    double* const balance = rwork;
    ZGEBAL("B", n, a, lda, &ilo, &ihi, balance, &ierr);

    // Reduce to Hessenberg form: the reflector scalars in WORK(1:N).
    zcomplex* const tau = work;
    zcomplex* const wrk = work + N;
    const int lwrk = LWORK - N;
    ZGEHRD(n, &ilo, &ihi, a, lda, tau, wrk, &lwrk, &ierr);

    const char* side = "R";
    if (wantvl || wantvr) {
        // Form the unitary factor in VL (or VR), then the Schur form with the
        // Schur vectors accumulated into it.
        side = wantvl ? "L" : "R";
        zcomplex* vq = wantvl ? vl : vr;
        const int* ldq = wantvl ? ldvl : ldvr;
        ZLACPY("L", n, n, a, lda, vq, ldq);
        ZUNGHR(n, &ilo, &ihi, vq, ldq, tau, wrk, &lwrk, &ierr);
        ZHSEQR("S", "V", n, &ilo, &ihi, a, lda, w, vq, ldq, work, lwork, info);
        if (wantvl && wantvr) {
            side = "B";
            ZLACPY("F", n, n, vl, ldvl, vr, ldvr);
        }
    } else {
        ZHSEQR("E", "N", n, &ilo, &ihi, a, lda, w, vr, ldvr, work, lwork, info);
    }

    if (*info == 0 && (wantvl || wantvr)) {
        const int select_dummy[1] = {0};
        int nout = 0;
        ZTREVC3(side, "B", select_dummy, n, a, lda, vl, ldvl, vr, ldvr, n, &nout, work, lwork,
                rwork + N, n, &ierr);
        if (wantvl) finish_vectors("L", N, ilo, ihi, balance, vl, LDVL, rwork + N);
        if (wantvr) finish_vectors("R", N, ilo, ihi, balance, vr, LDVR, rwork + N);
    }

    // Undo the scaling of the eigenvalues that were computed.
    if (scalea) {
        const int INFO = *info;
        const int rows = N - INFO;
        const int ldw = std::max(rows, 1);
        const int ione = 1;
        ZLASCL("G", &izero, &izero, &cscale, &anrm, &rows, &ione, w + INFO, &ldw, &ierr);
        if (INFO > 0) {
            const int isolated = ilo - 1;
            ZLASCL("G", &izero, &izero, &cscale, &anrm, &isolated, &ione, w, n, &ierr);
        }
    }
    work[0] = zc(static_cast<double>(maxwrk), 0.0);
}

}  // namespace qiv
