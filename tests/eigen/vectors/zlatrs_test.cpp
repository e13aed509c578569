// ZLATRS: the overflow-safe triangular solve. Properties: the safe case is
// exactly the plain solve, the careful path solves op(A)*x = s*b to rounding
// (componentwise, relative to |op(A)|*|x| + s*|b|) without overflowing, a zero
// pivot gives s = 0 and a null vector, column norms are returned as supplied.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
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
using qivtest::same_bits;

const double kInf = std::numeric_limits<double>::infinity();
const char kUplos[] = {'U', 'L'};
const char kTranss[] = {'N', 'T', 'C'};
const char kDiags[] = {'N', 'U'};

bool in_triangle(char uplo, int i, int j) { return uplo == 'U' ? i < j : i > j; }

// A random triangular matrix: off-diagonal parts in [-1, 1), diagonal
// d + random (so d > 2 makes it well conditioned). The other triangle, and the
// diagonal when it is a unit one, hold NaN: the solve must not read them.
Mat random_triangular(int n, char uplo, char diag, double d, std::uint64_t seed) {
    Mat a = hhtest::random_mat(n, n, seed, n + 1);
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= a.ld; ++i) {
            zcomplex& e = a.a[qiv::at(i, j, a.ld)];
            if (i > n || (i != j && !in_triangle(uplo, i, j)))
                e = zcomplex{std::nan(""), std::nan("")};
            else if (i == j)
                e = diag == 'U' ? zcomplex{std::nan(""), 1.0} : zcomplex{d + e.re, e.im};
        }
    return a;
}

std::vector<zcomplex> random_vec(int n, std::uint64_t seed) {
    qivtest::Rng rng(seed);
    std::vector<zcomplex> v(static_cast<std::size_t>(n));
    for (auto& z : v) z = rng.z();
    return v;
}

struct Solved {
    std::vector<zcomplex> x;
    double scale = -1.0;
    std::vector<double> cnorm;
    int info = -99;
};

Solved latrs(char uplo, char trans, char diag, char normin, const Mat& a,
             const std::vector<zcomplex>& b, std::vector<double> cnorm = {}) {
    Solved s;
    s.x = b;
    s.cnorm = cnorm.empty() ? std::vector<double>(static_cast<std::size_t>(a.n), -7.0) : cnorm;
    const char u[2] = {uplo, 0}, t[2] = {trans, 0}, d[2] = {diag, 0}, nm[2] = {normin, 0};
    qiv::ZLATRS(u, t, d, nm, &a.n, a.data(), &a.ld, s.x.data(), &s.scale, s.cnorm.data(), &s.info);
    return s;
}

std::vector<zcomplex> trsv(char uplo, char trans, char diag, const Mat& a,
                           std::vector<zcomplex> b) {
    const char u[2] = {uplo, 0}, t[2] = {trans, 0}, d[2] = {diag, 0};
    const int one = 1;
    qiv::ZTRSV(u, t, d, &a.n, a.data(), &a.ld, b.data(), &one);
    return b;
}

// Complex numbers in extended precision for the residual checks.
struct Wide {
    long double re = 0, im = 0;
};
Wide wide(zcomplex z) { return {z.re, z.im}; }
Wide operator*(Wide a, Wide b) { return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re}; }
Wide operator+(Wide a, Wide b) { return {a.re + b.re, a.im + b.im}; }
long double mag(Wide z) { return std::fabs(z.re) + std::fabs(z.im); }

// Element (i, j) of op(A) as the solve sees it.
Wide op_entry(const Mat& a, char uplo, char trans, char diag, int i, int j) {
    int r = i, c = j;
    if (trans != 'N') std::swap(r, c);
    zcomplex e{0.0, 0.0};
    if (r == c)
        e = diag == 'U' ? zcomplex{1.0, 0.0} : a(r, r);
    else if (in_triangle(uplo, r, c))
        e = a(r, c);
    return {e.re, trans == 'C' ? -static_cast<long double>(e.im) : e.im};
}

