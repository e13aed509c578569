// The LU factorisation and the linear solve on the fast kernels against the
// same algorithm on the plain-loop kernels, bit for bit (any NaN equals any
// NaN): the factors, the pivots, INFO and the solution. This ties the fast
// ZTRSM, ZGEMM and the kernels around them to the results the library
// defines, in the combination the drivers actually use them (panels,
// recursion, block rows, trailing updates, rank-deficient matrices).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>
#include <vector>

#include "frame/complex.h"
#include "lu/lu.h"
#include "oracle/lu/lu_plain.h"
#include "support/matrix.h"

namespace {

using qiv::zc;
using qiv::zcomplex;
using qivtest::Padded;
using qivtest::Rng;

enum class Kind {
    uniform,    // random entries
    deficient,  // some columns zero or copies of others: zero pivots, INFO > 0
    specials,   // a few infinities and NaNs
    integers,   // small integers: exact zeros and ties in the pivot search
};

void fill(Padded& a, Kind k, Rng& rng) {
    const int m = a.rows(), n = a.cols();
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= m; ++i)
            a(i, j) = k == Kind::integers ? zc(rng.below(5) - 2, rng.below(3) - 1) : rng.z();
    if (k == Kind::deficient && n > 1) {
        for (int t = 0; t < 3; ++t) {
            const int j = 1 + rng.below(n), s = 1 + rng.below(n);
            for (int i = 1; i <= m; ++i) a(i, j) = t == 0 ? zc(0.0, -0.0) : a(i, s);
        }
    }
    if (k == Kind::specials) {
        const double inf = std::numeric_limits<double>::infinity();
        for (int t = 0; t < 2; ++t) a(1 + rng.below(m), 1 + rng.below(n)).re = t ? inf : NAN;
    }
}

std::string describe(int m, int n, Kind k, int pad, std::uint64_t seed) {
    std::ostringstream s;
    s << "M=" << m << " N=" << n << " kind=" << static_cast<int>(k) << " pad=" << pad
      << " seed=" << seed;
    return s.str();
}

void check_getrf(int m, int n, Kind k, int pad, std::uint64_t seed) {
    Rng rng(seed);
    const int lda = std::max(1, m + pad);
    Padded a(m, n, lda, seed + 1);
    fill(a, k, rng);
    Padded want = a;
    const int mn = std::min(m, n);
    std::vector<int> ipiv(static_cast<size_t>(mn) + 1, -7), ipiv_want = ipiv;
    int info = -9, info_want = -9;
    qivoracle::zgetrf_plain(&m, &n, want.data(), &lda, ipiv_want.data(), &info_want);
    qiv::ZGETRF(&m, &n, a.data(), &lda, ipiv.data(), &info);
    const std::string d = describe(m, n, k, pad, seed);
    ASSERT_TRUE(a.sentinels_intact()) << d;
    EXPECT_EQ(info, info_want) << d;
    EXPECT_EQ(ipiv, ipiv_want) << d;
    const auto got = a.block(), exp = want.block();
    EXPECT_EQ(qivtest::first_difference(got.data(), exp.data(), got.size()), -1) << d;
}

TEST(LuFast, FactorsMatchPlainKernelsSmall) {
    Rng rng(1);
    for (int m = 1; m <= 9; ++m)
        for (int n = 1; n <= 9; ++n) {
            check_getrf(m, n, static_cast<Kind>(rng.below(4)), rng.below(2), rng.engine()());
            if (HasFailure()) return;
        }
}

// Around the panel width (64) and with several panels, tall and wide.
TEST(LuFast, FactorsMatchPlainKernelsBlocked) {
    Rng rng(2);
    const int shapes[][2] = {{63, 63},   {64, 64},   {65, 65},  {100, 100}, {129, 129},
                             {200, 130}, {130, 200}, {257, 70}, {70, 257},  {300, 300}};
    for (const auto& s : shapes)
        for (int k = 0; k < 4; ++k) {
            check_getrf(s[0], s[1], static_cast<Kind>(k), rng.below(3), rng.engine()());
            if (HasFailure()) return;
        }
}

// ZLASWP against its plain loops (the pivot sequence over blocks of 32
// columns): every increment sign and size, ranges of pivots that start and
// end inside the matrix, repeated and identity pivots, column counts on both
// sides of the block width, padded leading dimensions.
TEST(LuFast, InterchangesMatchPlainLoops) {
    Rng rng(4);
    for (int t = 0; t < 300; ++t) {
        const int m = 1 + rng.below(90), n = rng.below(80), pad = rng.below(3);
        const int k1 = 1 + rng.below(m), k2 = k1 + rng.below(m - k1 + 1);
        const int incs[] = {1, -1, 2, -3};
        const int incx = incs[rng.below(4)];
        const int ainc = incx < 0 ? -incx : incx;
        std::vector<int> ipiv(static_cast<size_t>(k1 + (k2 - k1) * ainc), -7);
        for (int i = k1; i <= k2; ++i) {
            // Pivot of row i: often itself, else anywhere in the matrix.
            const int ip = rng.below(4) == 0 ? i : 1 + rng.below(m);
            ipiv[static_cast<size_t>(k1 + (i - k1) * ainc - 1)] = ip;
        }
        const int lda = m + pad;
        Padded a(m, std::max(n, 1), lda, 7 + t);
        for (int j = 1; j <= n; ++j)
            for (int i = 1; i <= m; ++i) a(i, j) = rng.z();
        Padded want = a;
        qivoracle::zlaswp_plain(&n, want.data(), &lda, &k1, &k2, ipiv.data(), &incx);
        qiv::ZLASWP(&n, a.data(), &lda, &k1, &k2, ipiv.data(), &incx);
        const auto got = a.block(), exp = want.block();
        EXPECT_EQ(qivtest::first_difference(got.data(), exp.data(), got.size()), -1)
            << "m=" << m << " n=" << n << " k1=" << k1 << " k2=" << k2 << " incx=" << incx;
        ASSERT_TRUE(a.sentinels_intact());
        if (HasFailure()) return;
    }
}

TEST(LuFast, SolveMatchesPlainKernels) {
    Rng rng(3);
    const int sizes[] = {1, 7, 40, 65, 150};
    for (const int n : sizes)
        for (const int nrhs : {1, 3, 17}) {
            const int lda = n + 1, ldb = n + 2;
            Padded a(n, n, lda, 5), b(n, nrhs, ldb, 6);
            fill(a, rng.below(4) == 0 ? Kind::deficient : Kind::uniform, rng);
            for (int j = 1; j <= nrhs; ++j)
                for (int i = 1; i <= n; ++i) b(i, j) = rng.z();
            Padded aw = a, bw = b;
            std::vector<int> ipiv(static_cast<size_t>(n)), ipivw(static_cast<size_t>(n));
            int info = -9, infow = -9;
            qivoracle::zgesv_plain(&n, &nrhs, aw.data(), &lda, ipivw.data(), bw.data(), &ldb,
                                   &infow);
            qiv::ZGESV(&n, &nrhs, a.data(), &lda, ipiv.data(), b.data(), &ldb, &info);
            EXPECT_EQ(info, infow) << "n=" << n << " nrhs=" << nrhs;
            EXPECT_EQ(ipiv, ipivw);
            const auto gb = b.block(), wb = bw.block();
            EXPECT_EQ(qivtest::first_difference(gb.data(), wb.data(), gb.size()), -1)
                << "n=" << n << " nrhs=" << nrhs;
            EXPECT_TRUE(b.sentinels_intact());
            if (HasFailure()) return;
        }
}

}  // namespace
