// ZTREVC3: eigenvectors of an upper triangular T, and of A = Q*T*Q^H after
// back-transformation. Properties: small residuals, normalisation to a
// largest |Re| + |Im| of 1, T unchanged bit for bit, blocked and one-by-one
// back-transformation agreeing to rounding, selected vectors equal to the
// matching ones of the full set, finite vectors where the plain substitution
// overflows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "eigen/eigen.h"
#include "frame/complex.h"
#include "kernels/matvec.h"
#include "support/child.h"
#include "support/hh_support.h"
#include "support/matrix.h"

namespace {

using hhtest::kEps;
using hhtest::Mat;
using qiv::zcomplex;

const double kNaN = std::numeric_limits<double>::quiet_NaN();

double cabs1(zcomplex z) { return std::fabs(z.re) + std::fabs(z.im); }

// A random upper triangular T with one padding row; the strictly lower part
// and the padding hold NaN, which the routine must neither read nor change.
Mat random_upper(int n, std::uint64_t seed) {
    Mat t = hhtest::random_mat(n, n, seed, n + 1);
    for (int j = 1; j <= n; ++j)
        for (int i = j + 1; i <= n + 1; ++i) t(i, j) = zcomplex{kNaN, kNaN};
    return t;
}

// The upper triangle of T with explicit zeros below.
Mat upper_part(const Mat& t) {
    Mat u(t.m, t.n);
    for (int j = 1; j <= t.n; ++j)
        for (int i = 1; i <= j; ++i) u(i, j) = t(i, j);
    return u;
}

Mat random_unitary(int n, std::uint64_t seed) {
    Mat q = hhtest::identity(n);
    if (n > 0)
        hhtest::apply_one_at_a_time(hhtest::random_reflectors(n, n, seed), 'L', false, false, q);
    return q;
}

Mat nan_mat(int m, int n) {
    Mat x(m, n);
    hhtest::fill_nan(x);
    return x;
}

struct Vectors {
    Mat t, vl, vr;
    int m = -1, info = -99;
    zcomplex work1{0, 0};
    double rwork1 = 0;
};

// One call with a NaN-filled workspace of LWORK elements.
Vectors trevc(char side, char howmny, const std::vector<int>& select, const Mat& t, const Mat& vl,
              const Mat& vr, int lwork) {
    Vectors r{t, vl, vr};
    const int n = t.n, mm = std::max(vl.n, vr.n), lrwork = std::max(1, n);
    std::vector<zcomplex> work(static_cast<std::size_t>(std::max(1, lwork)), zcomplex{kNaN, kNaN});
    std::vector<double> rwork(static_cast<std::size_t>(lrwork), kNaN);
    const char s[2] = {side, 0}, h[2] = {howmny, 0};
    const int* sel = select.empty() ? nullptr : select.data();
    qiv::ZTREVC3(s, h, sel, &n, r.t.data(), &r.t.ld, r.vl.data(), &r.vl.ld, r.vr.data(), &r.vr.ld,
                 &mm, &r.m, work.data(), &lwork, rwork.data(), &lrwork, &r.info);
    r.work1 = work[0];
    r.rwork1 = rwork[0];
    return r;
}

// Residual of the eigenvector in column c of V for eigenvalue lambda,
// ||M*v - lambda*v||_1 / (||M||_1 * ||v||_1 * n * eps). A left eigenvector of
// M (v^H*M = lambda*v^H) is a right one of M^H for conj(lambda).
double residual(const Mat& m, const Mat& v, int c, zcomplex lambda) {
    const int n = m.n;
    double r = 0.0, vn = 0.0;
    for (int i = 1; i <= n; ++i) {
        zcomplex s = qiv::zc(0.0) - lambda * v(i, c);
        for (int j = 1; j <= n; ++j) s = s + m(i, j) * v(j, c);
        r += cabs1(s);
        vn += cabs1(v(i, c));
    }
    return r / (hhtest::norm1(m) * vn * n * kEps);
}

// Componentwise: max_i |((M - lambda)x)_i| / (((|M| + |lambda|)|x|)_i * n * eps),
// with an allowance of n*safe_min per unit of coefficient size for components
// that underflowed while the vector was scaled down (extended precision).
double componentwise(const Mat& m, const Mat& v, int c, zcomplex lambda) {
    const int n = m.n;
    double worst = 0.0;
    for (int i = 1; i <= n; ++i) {
        long double re = 0, im = 0, size = 0, row = 0;
        for (int j = 1; j <= n; ++j) {
            const zcomplex e = j == i ? m(i, j) - lambda : m(i, j);
            const zcomplex x = v(j, c);
            re += static_cast<long double>(e.re) * x.re - static_cast<long double>(e.im) * x.im;
            im += static_cast<long double>(e.re) * x.im + static_cast<long double>(e.im) * x.re;
            const long double coef =
                static_cast<long double>(cabs1(m(i, j))) + (j == i ? cabs1(lambda) : 0.0);
            size += coef * cabs1(x);
            row += coef;
        }
        const long double bound = size * n * kEps + 4.0L * n * DBL_MIN * row;
        worst = std::max(worst, static_cast<double>((std::fabs(re) + std::fabs(im)) / bound));
    }
    return worst;
}

// Every column of V: finite, and its largest |Re| + |Im| is 1 to rounding.
void expect_normalised(const Mat& v, int cols) {
    for (int c = 1; c <= cols; ++c) {
        double big = 0.0;
        for (int i = 1; i <= v.m; ++i) {
            ASSERT_TRUE(std::isfinite(v(i, c).re) && std::isfinite(v(i, c).im))
                << "column " << c << " row " << i;
            big = std::max(big, cabs1(v(i, c)));
        }
        EXPECT_NEAR(big, 1.0, 4 * kEps) << "column " << c;
    }
}

// The whole array (padding and lower part included) unchanged bit for bit.
void expect_same_array(const Mat& a, const Mat& b) {
    ASSERT_EQ(a.a.size(), b.a.size());
    EXPECT_EQ(qivtest::first_difference(a.a.data(), b.a.data(), a.a.size()), -1);
}

double max_diff(const Mat& a, const Mat& b) {
    double d = 0.0;
    for (int j = 1; j <= a.n; ++j)
        for (int i = 1; i <= a.m; ++i) d = std::max(d, cabs1(a(i, j) - b(i, j)));
    return d;
}

TEST(Ztrevc3, EigenvectorsOfTriangularMatrices) {
    double worst_r = 0.0, worst_l = 0.0;
    for (int n : {1, 2, 3, 10, 57, 130, 300}) {
        SCOPED_TRACE("n=" + std::to_string(n));
        const Mat t = random_upper(n, 40 + n);
        const Vectors r = trevc('B', 'A', {}, t, nan_mat(n, n), nan_mat(n, n), 2 * n);
        EXPECT_EQ(r.info, 0);
        EXPECT_EQ(r.m, n);
        expect_same_array(r.t, t);
        expect_normalised(r.vr, n);
        expect_normalised(r.vl, n);
        const Mat u = upper_part(t);
        const Mat uh = hhtest::conj_transpose(u);
        for (int k = 1; k <= n; ++k) {
            // The vector of T(k,k) vanishes below (right) or above (left) row k.
            for (int i = k + 1; i <= n; ++i) EXPECT_EQ(cabs1(r.vr(i, k)), 0.0);
            for (int i = 1; i < k; ++i) EXPECT_EQ(cabs1(r.vl(i, k)), 0.0);
            worst_r = std::max(worst_r, residual(u, r.vr, k, t(k, k)));
            worst_l = std::max(worst_l, residual(uh, r.vl, k, qiv::conj(t(k, k))));
        }
        // One side alone gives the same vectors.
        const Vectors rr = trevc('R', 'A', {}, t, nan_mat(1, 1), nan_mat(n, n), 2 * n);
        const Vectors rl = trevc('L', 'A', {}, t, nan_mat(n, n), nan_mat(1, 1), 2 * n);
        expect_same_array(rr.vr, r.vr);
        expect_same_array(rl.vl, r.vl);
        EXPECT_TRUE(std::isnan(rr.vl(1, 1).re));  // not referenced
    }
    EXPECT_LE(worst_r, 1.0);
    EXPECT_LE(worst_l, 1.0);
    std::printf("[ residual ] triangular T: right %.3g, left %.3g (units of ||T||*||x||*n*eps)\n",
                worst_r, worst_l);
}

TEST(Ztrevc3, BackTransformedVectorsForEveryBlockSize) {
    double worst = 0.0, spread = 0.0;
    for (int n : {1, 9, 40, 150, 300}) {
        SCOPED_TRACE("n=" + std::to_string(n));
        const Mat t = random_upper(n, 70 + n);
        const Mat q = random_unitary(n, 80 + n);
        const Mat a = hhtest::mul(hhtest::mul(q, 'N', upper_part(t), 'N'), 'N', q, 'C');
        const Mat ah = hhtest::conj_transpose(a);
        // 2N: one vector at a time; 17N: blocks of 8; 129N: blocks of 64
        // (the optimum); a larger one: blocks of 128 with a short last one;
        // and an in-between size (blocks of 20).
        const int lworks[] = {2 * n, 17 * n, 129 * n, n + 2 * n * 200, 41 * n};
        Vectors first;
        for (int lw : lworks) {
            SCOPED_TRACE("lwork=" + std::to_string(lw));
            const Vectors r = trevc('B', 'B', {}, t, q, q, lw);
            EXPECT_EQ(r.info, 0);
            EXPECT_EQ(r.m, n);
            expect_same_array(r.t, t);
            expect_normalised(r.vr, n);
            expect_normalised(r.vl, n);
            for (int k = 1; k <= n; ++k) {
                worst = std::max(worst, residual(a, r.vr, k, t(k, k)));
                worst = std::max(worst, residual(ah, r.vl, k, qiv::conj(t(k, k))));
            }
            if (lw == lworks[0]) {
                first = r;
            } else {
                spread = std::max(spread, max_diff(r.vr, first.vr));
                spread = std::max(spread, max_diff(r.vl, first.vl));
            }
        }
    }
    // A itself is formed with rounding errors of order n*eps*||T||, which
    // the residual against the eigenvalues of T includes.
    EXPECT_LE(worst, 4.0);
    EXPECT_LE(spread, 1e-13);
    std::printf("[ residual ] Q*T*Q^H: %.3g; blocked vs one-by-one max difference %.3g\n", worst,
                spread);
}

TEST(Ztrevc3, SelectedVectorsAreThoseOfTheFullSet) {
    const int n = 12;
    const Mat t = random_upper(n, 90);
    const Vectors all = trevc('B', 'A', {}, t, nan_mat(n, n), nan_mat(n, n), 2 * n);
    std::vector<int> select(n, 0);
    const int chosen[] = {1, 5, 6, 12};
    for (int k : chosen) select[k - 1] = (k == 5) ? -3 : 1;  // any non-zero is true
    const Vectors some = trevc('B', 'S', select, t, nan_mat(n, 6), nan_mat(n, 6), 2 * n);
    EXPECT_EQ(some.info, 0);
    EXPECT_EQ(some.m, 4);
    expect_same_array(some.t, t);
    // Stored in columns 1..M in increasing order of the eigenvalue index.
    for (int c = 1; c <= 4; ++c) {
        const int k = chosen[c - 1];
        for (int i = 1; i <= n; ++i) {
            EXPECT_TRUE(qivtest::same_bits(some.vr(i, c), all.vr(i, k))) << c << "," << i;
            EXPECT_TRUE(qivtest::same_bits(some.vl(i, c), all.vl(i, k))) << c << "," << i;
        }
    }
    // Columns beyond M are left alone.
    for (int c = 5; c <= 6; ++c)
        for (int i = 1; i <= n; ++i) {
            EXPECT_TRUE(std::isnan(some.vr(i, c).re));
            EXPECT_TRUE(std::isnan(some.vl(i, c).re));
        }
}

// A triangular T with clustered and repeated eigenvalues and off-diagonal
// entries spanning 1e-150 to 1e150.
Mat wild_upper(int n, std::uint64_t seed) {
    Mat t = random_upper(n, seed);
    qivtest::Rng rng(seed + 1);
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i < j; ++i)
            t(i, j) = qiv::scale(std::pow(10.0, 150.0 * rng.uniform()), t(i, j));
        // Eigenvalues 1 + i, split by a few ulps or not at all.
        t(j, j) = zcomplex{1.0 + (j % 3) * 4 * kEps, 1.0};
    }
    return t;
}