// Largest componentwise residual |op(A)x - s b|_i / (|op(A)||x| + s|b|)_i in
// units of n*eps, in extended precision so that the check itself neither
// overflows nor rounds much. Components that underflowed while x was scaled
// down are allowed an error of a few safe minima each, times the size of
// their coefficients (n*safe_min*(sum_j |op(A)_ij| + |b_i|)).
double residual(const Mat& a, char uplo, char trans, char diag, const std::vector<zcomplex>& x,
                double s, const std::vector<zcomplex>& b) {
    const int n = a.n;
    double worst = 0.0;
    for (int i = 1; i <= n; ++i) {
        Wide r = Wide{-static_cast<long double>(s), 0} * wide(b[i - 1]);
        long double size = s * mag(wide(b[i - 1])), row = mag(wide(b[i - 1]));
        for (int j = 1; j <= n; ++j) {
            const auto e = op_entry(a, uplo, trans, diag, i, j);
            r = r + e * wide(x[j - 1]);
            size += mag(e) * mag(wide(x[j - 1]));
            row += mag(e);
        }
        const long double bound = size * n * kEps + 4.0L * n * DBL_MIN * row;
        worst = std::max(worst, static_cast<double>(mag(r) / bound));
    }
    return worst;
}

bool all_finite(const std::vector<zcomplex>& x) {
    for (const auto& z : x)
        if (!std::isfinite(z.re) || !std::isfinite(z.im)) return false;
    return true;
}

std::string label(char u, char t, char d) { return std::string{u, t, d}; }

TEST(Zlatrs, SafeSystemsTakeThePlainSolveBitForBit) {
    for (int n : {1, 2, 5, 17, 40})
        for (char u : kUplos)
            for (char t : kTranss)
                for (char d : kDiags) {
                    SCOPED_TRACE(label(u, t, d) + " n=" + std::to_string(n));
                    const Mat a = random_triangular(n, u, d, 3.0, 100 + n);
                    const auto b = random_vec(n, 200 + n);
                    const Solved s = latrs(u, t, d, 'N', a, b);
                    EXPECT_EQ(s.info, 0);
                    EXPECT_EQ(s.scale, 1.0);
                    const auto ref = trsv(u, t, d, a, b);
                    EXPECT_EQ(qivtest::first_difference(s.x.data(), ref.data(), ref.size()), -1);
                    // CNORM holds the off-diagonal column sums of |Re| + |Im|.
                    for (int j = 1; j <= n; ++j) {
                        double sum = 0.0;
                        for (int i = 1; i <= n; ++i)
                            if (in_triangle(u, i, j))
                                sum += std::fabs(a(i, j).re) + std::fabs(a(i, j).im);
                        EXPECT_NEAR(s.cnorm[j - 1], sum, 4 * n * kEps * sum);
                    }
                    // Supplying those norms gives the same solution and keeps them.
                    const Solved y = latrs(u, t, d, 'Y', a, b, s.cnorm);
                    EXPECT_EQ(qivtest::first_difference(y.x.data(), ref.data(), ref.size()), -1);
                    for (int j = 0; j < n; ++j) EXPECT_TRUE(same_bits(y.cnorm[j], s.cnorm[j]));
                }
}

TEST(Zlatrs, ZeroPivotGivesScaleZeroAndANullVector) {
    const int n = 7;
    for (char u : kUplos)
        for (char t : kTranss)
            for (int zero_at : {1, 4, 7}) {
                SCOPED_TRACE(label(u, t, 'N') + " zero at " + std::to_string(zero_at));
                Mat a = random_triangular(n, u, 'N', 2.0, 300 + zero_at);
                a(zero_at, zero_at) = zcomplex{0.0, -0.0};
                const Solved s = latrs(u, t, 'N', 'N', a, random_vec(n, 17));
                EXPECT_EQ(s.scale, 0.0);
                EXPECT_TRUE(all_finite(s.x));
                double xmax = 0.0;
                for (const auto& z : s.x) xmax = std::max(xmax, std::fabs(z.re) + std::fabs(z.im));
                EXPECT_GE(xmax, 1.0);  // the zero pivot's own component is 1
                EXPECT_LE(residual(a, u, t, 'N', s.x, 0.0, s.x), 4.0);
            }
}

