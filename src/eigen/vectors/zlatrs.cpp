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

// ZAXPY(len, mult, a, 1, x, 1), then CABS1 of x(IZAMAX(len, x, 1)): the
// update of x by a column and the magnitude of its largest element. The
// vector engine does both in one pass (same bits) unless ZAXPY would return at
// once or the vectors overlap.
double update_and_largest(int len, zcomplex mult, const zcomplex* a, zcomplex* x) {
    const int ione = 1;
    if (DCABS1(&mult) == 0.0 || !walks_disjoint(a, 1, x, 1, len)) {
        ZAXPY(&len, &mult, a, &ione, x, &ione);
        return cabs1(x[IZAMAX(&len, x, &ione) - 1]);
    }
    return zaxpy_izamax_magnitude(best_isa(), len, mult, a, x);
}

// The diagonal element of op(A) in column j (from 1): A(j, j), conjugated for
// op = conjugate transpose.
struct Diagonal {
    const zcomplex* a;
    std::ptrdiff_t step;  // from one diagonal element to the next
    bool conj;

    zcomplex operator()(int j) const {
        const zcomplex d = a[(j - 1) * step];
        return conj ? qiv::conj(d) : d;
    }
};

// The bound limits of the careful substitution and the matrix-wide factor.
struct Limits {
    double smlnum, bignum, tscal;
    bool nounit;
    const double* cnorm;
};

// One right-hand side in the careful substitution: x (n elements), its SCALE,
// the bound XMAX, the diagonal it divides by. `rescalings` counts every
// change of scale of x.
struct CarefulRhs {
    int n;
    zcomplex* x;
    double* scale;
    double xmax;
    Diagonal diag;
    const Limits* lim;
    long rescalings = 0;

    void scale_x(double rec) {
        const int ione = 1;
        ZDSCAL(&n, &rec, x, &ione);
        ++rescalings;
    }
    // The diagonal element of TSCAL*op(A) in column j.
    zcomplex tjjs(int j) const {
        if (!lim->nounit) return zc(lim->tscal, 0.0);
        return times_real(diag(j), lim->tscal);
    }
    // x(1:N) = 0, x(j) = 1: a solution of op(A)*x = 0 for a zero pivot.
    void null_vector(int j) {
        for (int i = 1; i <= n; ++i) x[i - 1] = zc(0.0, 0.0);
        x[j - 1] = zc(1.0, 0.0);
        *scale = 0.0;
        xmax = 0.0;
        ++rescalings;
    }
    // Scales x, SCALE and the bound XMAX by rec.
    void rescale(double rec) {
        scale_x(rec);
        *scale = *scale * rec;
        xmax = xmax * rec;
    }
    // x(j) = x(j) / TJJS, with x scaled down first where the quotient could
    // overflow; a zero (or NaN) diagonal element gives the null vector
    // instead. With refine, the scaling for a diagonal element below SMLNUM
    // is also divided by CNORM(j) when that exceeds 1 (the update of x that
    // follows grows by up to that factor). Returns CABS1 of x(j) after the
    // division.
    double divide_by_diagonal(int j, double xj, bool refine) {
        const zcomplex t = tjjs(j);
        const double tjj = cabs1(t);
        const double bignum = lim->bignum;
        if (tjj > lim->smlnum) {
            if (tjj < 1.0 && xj > tjj * bignum) rescale(1.0 / xj);
        } else if (tjj > 0.0) {
            if (xj > tjj * bignum) {
                double rec = (tjj * bignum) / xj;
                if (refine && lim->cnorm[j - 1] > 1.0) rec = rec / lim->cnorm[j - 1];
                rescale(rec);
            }
        } else {
            null_vector(j);
            return 1.0;
        }
        x[j - 1] = ZLADIV(&x[j - 1], &t);
        return cabs1(x[j - 1]);
    }
    // Column j of the careful substitution with A*x up to the update of the
    // other elements: x(j) divided by its diagonal element, x scaled so that
    // the update x - x(j)*A(:,j) cannot overflow. Returns the update's
    // multiplier -TSCAL*x(j).
    zcomplex before_update(int j) {
        const double bignum = lim->bignum, cn = lim->cnorm[j - 1];
        double xj = cabs1(x[j - 1]);
        if (lim->nounit || lim->tscal != 1.0) xj = divide_by_diagonal(j, xj, true);
        if (xj > 1.0) {
            double rec = 1.0 / xj;
            if (cn > (bignum - xmax) * rec) {
                rec = rec * 0.5;
                scale_x(rec);
                *scale = *scale * rec;
            }
        } else if (xj * cn > bignum - xmax) {
            scale_x(0.5);
            *scale = *scale * 0.5;
        }
        return -times_real(x[j - 1], lim->tscal);
    }
};

