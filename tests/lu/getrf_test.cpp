#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "frame/complex.h"
#include "lu/lu.h"
#include "lu/lu_support.h"
#include "support/child.h"
#include "support/matrix.h"

namespace {

using qiv::zcomplex;
using qivtest::same_bits;

const double qnan = std::numeric_limits<double>::quiet_NaN();

struct Factored {
    std::vector<zcomplex> a;
    std::vector<int> ipiv;
    int info = -99;
};

Factored getrf(std::vector<zcomplex> a, int m, int n, int lda, bool recursive_only = false) {
    Factored f;
    f.a = std::move(a);
    f.ipiv.assign(static_cast<std::size_t>(std::max(1, std::min(m, n))), -7);
    if (recursive_only)
        qiv::ZGETRF2(&m, &n, f.a.data(), &lda, f.ipiv.data(), &f.info);
    else
        qiv::ZGETRF(&m, &n, f.a.data(), &lda, f.ipiv.data(), &f.info);
    return f;
}

std::vector<zcomplex> random_matrix(int m, int n, int lda, std::uint64_t seed) {
    std::vector<zcomplex> a(static_cast<std::size_t>(lda) * std::max(n, 1));
    qivtest::Rng rng(seed);
    rng.fill(a.data(), m, n, lda);
    return a;
}

TEST(Getrf, WorkedExamples) {
    // [[0, 1], [1, 0]]: both factors are the identity after one interchange.
    Factored f = getrf({{0, 0}, {1, 0}, {1, 0}, {0, 0}}, 2, 2, 2);
    EXPECT_EQ(f.info, 0);
    EXPECT_EQ(f.ipiv, (std::vector<int>{2, 2}));
    const double want[] = {1, 0, 0, 1};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(f.a[k].re, want[k]);

    // [[1, 2], [2, 4]]: singular, U(2, 2) = 0.
    f = getrf({{1, 0}, {2, 0}, {2, 0}, {4, 0}}, 2, 2, 2);
    EXPECT_EQ(f.info, 2);
    EXPECT_EQ(f.ipiv, (std::vector<int>{2, 2}));
    EXPECT_EQ(f.a[0].re, 2.0);
    EXPECT_EQ(f.a[1].re, 0.5);
    EXPECT_EQ(f.a[2].re, 4.0);
    EXPECT_EQ(f.a[3].re, 0.0);

    // 1-by-1 zero.
    f = getrf({{0, 0}}, 1, 1, 1);
    EXPECT_EQ(f.info, 1);
    EXPECT_EQ(f.ipiv[0], 1);

    // Ties in the pivot search keep the first row: column (1, i, -1).
    f = getrf({{1, 0}, {0, 1}, {-1, 0}}, 3, 1, 3);
    EXPECT_EQ(f.ipiv[0], 1);
    EXPECT_EQ(f.info, 0);

    // M = 0 or N = 0: nothing touched.
    f = getrf({{5, 5}}, 0, 3, 1);
    EXPECT_EQ(f.info, 0);
    EXPECT_EQ(f.ipiv[0], -7);
    EXPECT_EQ(f.a[0].re, 5.0);
}

TEST(Getrf, BackwardErrorAcrossShapes) {
    const int shapes[][2] = {{1, 1},     {2, 2},     {3, 3},     {63, 63},   {64, 64},
                             {65, 65},   {127, 127}, {128, 128}, {129, 129}, {200, 200},
                             {301, 301}, {3, 5},     {5, 3},     {70, 150},  {150, 70},
                             {1, 9},     {9, 1},     {200, 64},  {64, 200},  {130, 129}};
    std::uint64_t seed = 11;
    for (const auto& s : shapes) {
        const int m = s[0], n = s[1], lda = m + 3;
        const auto a = random_matrix(m, n, lda, seed++);
        const Factored f = getrf(a, m, n, lda);
        EXPECT_EQ(f.info, 0);
        for (int i = 1; i <= std::min(m, n); ++i) {
            EXPECT_GE(f.ipiv[i - 1], i);
            EXPECT_LE(f.ipiv[i - 1], m);
        }
        EXPECT_LT(qivtest::lu_backward_error(a, f.a, f.ipiv, m, n, lda), 10.0) << m << "x" << n;
        // Rows between M and LDA are untouched.
        for (int j = 1; j <= n; ++j)
            for (int i = m + 1; i <= lda; ++i)
                ASSERT_TRUE(same_bits(f.a[qiv::at(i, j, lda)], a[qiv::at(i, j, lda)]));
    }
}

TEST(Getrf, BlockedAndRecursivePathsAgree) {
    // Up to 64 the driver is one recursive call, bit for bit; beyond it the
    // blocked loop gives the same pivots and factors equal to rounding.
    for (int n : {17, 64}) {
        const auto a = random_matrix(n, n, n, 100 + n);
        const Factored b = getrf(a, n, n, n), r = getrf(a, n, n, n, true);
        EXPECT_EQ(qivtest::first_difference(b.a.data(), r.a.data(), b.a.size()), -1);
        EXPECT_EQ(b.ipiv, r.ipiv);
    }
    for (int mn : {65, 96, 128, 129, 200}) {
        const int m = mn + (mn % 3), n = mn;
        const auto a = random_matrix(m, n, m, 200 + mn);
        const Factored b = getrf(a, m, n, m), r = getrf(a, m, n, m, true);
        EXPECT_EQ(b.ipiv, r.ipiv) << mn;
        double diff = 0;
        for (std::size_t k = 0; k < b.a.size(); ++k)
            diff =
                std::max(diff, std::fabs(b.a[k].re - r.a[k].re) + std::fabs(b.a[k].im - r.a[k].im));
        EXPECT_LT(diff, 1e-11) << mn;
    }
}

TEST(Getrf, ExactlyZeroPivotInTheMiddle) {
    // A zero column makes its pivot exactly zero; the factorisation completes
    // and INFO names the first such column (here inside the second panel).
    const int n = 150;
    auto a = random_matrix(n, n, n, 5);
    for (int i = 1; i <= n; ++i) {
        a[qiv::at(i, 90, n)] = {0, 0};
        a[qiv::at(i, 120, n)] = {0, 0};
    }
    const Factored f = getrf(a, n, n, n);
    EXPECT_EQ(f.info, 90);
    EXPECT_TRUE(qiv::is_zero(f.a[qiv::at(90, 90, n)]));
    EXPECT_LT(qivtest::lu_backward_error(a, f.a, f.ipiv, n, n, n), 10.0);
    // The recursive path reports the same column.
    EXPECT_EQ(getrf(a, n, n, n, true).info, 90);
}

TEST(Getrf, TinyPivotsAreDividedNotInverted) {
    // A pivot below the safe minimum: its reciprocal would overflow, so each
    // element is divided by it; 2^-1072 / 2^-1070 is exactly 0.25.
    Factored f = getrf({{0x1p-1070, 0}, {0x1p-1072, 0}, {0, -0x1p-1071}}, 3, 1, 3);
    EXPECT_EQ(f.info, 0);
    EXPECT_EQ(f.ipiv[0], 1);
    EXPECT_EQ(f.a[1].re, 0.25);
    EXPECT_EQ(f.a[2].im, -0.5);
    // A pivot at the safe minimum is inverted: 1/2^-1022 = 2^1022 is finite.
    f = getrf({{0x1p-1022, 0}, {0x1p-1023, 0}}, 2, 1, 2);
    EXPECT_EQ(f.a[1].re, 0.5);
}

TEST(Getrf, NanEntriesSpreadButAreNotZeroPivots) {
    const int n = 80;
    auto a = random_matrix(n, n, n, 9);
    a[qiv::at(40, 40, n)] = {qnan, 0};
    const Factored f = getrf(a, n, n, n);
    EXPECT_EQ(f.info, 0);
    bool any_nan = false;
    for (const auto& z : f.a) any_nan |= std::isnan(z.re) || std::isnan(z.im);
    EXPECT_TRUE(any_nan);
}

TEST(Laswp, ForwardThenBackwardRestores) {
    const int m = 40, n = 70, lda = 43;
    auto a = random_matrix(m, n, lda, 3);
    const auto orig = a;
    std::vector<int> ipiv(m);
    qivtest::Rng rng(4);
    for (int i = 1; i <= m; ++i) ipiv[i - 1] = i + rng.below(m - i + 1);
    const int k1 = 1, inc = 1, dec = -1;
    qiv::ZLASWP(&n, a.data(), &lda, &k1, &m, ipiv.data(), &inc);
    // Row i now holds what the interchanges in order put there.
    auto expect = orig;
    for (int i = 1; i <= m; ++i)
        for (int j = 1; j <= n; ++j)
            std::swap(expect[qiv::at(i, j, lda)], expect[qiv::at(ipiv[i - 1], j, lda)]);
    EXPECT_EQ(qivtest::first_difference(a.data(), expect.data(), a.size()), -1);
    qiv::ZLASWP(&n, a.data(), &lda, &k1, &m, ipiv.data(), &dec);
    EXPECT_EQ(qivtest::first_difference(a.data(), orig.data(), a.size()), -1);
    // A zero increment does nothing; a stride of 2 reads every other pivot.
    const int zero = 0, two = 2, k2 = 3;
    std::vector<int> strided = {2, 99, 3, 99, 3};
    auto b = orig;
    qiv::ZLASWP(&n, b.data(), &lda, &k1, &m, ipiv.data(), &zero);
    EXPECT_EQ(qivtest::first_difference(b.data(), orig.data(), b.size()), -1);
    qiv::ZLASWP(&n, b.data(), &lda, &k1, &k2, strided.data(), &two);
    auto c = orig;
    for (int j = 1; j <= n; ++j) {
        std::swap(c[qiv::at(1, j, lda)], c[qiv::at(2, j, lda)]);
        std::swap(c[qiv::at(2, j, lda)], c[qiv::at(3, j, lda)]);
    }
    EXPECT_EQ(qivtest::first_difference(b.data(), c.data(), b.size()), -1);
}

TEST(Getrf, ArgumentChecks) {
    std::vector<zcomplex> a(16);
    std::vector<int> ipiv(4);
    int info = 0;
    auto call = [&](int m, int n, int lda, bool recursive) {
        if (recursive)
            qiv::ZGETRF2(&m, &n, a.data(), &lda, ipiv.data(), &info);
        else
            qiv::ZGETRF(&m, &n, a.data(), &lda, ipiv.data(), &info);
    };
    EXPECT_ILLEGAL("ZGETRF", 1, call(-1, 2, 2, false));
    EXPECT_ILLEGAL("ZGETRF", 2, call(2, -1, 2, false));
    EXPECT_ILLEGAL("ZGETRF", 4, call(3, 2, 2, false));
    EXPECT_ILLEGAL("ZGETRF", 4, call(0, 2, 0, false));
    EXPECT_ILLEGAL("ZGETRF2", 1, call(-1, -1, 0, true));
    EXPECT_ILLEGAL("ZGETRF2", 2, call(1, -1, 0, true));
    EXPECT_ILLEGAL("ZGETRF2", 4, call(2, 1, 1, true));
}

}  // namespace