TEST(Zlatrs, OverflowingSolutionsAreScaledDown) {
    struct Case {
        int n;
        double diag, offdiag;
        char d;
    };
    // Tiny pivots, or (unit diagonal) huge off-diagonal entries: the plain
    // solution overflows in each case.
    const Case cases[] = {{2, 1e-300, 1.0, 'N'}, {4, 1e-100, 1.0, 'N'}, {6, 1e-60, 1.0, 'N'},
                          {12, 1e-30, 1.0, 'N'}, {5, 0.0, 1e100, 'U'},  {9, 0.0, 1e60, 'U'}};
    for (const Case& c : cases)
        for (char u : kUplos)
            for (char t : kTranss) {
                SCOPED_TRACE(label(u, t, c.d) + " n=" + std::to_string(c.n));
                Mat a = random_triangular(c.n, u, c.d, 0.0, 400 + c.n);
                for (int j = 1; j <= c.n; ++j)
                    for (int i = 1; i <= c.n; ++i)
                        if (i == j && c.d == 'N')
                            a(i, j) = zcomplex{c.diag, -0.5 * c.diag};
                        else if (in_triangle(u, i, j))
                            a(i, j) = qiv::scale(c.offdiag, a(i, j));
                const auto b = random_vec(c.n, 500 + c.n);
                EXPECT_FALSE(all_finite(trsv(u, t, c.d, a, b)));  // the plain solve overflows
                const Solved s = latrs(u, t, c.d, 'N', a, b);
                EXPECT_LT(s.scale, 1.0);
                EXPECT_GT(s.scale, 0.0);
                EXPECT_TRUE(all_finite(s.x));
                EXPECT_LE(residual(a, u, t, c.d, s.x, s.scale, b), 4.0);
            }
}

TEST(Zlatrs, HugeRightHandSidesAreScaledFirst) {
    // b near the overflow threshold in its middle entries and small at the
    // ends: x is scaled down before the substitution starts, and again to
    // keep the first updates from overflowing.
    const int n = 6;
    for (char u : kUplos)
        for (char t : kTranss)
            for (char d : kDiags) {
                SCOPED_TRACE(label(u, t, d));
                const Mat a = random_triangular(n, u, d, 3.0, 1500);
                auto b = random_vec(n, 1501);
                for (int i = 2; i <= n - 1; ++i) b[i - 1] = qiv::scale(1.5e308, b[i - 1]);
                const Solved s = latrs(u, t, d, 'N', a, b);
                EXPECT_LT(s.scale, 1.0);
                EXPECT_GT(s.scale, 0.0);
                EXPECT_TRUE(all_finite(s.x));
                EXPECT_LE(residual(a, u, t, d, s.x, s.scale, b), 4.0);
            }
}

TEST(Zlatrs, WidelyScaledSystemsSolveToRounding) {
    // Entries of magnitude 1e-150 .. 1e150 (diagonal included): every branch
    // of the careful substitution is met somewhere in here.
    double worst = 0.0;
    for (int n : {3, 10, 30})
        for (char u : kUplos)
            for (char t : kTranss)
                for (char d : kDiags) {
                    SCOPED_TRACE(label(u, t, d) + " n=" + std::to_string(n));
                    Mat a = random_triangular(n, u, d, 0.0, 600 + n);
                    qivtest::Rng rng(700 + n);
                    for (int j = 1; j <= n; ++j)
                        for (int i = 1; i <= n; ++i)
                            if (in_triangle(u, i, j) || (i == j && d == 'N'))
                                a(i, j) =
                                    qiv::scale(std::pow(10.0, 150.0 * rng.uniform()), a(i, j));
                    const auto b = random_vec(n, 800 + n);
                    const Solved s = latrs(u, t, d, 'N', a, b);
                    EXPECT_TRUE(all_finite(s.x));
                    EXPECT_GE(s.scale, 0.0);
                    const double r = residual(a, u, t, d, s.x, s.scale, b);
                    EXPECT_LE(r, 4.0);
                    worst = std::max(worst, r);
                }
    std::printf("[ residual ] careful solves: %.3g (componentwise, units of n*eps)\n", worst);
}