// The growth estimate of the plain substitution for A*x with a non-unit
// diagonal, over the columns jfirst, jfirst + jinc, ... before jend, from the
// bound xbnd of |x|.
double grow_notran_nounit(int jfirst, int jend, int jinc, double xbnd, const Diagonal& diag,
                          const double* cnorm, double smlnum) {
    double grow = 0.5 / max_nan_second(xbnd, smlnum);
    xbnd = grow;
    for (int j = jfirst; j != jend; j += jinc) {
        if (grow <= smlnum) return grow;
        const double tjj = cabs1(diag(j));
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
    return xbnd;
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

    const Diagonal diagonal{a, LDA + 1, conjg};

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
        grow = grow_notran_nounit(jfirst, jend, jinc, xbnd, diagonal, cnorm, smlnum);
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
        const Limits lim{smlnum, bignum, tscal, nounit, cnorm};
        CarefulRhs rhs{N, x, scale, xmax, diagonal, &lim};
        // Upper and transposed: the dot product of column j runs over
        // x(1:j-1), which stays as it is until x is rescaled. The sums of a
        // block of columns over the rows before the block are formed together
        // (each its own chain in row order from zero, as ZDOTC/ZDOTU form it),
        // and column j adds the rows of the block before it. Rescaling x
        // makes those partial sums stale: the next dot product starts a new
        // block, narrower after each such loss so that frequent rescaling
        // costs no more than single dot products.
        constexpr int kHeadBlock = 16;
        zcomplex head[kHeadBlock];
        int head_j0 = 0, head_end = 0, head_width = kHeadBlock;
        long head_rescalings = 0;
        auto dot_upper = [&](int j) -> zcomplex {
            const bool stale = rhs.rescalings != head_rescalings;
            if (j >= head_end || stale) {
                if (head_end != 0)
                    head_width =
                        stale ? std::max(1, head_width / 2) : std::min(kHeadBlock, head_width * 2);
                head_j0 = j;
                head_end = std::min(N + 1, j + head_width);
                head_rescalings = rhs.rescalings;
                for (int c = 0; c < head_end - j; ++c) head[c] = zc(0.0, 0.0);
                zdot_columns(conjg, j - 1, head_end - j, &A(1, j), LDA, x, head);
            }
            zcomplex sum = head[j - head_j0];
            for (int i = head_j0; i < j; ++i)
                sum = sum + (conjg ? conj(A(i, j)) : A(i, j)) * x[i - 1];
            return sum;
        };

        if (notran) {
            for (int j = jfirst; j != jend; j += jinc) {
                const zcomplex mult = rhs.before_update(j);
                if (upper) {
                    if (j > 1) rhs.xmax = update_and_largest(j - 1, mult, &A(1, j), x);
                } else if (j < N) {
                    rhs.xmax = update_and_largest(N - j, mult, &A(j + 1, j), &x[j]);
                }
            }
        } else {
            for (int j = jfirst; j != jend; j += jinc) {
                double xj = cabs1(x[j - 1]);
                zcomplex uscal = zc(tscal, 0.0);
                double rec = 1.0 / max_nan_second(rhs.xmax, 1.0);
                zcomplex tjjs = zc(0.0, 0.0);
                if (cnorm[j - 1] > (bignum - xj) * rec) {
                    // The dot product could overflow: scale x down, and fold
                    // the division by a large diagonal element into USCAL.
                    rec = rec * 0.5;
                    tjjs = rhs.tjjs(j);
                    const double tjj = cabs1(tjjs);
                    if (tjj > 1.0) {
                        rec = std::min(1.0, rec * tjj);
                        uscal = ZLADIV(&uscal, &tjjs);
                    }
                    if (rec < 1.0) rhs.rescale(rec);
                }

                zcomplex csumj = zc(0.0, 0.0);
                if (is_one(uscal)) {
                    if (upper) {
                        csumj = dot_upper(j);
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
                    if (nounit || tscal != 1.0) rhs.divide_by_diagonal(j, xj, false);
                } else {
                    // The division was folded into the dot product.
                    x[j - 1] = ZLADIV(&x[j - 1], &tjjs) - csumj;
                }
                rhs.xmax = max_nan_second(rhs.xmax, cabs1(x[j - 1]));
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