TEST(Ztrevc3, CarefulSolvesKeepVectorsFinite) {
    double worst = 0.0, worst_b = 0.0;
    for (int n : {6, 25, 60}) {
        SCOPED_TRACE("n=" + std::to_string(n));
        const Mat t = wild_upper(n, 1200 + n);
        const Mat u = upper_part(t);
        const Mat uh = hhtest::conj_transpose(u);
        // The plain substitution for the last right vector overflows (or
        // divides by an exact zero): the safeguards are needed.
        {
            Mat s = u;
            std::vector<zcomplex> x(static_cast<std::size_t>(n - 1));
            for (int k = 1; k < n; ++k) {
                s(k, k) = s(k, k) - t(n, n);
                x[k - 1] = qiv::zc(0.0) - t(k, n);
            }
            const int m = n - 1, one = 1;
            qiv::ZTRSV("U", "N", "N", &m, s.data(), &s.ld, x.data(), &one);
            bool finite = true;
            for (const auto& z : x) finite = finite && std::isfinite(z.re) && std::isfinite(z.im);
            EXPECT_FALSE(finite);
        }
        const Vectors r = trevc('B', 'A', {}, t, nan_mat(n, n), nan_mat(n, n), 2 * n);
        expect_same_array(r.t, t);
        expect_normalised(r.vr, n);
        expect_normalised(r.vl, n);
        for (int k = 1; k <= n; ++k) {
            worst = std::max(worst, componentwise(u, r.vr, k, t(k, k)));
            worst = std::max(worst, componentwise(uh, r.vl, k, qiv::conj(t(k, k))));
        }
        const Mat q = random_unitary(n, 1300 + n);
        const Mat a = hhtest::mul(hhtest::mul(q, 'N', u, 'N'), 'N', q, 'C');
        const Mat ah = hhtest::conj_transpose(a);
        for (int lw : {2 * n, 129 * n}) {
            const Vectors b = trevc('B', 'B', {}, t, q, q, lw);
            expect_same_array(b.t, t);
            expect_normalised(b.vr, n);
            expect_normalised(b.vl, n);
            for (int k = 1; k <= n; ++k) {
                worst_b = std::max(worst_b, residual(a, b.vr, k, t(k, k)));
                worst_b = std::max(worst_b, residual(ah, b.vl, k, qiv::conj(t(k, k))));
            }
        }
    }
    EXPECT_LE(worst, 2.0);
    EXPECT_LE(worst_b, 4.0);
    std::printf("[ residual ] wide-range T: componentwise %.3g, Q*T*Q^H normwise %.3g\n", worst,
                worst_b);
}

