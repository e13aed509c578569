// ZLATRS: solves op(A)*x = s*b for a triangular A, choosing s <= 1 so that
// nothing overflows however ill-conditioned A is. A cheap growth estimate from
// the column norms decides whether the plain substitution of ZTRSV is safe;
// otherwise a careful substitution rescales x before any division or update
// that could overflow and reports the accumulated factor in SCALE. An exactly
// zero diagonal element gives SCALE = 0 and a non-zero x with op(A)*x = 0.
#include <algorithm>
#include <cmath>

#include "eigen/eigen.h"
#include "env/machine.h"
#include "frame/complex.h"
#include "frame/lsame.h"
#include "frame/xerbla.h"
#include "kernels/matvec.h"
#include "kernels/vector.h"
#include "kernels/vector_engine.h"

namespace qiv {

namespace {

// |Re z / 2| + |Im z / 2|: a magnitude that cannot overflow.
inline double cabs2(zcomplex z) { return std::fabs(z.re * 0.5) + std::fabs(z.im * 0.5); }

inline double cabs1(zcomplex z) { return DCABS1(&z); }

// The complex product z*(t + 0i), all four real products formed.
inline zcomplex times_real(zcomplex z, double t) { return z * zc(t, 0.0); }

// ZAXPY(len, mult, a, 1, x, 1), then IZAMAX(len, x, 1): the update of x by a
// column and the index of its largest element. The vector engine does both in
// one pass (same bits, same index) unless ZAXPY would return at once or the
// vectors overlap.
int update_and_find_largest(int len, zcomplex mult, const zcomplex* a, zcomplex* x) {
    const int ione = 1;
    if (DCABS1(&mult) == 0.0 || !walks_disjoint(a, 1, x, 1, len)) {
        ZAXPY(&len, &mult, a, &ione, x, &ione);
        return IZAMAX(&len, x, &ione);
    }
    return zaxpy_izamax_unit(best_isa(), len, mult, a, x);
}

}  // namespace

void ZLATRS(const char* uplo, const char* trans, const char* diag, const char* normin, const int* n,
            const zcomplex* a, const int* lda, zcomplex* x, double* scale, double* cnorm,
            int* info) {
    const int N = *n, LDA = *lda;
    const bool upper = LSAME(uplo, "U");
    const bool notran = LSAME(trans, "N");
    const bool conjg = LSAME(trans, "C");
    const bool nounit = LSAME(diag, "N");
    *info = 0;
    if (!upper && !LSAME(uplo, "L")) {
        *info = -1;
    } else if (!notran && !LSAME(trans, "T") && !conjg) {
        *info = -2;
    } else if (!nounit && !LSAME(diag, "U")) {
        *info = -3;
    } else if (!LSAME(normin, "Y") && !LSAME(normin, "N")) {
        *info = -4;
    } else if (N < 0) {
        *info = -5;
    } else if (LDA < std::max(1, N)) {
        *info = -7;
    }
    if (*info != 0) {
        report_illegal("ZLATRS", -*info);
        return;
    }

    *scale = 1.0;
    if (N == 0) return;

    const double smlnum = mach_sfmin / mach_prec;
    const double bignum = 1.0 / smlnum;
    const double overflow = mach_ovfl;
    const int ione = 1;
    auto A = [&](int i, int j) -> const zcomplex& { return a[at(i, j, LDA)]; };

    // Off-diagonal column norms, unless the caller supplied them.
    if (LSAME(normin, "N")) {
        if (upper) {
            for (int j = 1; j <= N; ++j) {
                const int len = j - 1;
                cnorm[j - 1] = DZASUM(&len, &A(1, j), &ione);
            }
        } else {
            for (int j = 1; j <= N - 1; ++j) {
                const int len = N - j;
                cnorm[j - 1] = DZASUM(&len, &A(j + 1, j), &ione);
            }
            cnorm[N - 1] = 0.0;
        }
    }

    // TSCAL: a factor for the whole matrix when its column norms are too large.
    const int imax = IDAMAX(&N, cnorm, &ione);
    double tmax = cnorm[imax - 1];
    double tscal = 1.0;
    if (tmax <= bignum * 0.5) {
        tscal = 1.0;
    } else if (tmax <= overflow) {
        tscal = 0.5 / (smlnum * tmax);
        DSCAL(&N, &tscal, cnorm, &ione);
    } else {
        // Some column norm is not representable: find the largest real or
        // imaginary part off the diagonal (NaNs ignored).
        tmax = 0.0;
        auto widen = [&tmax](double v) {
            const double av = std::fabs(v);
            if (av > tmax) tmax = av;
        };
        if (upper) {
            for (int j = 2; j <= N; ++j)
                for (int i = 1; i <= j - 1; ++i) {
                    widen(A(i, j).re);
                    widen(A(i, j).im);
                }
        } else {
            for (int j = 1; j <= N - 1; ++j)
                for (int i = j + 1; i <= N; ++i) {
                    widen(A(i, j).re);
                    widen(A(i, j).im);
                }
        }
        if (tmax > overflow) {
            // The matrix holds an infinity: let the plain solve propagate it.
            ZTRSV(uplo, trans, diag, n, a, lda, x, &ione);
            return;
        }
        // Only entries above BIGNUM/2 call for scaling the matrix down. With
        // none (an infinite norm supplied for a column whose entries are
        // small, or all zero) 1/(SMLNUM*TMAX) would scale A up, to infinity
        // when TMAX is 0 or below 2^-54; the norms are then recomputed with
        // TSCAL = 1.
        tscal = tmax > bignum * 0.5 ? 1.0 / (smlnum * tmax) : 1.0;
        const double twotscal = 2.0 * tscal;
        for (int j = 1; j <= N; ++j) {
            if (cnorm[j - 1] <= overflow) {
                cnorm[j - 1] = cnorm[j - 1] * tscal;
            } else {
                double s = 0.0;
                if (upper) {
                    for (int i = 1; i <= j - 1; ++i) s = s + twotscal * cabs2(A(i, j));
                } else {
                    for (int i = j + 1; i <= N; ++i) s = s + twotscal * cabs2(A(i, j));
                }
                cnorm[j - 1] = s;
            }
        }
    }

    // Growth estimate: a lower bound on how small the computed components may
    // become relative to the largest one, and so whether ZTRSV is safe.
    double xmax = 0.0;
    for (int j = 1; j <= N; ++j) {
        const double v = cabs2(x[j - 1]);
        if (v > xmax) xmax = v;
    }
    double xbnd = xmax;

    int jfirst, jlast, jinc;
    if (notran == upper) {  // A*x upper, or op(A)*x lower: from N down to 1
        jfirst = N;
        jlast = 1;
        jinc = -1;
    } else {
        jfirst = 1;
        jlast = N;
        jinc = 1;
    }
    const int jend = jlast + jinc;

    double grow = 0.0;
    if (tscal != 1.0) {
        grow = 0.0;
    } else if (notran && nounit) {
        grow = 0.5 / max_nan_second(xbnd, smlnum);
        xbnd = grow;
        bool stopped = false;
        for (int j = jfirst; j != jend; j += jinc) {
            if (grow <= smlnum) {
                stopped = true;
                break;
            }
            const double tjj = cabs1(A(j, j));
            if (tjj >= smlnum) {
                xbnd = std::min(xbnd, std::min(1.0, tjj) * grow);
            } else {
                xbnd = 0.0;
            }
            if (tjj + cnorm[j - 1] >= smlnum) {
                grow = grow * (tjj / (tjj + cnorm[j - 1]));
            } else {
                grow = 0.0;
            }
        }
        if (!stopped) grow = xbnd;
    } else if (notran) {
        grow = std::min(1.0, 0.5 / max_nan_second(xbnd, smlnum));
        for (int j = jfirst; j != jend; j += jinc) {
            if (grow <= smlnum) break;
            grow = grow * (1.0 / (1.0 + cnorm[j - 1]));
        }
    } else if (nounit) {
        grow = 0.5 / max_nan_second(xbnd, smlnum);
        xbnd = grow;
        bool stopped = false;
        for (int j = jfirst; j != jend; j += jinc) {
            if (grow <= smlnum) {
                stopped = true;
                break;
            }
            const double xj = 1.0 + cnorm[j - 1];
            grow = std::min(grow, xbnd / xj);
            const double tjj = cabs1(A(j, j));
            if (tjj >= smlnum) {
                if (xj > tjj) xbnd = xbnd * (tjj / xj);
            } else {
                xbnd = 0.0;
            }
        }
        if (!stopped) grow = std::min(grow, xbnd);
    } else {
        grow = std::min(1.0, 0.5 / max_nan_second(xbnd, smlnum));
        for (int j = jfirst; j != jend; j += jinc) {
            if (grow <= smlnum) break;
            grow = grow / (1.0 + cnorm[j - 1]);
        }
    }

    if (grow * tscal > smlnum) {
        // The plain substitution cannot overflow.
        ZTRSV(uplo, trans, diag, n, a, lda, x, &ione);
    } else {
        // Careful substitution.
        if (xmax > bignum * 0.5) {
            *scale = (bignum * 0.5) / xmax;
            ZDSCAL(&N, scale, x, &ione);
            xmax = bignum;
        } else {
            xmax = xmax * 2.0;
        }
        auto scale_x = [&](double rec) { ZDSCAL(&N, &rec, x, &ione); };
        // The diagonal element of TSCAL*op(A) in column j.
        auto tjjs_of = [&](int j) -> zcomplex {
            if (!nounit) return zc(tscal, 0.0);
            return times_real(conjg ? conj(A(j, j)) : A(j, j), tscal);
        };
        // x(1:N) = 0, x(j) = 1: a solution of op(A)*x = 0 for a zero pivot.
        auto null_vector = [&](int j) {
            for (int i = 1; i <= N; ++i) x[i - 1] = zc(0.0, 0.0);
            x[j - 1] = zc(1.0, 0.0);
            *scale = 0.0;
            xmax = 0.0;
        };
        // Scales x, SCALE and the bound XMAX by rec.
        auto rescale = [&](double rec) {
            scale_x(rec);
            *scale = *scale * rec;
            xmax = xmax * rec;
        };
        // x(j) = x(j) / TJJS, with x scaled down first where the quotient
        // could overflow; a zero (or NaN) diagonal element gives the null
        // vector instead. With refine, the scaling for a diagonal element
        // below SMLNUM is also divided by CNORM(j) when that exceeds 1 (the
        // update of x that follows grows by up to that factor). Returns
        // CABS1 of x(j) after the division.
        auto divide_by_diagonal = [&](int j, double xj, bool refine) -> double {
            const zcomplex tjjs = tjjs_of(j);
            const double tjj = cabs1(tjjs);
            if (tjj > smlnum) {
                if (tjj < 1.0 && xj > tjj * bignum) rescale(1.0 / xj);
            } else if (tjj > 0.0) {
                if (xj > tjj * bignum) {
                    double rec = (tjj * bignum) / xj;
                    if (refine && cnorm[j - 1] > 1.0) rec = rec / cnorm[j - 1];
                    rescale(rec);
                }
            } else {
                null_vector(j);
                return 1.0;
            }
            x[j - 1] = ZLADIV(&x[j - 1], &tjjs);
            return cabs1(x[j - 1]);
        };

        if (notran) {
            for (int j = jfirst; j != jend; j += jinc) {
                double xj = cabs1(x[j - 1]);
                if (nounit || tscal != 1.0) xj = divide_by_diagonal(j, xj, true);

                // Keep the update x - x(j)*A(:,j) from overflowing.
                if (xj > 1.0) {
                    double rec = 1.0 / xj;
                    if (cnorm[j - 1] > (bignum - xmax) * rec) {
                        rec = rec * 0.5;
                        scale_x(rec);
                        *scale = *scale * rec;
                    }
                } else if (xj * cnorm[j - 1] > bignum - xmax) {
                    scale_x(0.5);
                    *scale = *scale * 0.5;
                }

                const zcomplex mult = -times_real(x[j - 1], tscal);
                if (upper) {
                    if (j > 1) {
                        const int i = update_and_find_largest(j - 1, mult, &A(1, j), x);
                        xmax = cabs1(x[i - 1]);
                    }
                } else if (j < N) {
                    const int i = j + update_and_find_largest(N - j, mult, &A(j + 1, j), &x[j]);
                    xmax = cabs1(x[i - 1]);
                }
            }
        } else {
            for (int j = jfirst; j != jend; j += jinc) {
                double xj = cabs1(x[j - 1]);
                zcomplex uscal = zc(tscal, 0.0);
                double rec = 1.0 / max_nan_second(xmax, 1.0);
                zcomplex tjjs = zc(0.0, 0.0);
                if (cnorm[j - 1] > (bignum - xj) * rec) {
                    // The dot product could overflow: scale x down, and fold
                    // the division by a large diagonal element into USCAL.
                    rec = rec * 0.5;
                    tjjs = tjjs_of(j);
                    const double tjj = cabs1(tjjs);
                    if (tjj > 1.0) {
                        rec = std::min(1.0, rec * tjj);
                        uscal = ZLADIV(&uscal, &tjjs);
                    }
                    if (rec < 1.0) rescale(rec);
                }

                zcomplex csumj = zc(0.0, 0.0);
                if (is_one(uscal)) {
                    if (upper) {
                        const int len = j - 1;
                        csumj = conjg ? ZDOTC(&len, &A(1, j), &ione, x, &ione)
                                      : ZDOTU(&len, &A(1, j), &ione, x, &ione);
                    } else if (j < N) {
                        const int len = N - j;
                        csumj = conjg ? ZDOTC(&len, &A(j + 1, j), &ione, &x[j], &ione)
                                      : ZDOTU(&len, &A(j + 1, j), &ione, &x[j], &ione);
                    }
                } else {
                    const int lo = upper ? 1 : j + 1;
                    const int hi = upper ? j - 1 : N;
                    for (int i = lo; i <= hi; ++i) {
                        const zcomplex aij = conjg ? conj(A(i, j)) : A(i, j);
                        csumj = csumj + (aij * uscal) * x[i - 1];
                    }
                }

                if (uscal.re == tscal && uscal.im == 0.0) {
                    // No division folded into USCAL: subtract, then divide.
                    x[j - 1] = x[j - 1] - csumj;
                    xj = cabs1(x[j - 1]);
                    if (nounit || tscal != 1.0) divide_by_diagonal(j, xj, false);
                } else {
                    // The division was folded into the dot product.
                    x[j - 1] = ZLADIV(&x[j - 1], &tjjs) - csumj;
                }
                xmax = max_nan_second(xmax, cabs1(x[j - 1]));
            }
        }
        *scale = *scale / tscal;
    }

    // Give CNORM back its unscaled values.
    if (tscal != 1.0) {
        const double rtscal = 1.0 / tscal;
        DSCAL(&N, &rtscal, cnorm, &ione);
    }
}

}  // namespace qiv
