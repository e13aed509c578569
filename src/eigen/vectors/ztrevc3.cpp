// ZTREVC3: right and/or left eigenvectors of an upper triangular matrix T,
// optionally multiplied by the Schur vectors Q held in VR/VL. For each
// eigenvalue T(k,k) the shifted triangular system is solved by ZLATRS after
// nearly equal diagonal elements have been pushed apart (so clustered or
// repeated eigenvalues still give finite vectors); each vector is scaled so
// that its largest element has |Re| + |Im| = 1. With enough workspace the
// back-transformation is done for blocks of vectors by one ZGEMM.
#include <algorithm>
#include <cmath>

#include "eigen/eigen.h"
#include "env/machine.h"
#include "env/tuning.h"
#include "frame/complex.h"
#include "frame/lsame.h"
#include "frame/xerbla.h"
#include "kernels/gemm.h"
#include "kernels/matutil.h"
#include "kernels/matvec.h"
#include "kernels/vector.h"

namespace qiv {

namespace {

constexpr int kNbMin = 8;    // smallest block worth a ZGEMM back-transformation
constexpr int kNbMax = 128;  // largest block of vectors transformed together

inline double cabs1(zcomplex z) { return DCABS1(&z); }

// Scales the n-vector v so that its element of largest |Re| + |Im| has that
// magnitude 1.
void normalise(int n, zcomplex* v) {
    const int ione = 1;
    const int ii = IZAMAX(&n, v, &ione);
    const double remax = 1.0 / cabs1(v[ii - 1]);
    ZDSCAL(&n, &remax, v, &ione);
}

// cnorm(j) = sum of |Re| + |Im| over rows 1..j-1 of column j of T, for
// j = 1..count (the strictly upper part; cnorm(1) = 0).
void leading_column_norms(int count, const zcomplex* t, int ldt, double* cnorm) {
    const int ione = 1;
    if (count >= 1) cnorm[0] = 0.0;
    for (int j = 2; j <= count; ++j) {
        const int len = j - 1;
        cnorm[j - 1] = DZASUM(&len, t + at(1, j, ldt), &ione);
    }
}

// True when both parts of every element of v(1:n) are finite.
bool all_finite(int n, const zcomplex* v) {
    for (int k = 0; k < n; ++k)
        if (!std::isfinite(v[k].re) || !std::isfinite(v[k].im)) return false;
    return true;
}

}  // namespace

void ZTREVC3(const char* side, const char* howmny, const int* select, const int* n, zcomplex* t,
             const int* ldt, zcomplex* vl, const int* ldvl, zcomplex* vr, const int* ldvr,
             const int* mm, int* m, zcomplex* work, const int* lwork, double* rwork,
             const int* lrwork, int* info) {
    const int N = *n, LDT = *ldt, LDVL = *ldvl, LDVR = *ldvr, LWORK = *lwork, LRWORK = *lrwork;
    const bool bothv = LSAME(side, "B");
    const bool rightv = LSAME(side, "R") || bothv;
    const bool leftv = LSAME(side, "L") || bothv;
    const bool allv = LSAME(howmny, "A");
    const bool over = LSAME(howmny, "B");
    const bool somev = LSAME(howmny, "S");

    int M = N;
    if (somev) {
        M = 0;
        for (int j = 1; j <= N; ++j)
            if (select[j - 1] != 0) ++M;
    }
    *m = M;

    *info = 0;
    const char opts[3] = {side[0], howmny[0], '\0'};
    const int nb_query = ilaenv(1, "ZTREVC", opts, N, -1, -1, -1);
    const double n_d = static_cast<double>(N);
    work[0] = zc(std::max(1.0, n_d + 2.0 * n_d * nb_query), 0.0);
    rwork[0] = std::max(1.0, n_d);
    const bool lquery = LWORK == -1 || LRWORK == -1;
    const long long min_lwork = std::max(1LL, 2LL * N);
    if (!rightv && !leftv) {
        *info = -1;
    } else if (!allv && !over && !somev) {
        *info = -2;
    } else if (N < 0) {
        *info = -4;
    } else if (LDT < std::max(1, N)) {
        *info = -6;
    } else if (LDVL < 1 || (leftv && LDVL < N)) {
        *info = -8;
    } else if (LDVR < 1 || (rightv && LDVR < N)) {
        *info = -10;
    } else if (*mm < M) {
        *info = -11;
    } else if (LWORK < min_lwork && !lquery) {
        *info = -14;
    } else if (LRWORK < std::max(1, N) && !lquery) {
        *info = -16;
    }
    if (*info != 0) {
        report_illegal("ZTREVC3", -*info);
        return;
    }
    if (lquery) return;
    if (N == 0) return;

    const zcomplex czero = zc(0.0, 0.0);
    const zcomplex cone = zc(1.0, 0.0);
    const int ione = 1;

    // Block size of the back-transformation: blocks only pay off with HOWMNY
    // "B" and room for at least NBMIN vectors. The block columns are zeroed so
    // that the rows no vector fills hold exact zeros (stale values could carry
    // NaNs into the products).
    int nb = 1;
    if (over && static_cast<long long>(LWORK) >= N + 2LL * N * kNbMin) {
        nb = static_cast<int>(
            std::min<long long>((static_cast<long long>(LWORK) - N) / (2LL * N), kNbMax));
        const int cols = 1 + 2 * nb;
        ZLASET("F", &N, &cols, &czero, &czero, work, &N);
    }

    const double unfl = mach_sfmin;
    const double ulp = mach_prec;
    const double smlnum = (n_d / ulp) * unfl;

    auto T = [&](int i, int j) -> zcomplex& { return t[at(i, j, LDT)]; };
    // Row k of WORK column c (column 0 holds the diagonal of T).
    auto W = [&](int k, int c) -> zcomplex& { return work[at(k, c + 1, N)]; };
    auto VR = [&](int i, int j) -> zcomplex& { return vr[at(i, j, LDVR)]; };
    auto VL = [&](int i, int j) -> zcomplex& { return vl[at(i, j, LDVL)]; };

    // The diagonal of T, to restore it after each shifted solve, and the
    // off-diagonal column norms of T that steer the solves.
    for (int i = 1; i <= N; ++i) W(i, 0) = T(i, i);
    leading_column_norms(N, t, LDT, rwork);

    // Subtracts T(ki,ki) from the diagonal elements lo..hi of T, replacing
    // any that fall below smin in magnitude by smin.
    auto shift_diagonal = [&](int ki, int lo, int hi, double smin) {
        for (int k = lo; k <= hi; ++k) {
            T(k, k) = T(k, k) - T(ki, ki);
            if (cabs1(T(k, k)) < smin) T(k, k) = zc(smin, 0.0);
        }
    };
    auto restore_diagonal = [&](int lo, int hi) {
        for (int k = lo; k <= hi; ++k) T(k, k) = W(k, 0);
    };

    if (rightv) {
        // Right eigenvectors, from the last eigenvalue back to the first.
        int iv = nb;
        int is = M;
        for (int ki = N; ki >= 1; --ki) {
            if (somev && select[ki - 1] == 0) continue;
            const double smin = max_nan_second(ulp * cabs1(T(ki, ki)), smlnum);

            // x(ki) = 1, x(1:ki-1) solves (T(1:ki-1,1:ki-1) - T(ki,ki)) y = -T(1:ki-1,ki).
            W(ki, iv) = cone;
            for (int k = 1; k <= ki - 1; ++k) W(k, iv) = -T(k, ki);
            shift_diagonal(ki, 1, ki - 1, smin);
            double scale = 1.0;
            if (ki > 1) {
                const int len = ki - 1;
                ZLATRS("Upper", "No transpose", "Non-unit", "Y", &len, t, ldt, &W(1, iv), &scale,
                       rwork, info);
                W(ki, iv) = zc(scale, 0.0);
            }

            if (!over) {
                // The vector of T itself, in column is of VR.
                const int len = ki;
                ZCOPY(&len, &W(1, iv), &ione, &VR(1, is), &ione);
                normalise(len, &VR(1, is));
                for (int k = ki + 1; k <= N; ++k) VR(k, is) = czero;
            } else if (nb == 1) {
                // Q*x one vector at a time: VR(:,ki) = VR(:,1:ki-1)*x(1:ki-1) + scale*VR(:,ki).
                if (ki > 1) {
                    const int cols = ki - 1;
                    const zcomplex beta = zc(scale, 0.0);
                    ZGEMV("N", &N, &cols, &cone, vr, ldvr, &W(1, iv), &ione, &beta, &VR(1, ki),
                          &ione);
                }
                normalise(N, &VR(1, ki));
            } else {
                // Collect vectors in columns iv..nb (for ki..ki+nb-iv); when
                // the block is full or this is the last one, transform it.
                for (int k = ki + 1; k <= N; ++k) W(k, iv) = czero;
                if (iv == 1 || ki == 1) {
                    const int cols = nb - iv + 1;
                    const int inner = ki + nb - iv;
                    ZGEMM("N", "N", &N, &cols, &inner, &cone, vr, ldvr, &W(1, iv), &N, &czero,
                          &W(1, nb + iv), &N);
                    for (int k = iv; k <= nb; ++k) normalise(N, &W(1, nb + k));
                    ZLACPY("F", &N, &cols, &W(1, nb + iv), &N, &VR(1, ki), ldvr);
                    iv = nb;
                } else {
                    iv = iv - 1;
                }
            }

            restore_diagonal(1, ki - 1);
            is = is - 1;
        }
    }

    if (leftv) {
        // Left eigenvectors, from the first eigenvalue to the last.
        int iv = 1;
        int is = 1;
        for (int ki = 1; ki <= N; ++ki) {
            if (somev && select[ki - 1] == 0) continue;
            const double smin = max_nan_second(ulp * cabs1(T(ki, ki)), smlnum);

            // y(ki) = 1, y(ki+1:N) solves
            // (T(ki+1:N,ki+1:N) - T(ki,ki))^H z = -conj(T(ki,ki+1:N))^T.
            W(ki, iv) = cone;
            for (int k = ki + 1; k <= N; ++k) W(k, iv) = -conj(T(ki, k));
            shift_diagonal(ki, ki + 1, N, smin);
            double scale = 1.0;
            if (ki < N) {
                // The solve is steered by RWORK from its first element, the
                // off-diagonal norms of the leading columns of T, as for the
                // right vectors. Those are not the norms of the trailing block
                // it solves with, so its overflow guards can let an overflow
                // through: only then is the solve repeated with the block's
                // true column norms (rows ki+1..ki+j-1 of column ki+j of T for
                // its column j), and the leading norms are put back after.
                const int nt = N - ki;
                ZLATRS("Upper", "Conjugate transpose", "Non-unit", "Y", &nt, &T(ki + 1, ki + 1),
                       ldt, &W(ki + 1, iv), &scale, rwork, info);
                if (!all_finite(nt, &W(ki + 1, iv))) {
                    for (int k = ki + 1; k <= N; ++k) W(k, iv) = -conj(T(ki, k));
                    for (int j = 1; j <= nt; ++j) {
                        const int len = j - 1;
                        rwork[j - 1] = DZASUM(&len, &T(ki + 1, ki + j), &ione);
                    }
                    ZLATRS("Upper", "Conjugate transpose", "Non-unit", "Y", &nt, &T(ki + 1, ki + 1),
                           ldt, &W(ki + 1, iv), &scale, rwork, info);
                    leading_column_norms(nt, t, LDT, rwork);
                }
                W(ki, iv) = zc(scale, 0.0);
            }

            if (!over) {
                // The vector of T itself, in column is of VL.
                const int len = N - ki + 1;
                ZCOPY(&len, &W(ki, iv), &ione, &VL(ki, is), &ione);
                normalise(len, &VL(ki, is));
                for (int k = 1; k <= ki - 1; ++k) VL(k, is) = czero;
            } else if (nb == 1) {
                // Q*y one vector at a time: VL(:,ki) = VL(:,ki+1:N)*y(ki+1:N) + scale*VL(:,ki).
                if (ki < N) {
                    const int cols = N - ki;
                    const zcomplex beta = zc(scale, 0.0);
                    ZGEMV("N", &N, &cols, &cone, &VL(1, ki + 1), ldvl, &W(ki + 1, iv), &ione, &beta,
                          &VL(1, ki), &ione);
                }
                normalise(N, &VL(1, ki));
            } else {
                // Collect vectors in columns 1..iv (for ki-iv+1..ki); when the
                // block is full or this is the last one, transform it.
                for (int k = 1; k <= ki - 1; ++k) W(k, iv) = czero;
                if (iv == nb || ki == N) {
                    const int inner = N - ki + iv;
                    ZGEMM("N", "N", &N, &iv, &inner, &cone, &VL(1, ki - iv + 1), ldvl,
                          &W(ki - iv + 1, 1), &N, &czero, &W(1, nb + 1), &N);
                    for (int k = 1; k <= iv; ++k) normalise(N, &W(1, nb + k));
                    ZLACPY("F", &N, &iv, &W(1, nb + 1), &N, &VL(1, ki - iv + 1), ldvl);
                    iv = 1;
                } else {
                    iv = iv + 1;
                }
            }

            restore_diagonal(ki + 1, N);
            is = is + 1;
        }
    }
}

}  // namespace qiv