// The left vector of T(ki,ki) as the left solve defines it: the right-hand
// side -conj(T(ki, ki+1:n)), the shifted and perturbed trailing diagonal, one
// careful solve steered by the off-diagonal norms of the LEADING columns of T
// (cnorm(j) for column j of T, not ki+j), then scaled to a largest |Re| + |Im|
// of 1. Returns the vector of T (HOWMNY "A" layout) and whether the solve
// came back finite.
std::pair<std::vector<zcomplex>, bool> left_vector_with_leading_norms(const Mat& t0, int ki) {
    Mat t = t0;
    const int n = t.n;
    std::vector<double> cnorm(n, 0.0);
    for (int j = 2; j <= n; ++j)
        for (int i = 1; i < j; ++i) cnorm[j - 1] += cabs1(t(i, j));
    const double smin = std::max(0x1p-52 * cabs1(t(ki, ki)), (n / 0x1p-52) * DBL_MIN);
    std::vector<zcomplex> x(n, zcomplex{0, 0});
    x[ki - 1] = zcomplex{1, 0};
    for (int k = ki + 1; k <= n; ++k) {
        x[k - 1] = -qiv::conj(t(ki, k));
        t(k, k) = t(k, k) - t(ki, ki);
        if (cabs1(t(k, k)) < smin) t(k, k) = zcomplex{smin, 0};
    }
    bool finite = true;
    if (ki < n) {
        const int nt = n - ki;
        double scale = 1;
        int info = 0;
        qiv::ZLATRS("U", "C", "N", "Y", &nt, &t(ki + 1, ki + 1), &t.ld, &x[ki], &scale,
                    cnorm.data(), &info);
        x[ki - 1] = zcomplex{scale, 0};
        for (int k = ki; k < n; ++k) finite = finite && std::isfinite(x[k].re + x[k].im);
    }
    double big = 0.0;
    for (const zcomplex& v : x) big = std::max(big, cabs1(v));
    const double rec = 1.0 / big;
    for (zcomplex& v : x) v = qiv::scale(rec, v);
    return {x, finite};
}