TEST(Zlatrs, HugeColumnNormsScaleTheMatrix) {
    // One off-diagonal entry above BIGNUM/2 (about 5e291): the column norms
    // are scaled down, the careful path solves, and SCALE carries the factor.
    const int n = 6;
    for (char u : kUplos)
        for (char t : kTranss)
            for (char d : kDiags)
                for (char normin : {'N', 'Y'}) {
                    SCOPED_TRACE(label(u, t, d) + normin);
                    Mat a = random_triangular(n, u, d, 3.0, 900);
                    (u == 'U' ? a(2, 5) : a(5, 2)) = zcomplex{-1e300, 3e299};
                    const auto b = random_vec(n, 901);
                    std::vector<double> supplied;
                    if (normin == 'Y') supplied = latrs(u, t, d, 'N', a, b).cnorm;
                    const Solved s = latrs(u, t, d, normin, a, b, supplied);
                    EXPECT_NE(s.scale, 1.0);
                    EXPECT_TRUE(all_finite(s.x));
                    EXPECT_LE(residual(a, u, t, d, s.x, s.scale, b), 4.0);
                    // The plain solve does not overflow here: x/SCALE must match it.
                    const auto ref = trsv(u, t, d, a, b);
                    double err = 0.0, size = 0.0;
                    for (int i = 0; i < n; ++i) {
                        const zcomplex e = qiv::scale(1.0 / s.scale, s.x[i]) - ref[i];
                        err = std::max(err, std::fabs(e.re) + std::fabs(e.im));
                        size = std::max(size, std::fabs(ref[i].re) + std::fabs(ref[i].im));
                    }
                    EXPECT_LE(err, 64 * n * kEps * size);
                    // CNORM comes back unscaled: the true norms, to rounding.
                    const std::vector<double> norms =
                        normin == 'Y' ? supplied : latrs(u, t, d, 'N', a, b).cnorm;
                    for (int j = 1; j <= n; ++j) {
                        double sum = 0.0;
                        for (int i = 1; i <= n; ++i)
                            if (in_triangle(u, i, j))
                                sum += std::fabs(a(i, j).re) + std::fabs(a(i, j).im);
                        EXPECT_NEAR(s.cnorm[j - 1], sum, 8 * n * kEps * sum);
                        EXPECT_NEAR(s.cnorm[j - 1], norms[j - 1], 4 * kEps * norms[j - 1]);
                    }
                }
}

TEST(Zlatrs, InfiniteEntryHandsOverToThePlainSolve) {
    const int n = 5;
    for (char u : kUplos)
        for (char t : kTranss)
            for (char d : kDiags) {
                SCOPED_TRACE(label(u, t, d));
                Mat a = random_triangular(n, u, d, 3.0, 1000);
                (u == 'U' ? a(1, 4) : a(4, 1)) = zcomplex{0.5, kInf};
                const auto b = random_vec(n, 1001);
                const Solved s = latrs(u, t, d, 'N', a, b);
                EXPECT_EQ(s.scale, 1.0);
                const auto ref = trsv(u, t, d, a, b);
                EXPECT_EQ(qivtest::first_difference(s.x.data(), ref.data(), ref.size()), -1);
                EXPECT_EQ(s.cnorm[u == 'U' ? 3 : 0], kInf);  // computed, then left alone
                // Supplied norms are left untouched bit for bit.
                std::vector<double> supplied(n, 2.5);
                supplied[2] = kInf;
                const Solved y = latrs(u, t, d, 'Y', a, b, supplied);
                for (int j = 0; j < n; ++j) EXPECT_TRUE(same_bits(y.cnorm[j], supplied[j]));
                EXPECT_EQ(qivtest::first_difference(y.x.data(), ref.data(), ref.size()), -1);
            }
}