TEST(Ztrevc3, LeftVectorsFollowTheLeadingNormsWhereTheyGiveFiniteResults) {
    // Ordinary and wide-range triangular matrices: every left vector is,
    // bit for bit, the one of the single solve steered by the leading norms.
    for (int n : {3, 9, 24}) {
        for (int variant = 0; variant < 3; ++variant) {
            Mat t = random_upper(n, 1500 + n + variant);
            for (int j = 1; j <= n; ++j) {
                // Wide-range entries, or eigenvalues repeated in threes with
                // large leading columns (the careful solve; the leading norms
                // then differ from the trailing block's).
                for (int i = 1; i <= j && variant == 1; ++i)
                    t(i, j) = qiv::scale(std::pow(10.0, (j - 2 * i) % 9), t(i, j));
                if (variant == 2) {
                    t(j, j) = zcomplex{static_cast<double>(j % 3), 0};
                    for (int i = 1; i < j; ++i)
                        t(i, j) = qiv::scale(std::pow(10.0, 8 - j), t(i, j));
                }
            }
            const Vectors r = trevc('L', 'A', {}, t, nan_mat(n, n), nan_mat(n, n), 2 * n);
            for (int ki = 1; ki <= n; ++ki) {
                const auto [want, finite] = left_vector_with_leading_norms(t, ki);
                ASSERT_TRUE(finite) << n << " " << variant << " " << ki;
                for (int i = 1; i <= n; ++i)
                    EXPECT_TRUE(qivtest::same_bits(r.vl(i, ki), want[i - 1]))
                        << n << " " << variant << " vector " << ki << " row " << i;
            }
        }
    }
}

TEST(Ztrevc3, LeftSolvesFallBackToTheTrailingNormsWhenTheyOverflow) {
    // Columns 1..5 of T are small; the trailing columns 6..8 carry 1e200
    // entries in rows 5 and up. A left solve on T(KI+1:8, KI+1:8), KI = 4 or
    // 5, overflows unless it is done carefully, which its own column norms
    // call for; the norms of the leading columns of T do not: that solve is
    // repeated with the trailing block's norms and gives a finite vector.
    const int n = 8;
    Mat t = random_upper(n, 1400);
    for (int j = 1; j <= n; ++j) {
        t(j, j) = zcomplex{static_cast<double>(j), 0.5};
        for (int i = 5; i < j; ++i)
            if (j >= 6) t(i, j) = qiv::scale(1e200, t(i, j));
    }
    int overflowing = 0;
    for (int ki = 1; ki <= n; ++ki) overflowing += !left_vector_with_leading_norms(t, ki).second;
    EXPECT_GT(overflowing, 0) << "the fallback is not exercised";
    const Mat u = upper_part(t);
    const Mat uh = hhtest::conj_transpose(u);
    for (char howmny : {'A', 'B'}) {
        SCOPED_TRACE(std::string(1, howmny));
        const Mat q = howmny == 'B' ? random_unitary(n, 1401) : nan_mat(n, n);
        const Vectors r = trevc('B', howmny, {}, t, q, q, 2 * n);
        expect_same_array(r.t, t);
        expect_normalised(r.vl, n);
        expect_normalised(r.vr, n);
        if (howmny == 'A') {
            for (int k = 1; k <= n; ++k) {
                EXPECT_LE(componentwise(uh, r.vl, k, qiv::conj(t(k, k))), 2.0) << k;
                EXPECT_LE(componentwise(u, r.vr, k, t(k, k)), 2.0) << k;
            }
        } else {
            const Mat a = hhtest::mul(hhtest::mul(q, 'N', u, 'N'), 'N', q, 'C');
            const Mat ah = hhtest::conj_transpose(a);
            for (int k = 1; k <= n; ++k) {
                EXPECT_LE(residual(ah, r.vl, k, qiv::conj(t(k, k))), 4.0) << k;
                EXPECT_LE(residual(a, r.vr, k, t(k, k)), 4.0) << k;
            }
        }
    }
}