TEST(Zlatrs, InfiniteSuppliedNormOverSmallEntriesIsRecomputed) {
    // A supplied infinite column norm over off-diagonal entries that are all
    // zero (or tiny) must not turn into an infinite matrix scaling: the norms
    // are recomputed and the (safe) system is solved plainly.
    const int n = 6;
    for (double entry : {0.0, 1e-20, 1e-60})
        for (char u : kUplos)
            for (char t : kTranss)
                for (char d : kDiags) {
                    SCOPED_TRACE(label(u, t, d) + " entries " + std::to_string(std::log10(entry)));
                    Mat a = random_triangular(n, u, d, 3.0, 1100);
                    for (int j = 1; j <= n; ++j)
                        for (int i = 1; i <= n; ++i)
                            if (in_triangle(u, i, j)) a(i, j) = qiv::scale(entry, a(i, j));
                    const auto b = random_vec(n, 1101);
                    std::vector<double> supplied(n, 0.0);
                    supplied[3] = kInf;
                    const Solved s = latrs(u, t, d, 'Y', a, b, supplied);
                    EXPECT_EQ(s.scale, 1.0);
                    EXPECT_TRUE(all_finite(s.x));
                    const auto ref = trsv(u, t, d, a, b);
                    EXPECT_EQ(qivtest::first_difference(s.x.data(), ref.data(), ref.size()), -1);
                    EXPECT_TRUE(std::isfinite(s.cnorm[3]));
                    EXPECT_LE(s.cnorm[3], 2 * n * entry);
                }
}

TEST(Zlatrs, EmptySystemTouchesNothing) {
    Mat a(1, 1);
    a(1, 1) = zcomplex{std::nan(""), 0.0};
    std::vector<zcomplex> x{{7.0, 8.0}};
    std::vector<double> cnorm{-3.0};
    double scale = -1.0;
    int info = -5, n = 0, lda = 1;
    qiv::ZLATRS("U", "N", "N", "N", &n, a.data(), &lda, x.data(), &scale, cnorm.data(), &info);
    EXPECT_EQ(info, 0);
    EXPECT_EQ(scale, 1.0);
    EXPECT_TRUE(same_bits(x[0], zcomplex{7.0, 8.0}));
    EXPECT_EQ(cnorm[0], -3.0);
}

TEST(Zlatrs, ArgumentChecks) {
    Mat a(4, 4);
    std::vector<zcomplex> x(4);
    std::vector<double> cnorm(4);
    double scale = 0.0;
    int info = 0;
    auto call = [&](const char* u, const char* t, const char* d, const char* nm, int n, int lda) {
        qiv::ZLATRS(u, t, d, nm, &n, a.data(), &lda, x.data(), &scale, cnorm.data(), &info);
    };
    EXPECT_ILLEGAL("ZLATRS", 1, call("X", "N", "N", "N", 4, 4));
    EXPECT_ILLEGAL("ZLATRS", 2, call("u", "X", "N", "N", 4, 4));
    EXPECT_ILLEGAL("ZLATRS", 3, call("L", "c", "X", "N", 4, 4));
    EXPECT_ILLEGAL("ZLATRS", 4, call("U", "T", "u", "X", 4, 4));
    EXPECT_ILLEGAL("ZLATRS", 5, call("U", "N", "N", "y", -1, 4));
    EXPECT_ILLEGAL("ZLATRS", 7, call("U", "N", "N", "N", 4, 3));
    EXPECT_ILLEGAL("ZLATRS", 7, call("U", "N", "N", "N", 0, 0));
    // Several illegal at once: the first in argument order is named.
    EXPECT_ILLEGAL("ZLATRS", 2, call("U", "Q", "Q", "Q", -1, 0));
    EXPECT_ILLEGAL("ZLATRS", 5, call("L", "T", "N", "N", -3, 0));
    call("l", "t", "n", "n", 0, 1);
    EXPECT_EQ(info, 0);
}

}  // namespace