TEST(Ztrevc3, WorkspaceQueryAndEmptyMatrix) {
    auto query = [](int n, int lwork, int lrwork, char side, char howmny) {
        Mat t = random_upper(std::max(n, 1), 5);
        Mat v = nan_mat(std::max(n, 1), std::max(n, 1));
        const Mat t0 = t, v0 = v;
        std::vector<zcomplex> work(1, zcomplex{kNaN, kNaN});
        std::vector<double> rwork(1, kNaN);
        std::vector<int> select(static_cast<std::size_t>(std::max(n, 1)), 1);
        int m = -1, info = -99, mm = std::max(n, 1), ld = std::max(n, 1);
        const char s[2] = {side, 0}, h[2] = {howmny, 0};
        qiv::ZTREVC3(s, h, select.data(), &n, t.data(), &t.ld, v.data(), &ld, v.data(), &ld, &mm,
                     &m, work.data(), &lwork, rwork.data(), &lrwork, &info);
        EXPECT_EQ(info, 0);
        EXPECT_EQ(m, n);
        expect_same_array(t, t0);  // a query does no work
        expect_same_array(v, v0);
        EXPECT_EQ(work[0].im, 0.0);
        return std::make_pair(work[0].re, rwork[0]);
    };
    EXPECT_EQ(query(10, -1, 10, 'B', 'B'), std::make_pair(1290.0, 10.0));
    EXPECT_EQ(query(10, 20, -1, 'R', 'A'), std::make_pair(1290.0, 10.0));
    EXPECT_EQ(query(10, -1, -1, 'l', 's'), std::make_pair(1290.0, 10.0));
    EXPECT_EQ(query(1, -1, 1, 'B', 'B'), std::make_pair(129.0, 1.0));
    EXPECT_EQ(query(300, -1, 300, 'B', 'B'), std::make_pair(38700.0, 300.0));
    EXPECT_EQ(query(0, -1, 1, 'B', 'B'), std::make_pair(1.0, 1.0));
    // N = 0 without a query: legal, and nothing to do.
    EXPECT_EQ(query(0, 1, 1, 'B', 'A'), std::make_pair(1.0, 1.0));
}

TEST(Ztrevc3, ArgumentChecks) {
    const int n = 4;
    Mat t = random_upper(n, 6);
    Mat v(n, n);
    std::vector<zcomplex> work(8 * n);
    std::vector<double> rwork(n);
    std::vector<int> select{1, 0, 1, 0};
    auto call = [&](const char* side, const char* howmny, int nn, int ldt, int ldvl, int ldvr,
                    int mm, int lwork, int lrwork) {
        int m = 0, info = 0;
        qiv::ZTREVC3(side, howmny, select.data(), &nn, t.data(), &ldt, v.data(), &ldvl, v.data(),
                     &ldvr, &mm, &m, work.data(), &lwork, rwork.data(), &lrwork, &info);
    };
    EXPECT_ILLEGAL("ZTREVC3", 1, call("X", "A", n, n, n, n, n, 2 * n, n));
    EXPECT_ILLEGAL("ZTREVC3", 2, call("B", "X", n, n, n, n, n, 2 * n, n));
    EXPECT_ILLEGAL("ZTREVC3", 4, call("R", "A", -1, n, n, n, n, 2 * n, n));
    EXPECT_ILLEGAL("ZTREVC3", 6, call("R", "A", n, n - 1, n, n, n, 2 * n, n));
    EXPECT_ILLEGAL("ZTREVC3", 8, call("R", "A", n, n, 0, n, n, 2 * n, n));
    EXPECT_ILLEGAL("ZTREVC3", 8, call("L", "A", n, n, n - 1, n, n, 2 * n, n));
    EXPECT_ILLEGAL("ZTREVC3", 10, call("L", "A", n, n, n, 0, n, 2 * n, n));
    EXPECT_ILLEGAL("ZTREVC3", 10, call("B", "B", n, n, n, n - 1, n, 2 * n, n));
    EXPECT_ILLEGAL("ZTREVC3", 11, call("B", "A", n, n, n, n, n - 1, 2 * n, n));
    EXPECT_ILLEGAL("ZTREVC3", 11, call("B", "S", n, n, n, n, 1, 2 * n, n));  // two selected
    EXPECT_ILLEGAL("ZTREVC3", 14, call("B", "A", n, n, n, n, n, 2 * n - 1, n));
    EXPECT_ILLEGAL("ZTREVC3", 16, call("B", "A", n, n, n, n, n, 2 * n, n - 1));
    // Several illegal at once: the first is named; a query is checked too.
    EXPECT_ILLEGAL("ZTREVC3", 2, call("R", "Q", -1, 0, 0, 0, -1, 0, 0));
    EXPECT_ILLEGAL("ZTREVC3", 6, call("L", "B", n, 1, 0, 0, 0, -1, 0));
    // Legal: only one side needs its leading dimension to cover N, and two
    // selected vectors fit in MM = 2.
    call("R", "A", n, n, 1, n, n, 2 * n, n);
    call("L", "A", n, n, n, 1, n, 2 * n, n);
    call("B", "S", n, n, n, n, 2, 2 * n, n);
}

}  // namespace
