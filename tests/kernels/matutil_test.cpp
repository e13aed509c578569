#include "kernels/matutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <utility>
#include <vector>

#include "env/machine.h"
#include "support/child.h"
#include "support/matrix.h"

namespace {

using qiv::zcomplex;
using qivtest::Padded;
using qivtest::same_bits;

const double inf = std::numeric_limits<double>::infinity();
const double nan = std::numeric_limits<double>::quiet_NaN();

bool identical(const zcomplex& a, const zcomplex& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Checks every element of the block: selected ones must equal want(i, j),
// the others must keep their old bits; the sentinels must survive.
void expect_elements(const Padded& after, const Padded& before,
                     const std::function<bool(int, int)>& selected,
                     const std::function<zcomplex(int, int)>& want) {
    for (int j = 1; j <= after.cols(); ++j)
        for (int i = 1; i <= after.rows(); ++i)
            EXPECT_TRUE(identical(after(i, j), selected(i, j) ? want(i, j) : before(i, j)))
                << "element (" << i << ", " << j << ")";
    EXPECT_TRUE(after.sentinels_intact());
}

TEST(MatrixUtilities, CopyAndSetSelectTheRightTriangle) {
    for (auto [m, n] : {std::pair{5, 3}, std::pair{3, 5}}) {
        const Padded a(m, n, m + 2, 1);
        const zcomplex alpha = qivtest::sentinel(123), beta{-0.0, 7};
        for (const char* uplo : {"U", "l", "Full"}) {
            SCOPED_TRACE(testing::Message() << m << "x" << n << " " << uplo);
            const auto in_part = [&](int i, int j) {
                return uplo[0] == 'U' ? i <= j : uplo[0] == 'l' ? i >= j : true;
            };
            Padded b(m, n, m + 3, 2);
            const Padded b0 = b;
            const int lda = a.ld(), ldb = b.ld();
            qiv::ZLACPY(uplo, &m, &n, a.data(), &lda, b.data(), &ldb);
            expect_elements(b, b0, in_part, [&](int i, int j) { return a(i, j); });

            Padded c = b0;
            qiv::ZLASET(uplo, &m, &n, &alpha, &beta, c.data(), &ldb);
            expect_elements(c, b0, in_part, [&](int i, int j) { return i == j ? beta : alpha; });
        }
    }
}

TEST(MatrixUtilities, ScaleReportsIllegalArgumentsInOrder) {
    zcomplex a[16] = {};
    int info;
    const auto call = [&](const char* type, int kl, int ku, double cfrom, double cto, int m, int n,
                          int lda) {
        qiv::ZLASCL(type, &kl, &ku, &cfrom, &cto, &m, &n, a, &lda, &info);
    };
    EXPECT_ILLEGAL("ZLASCL", 1, call("X", -1, -1, 0, nan, -1, -1, 0));
    EXPECT_ILLEGAL("ZLASCL", 4, call("g", 0, 0, 0, nan, -1, -1, 0));
    EXPECT_ILLEGAL("ZLASCL", 4, call("G", 0, 0, nan, 1, 1, 1, 1));
    EXPECT_ILLEGAL("ZLASCL", 5, call("G", 0, 0, 1, nan, -1, -1, 0));
    EXPECT_ILLEGAL("ZLASCL", 6, call("G", 0, 0, 1, 2, -1, -1, 0));
    EXPECT_ILLEGAL("ZLASCL", 7, call("G", 0, 0, 1, 2, 1, -1, 0));
    EXPECT_ILLEGAL("ZLASCL", 7, call("Q", 0, 0, 1, 2, 2, 3, 1));
    EXPECT_ILLEGAL("ZLASCL", 9, call("H", 0, 0, 1, 2, 3, 3, 2));
    EXPECT_ILLEGAL("ZLASCL", 9, call("U", 0, 0, 1, 2, 0, 0, 0));  // LDA >= max(1, M)
    EXPECT_ILLEGAL("ZLASCL", 2, call("B", -1, -1, 1, 2, 3, 3, 0));
    EXPECT_ILLEGAL("ZLASCL", 2, call("Z", 3, 0, 1, 2, 3, 3, 0));
    EXPECT_ILLEGAL("ZLASCL", 3, call("Z", 1, 3, 1, 2, 3, 3, 0));
    EXPECT_ILLEGAL("ZLASCL", 3, call("B", 1, 2, 1, 2, 3, 3, 0));
    EXPECT_ILLEGAL("ZLASCL", 9, call("Z", 1, 1, 1, 2, 3, 3, 3));
    EXPECT_ILLEGAL("ZLASCL", 9, call("B", 2, 2, 1, 2, 3, 3, 2));
    EXPECT_ILLEGAL("ZLASCL", 9, call("Q", 2, 2, 1, 2, 3, 3, 2));
    // Legal band calls: LDA exactly at its minimum; the G-type LDA rule does not apply.
    call("Z", 1, 1, 1, 2, 3, 3, 4);
    EXPECT_EQ(info, 0);
    call("B", 2, 2, 1, 2, 3, 3, 3);
    EXPECT_EQ(info, 0);
}

// The elements each type multiplies, derived from the full matrix entries
// (r, j) the storage holds rather than from the row ranges of the code.
bool stored(char type, int kl, int ku, int m, int n, int i, int j) {
    switch (type) {
        case 'G':
            return true;
        case 'L':
            return i >= j;
        case 'U':
            return i <= j;
        case 'H':
            return i <= j + 1;
        case 'B':
            return j + i - 1 <= n;  // A(j + i - 1, j), r >= j
        case 'Q':
            return i - (ku + 1) + j >= 1;  // A(j + i - ku - 1, j), r <= j
        default: {
            const int r = i - (kl + ku + 1) + j;  // A(r, j) in row kl + ku + 1 + r - j
            return i > kl && r >= 1 && r <= m && r - j <= kl && j - r <= ku;
        }
    }
}

TEST(MatrixUtilities, ScaleTouchesExactlyTheSelectedElements) {
    struct Case {
        const char* type;
        int kl, ku, m, n, rows;
    };
    const Case cases[] = {{"G", 0, 0, 4, 3, 4}, {"L", 0, 0, 3, 5, 3}, {"u", 0, 0, 5, 3, 5},
                          {"H", 0, 0, 5, 4, 5}, {"B", 2, 2, 5, 5, 3}, {"Q", 1, 1, 4, 4, 2},
                          {"Z", 2, 1, 5, 4, 6}, {"Z", 1, 2, 4, 6, 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        Padded a(c.rows, c.n, c.rows + 2, 5);
        const Padded a0 = a;
        int lda = a.ld(), info = -1;
        const double cfrom = 1, cto = 2;
        qiv::ZLASCL(c.type, &c.kl, &c.ku, &cfrom, &cto, &c.m, &c.n, a.data(), &lda, &info);
        EXPECT_EQ(info, 0);
        expect_elements(
            a, a0,
            [&](int i, int j) { return stored(c.type[0] & ~32, c.kl, c.ku, c.m, c.n, i, j); },
            [&](int i, int j) {
                return zcomplex{2 * a0(i, j).re, 2 * a0(i, j).im};
            });
    }
}

zcomplex scaled(zcomplex z, double cfrom, double cto) {
    const int kl = 0, ku = 0, one = 1;
    int info;
    qiv::ZLASCL("G", &kl, &ku, &cfrom, &cto, &one, &one, &z, &one, &info);
    return z;
}

TEST(MatrixUtilities, ScaleSpecialFactorsAndMultiplePasses) {
    const zcomplex payload = qivtest::sentinel(9);
    EXPECT_TRUE(identical(scaled(payload, 3, 3), payload));  // quotient 1: A untouched
    // CTO = 0: one pass multiplying by 0 with the zero products formed.
    EXPECT_TRUE(same_bits(scaled({-1, 2}, 5, 0), {-0.0, 0.0}));
    const zcomplex inf0 = scaled({inf, 0}, 5, 0), nan0 = scaled({nan, 1}, 5, 0);
    EXPECT_TRUE(std::isnan(inf0.re) && std::isnan(inf0.im) && std::isnan(nan0.im));
    EXPECT_TRUE(same_bits(scaled({1, 1}, inf, -3), {-0.0, 0.0}));
    const zcomplex both_inf = scaled({1, 1}, inf, inf);
    EXPECT_TRUE(std::isnan(both_inf.re) && std::isnan(both_inf.im));
    const zcomplex twice = scaled({inf, 0}, 1, 2);
    EXPECT_TRUE(twice.re == inf && std::isnan(twice.im));
    // 2^-1000 -> 2^1000: by 2^1022, then by 2^978. The quotient 2^2000 is
    // never formed: (1, 0) ends as (inf, 0), not (inf, NaN).
    EXPECT_TRUE(same_bits(scaled({0x1p-1050, -3 * 0x1p-1060}, 0x1p-1000, 0x1p1000),
                          {0x1p950, -3 * 0x1p940}));
    EXPECT_TRUE(same_bits(scaled({1, 0}, 0x1p-1000, 0x1p1000), {inf, 0}));
    // And back: two passes down, no underflow of the quotient to 0.
    EXPECT_TRUE(
        same_bits(scaled({0x1p1000, 0x1p990}, 0x1p1000, 0x1p-1000), {0x1p-1000, 0x1p-1010}));
}

double norm(const char* which, const Padded& a) {
    const int m = a.rows(), n = a.cols(), lda = a.ld();
    std::vector<double> work(m + 1, nan);
    return qiv::ZLANGE(which, &m, &n, a.data(), &lda, work.data());
}

TEST(MatrixUtilities, NormsAndTheirNaNRules) {
    Padded a(2, 2, 4);
    a(1, 1) = {3, 4}, a(2, 1) = {1, 0}, a(1, 2) = {0, 2}, a(2, 2) = {-6, 8};
    EXPECT_EQ(norm("M", a), 10.0);
    EXPECT_EQ(norm("o", a), 12.0);
    EXPECT_EQ(norm("1", a), 12.0);
    EXPECT_EQ(norm("I", a), 11.0);
    EXPECT_EQ(norm("f", a), std::sqrt(130.0));
    EXPECT_EQ(norm("E", a), std::sqrt(130.0));
    EXPECT_TRUE(a.sentinels_intact());
    const Padded empty(0, 3, 1);
    for (const char* which : {"M", "1", "?"}) EXPECT_EQ(norm(which, empty), 0.0);

    // A NaN anywhere, before or after larger values, makes M, 1 and I NaN.
    for (int j = 1; j <= 2; ++j) {
        Padded b = a;
        b(2, j) = {nan, 0};
        for (const char* which : {"M", "O", "I"}) EXPECT_TRUE(std::isnan(norm(which, b))) << which;
    }

    // The largest modulus equals the plain loop's maximum of every modulus,
    // bit for bit, whatever the spread of sizes, ties, infinities and NaNs.
    qivtest::Rng rng(23);
    const double mags[] = {0x1p-1070, 0x1p-600, 1.0, 0x1p-30, 0x1p600, 0x1p1023};
    for (int trial = 0; trial < 200; ++trial) {
        const int rows = 1 + rng.below(9);
        Padded d(rows, 1 + rng.below(5), rows + 1);
        double want = 0.0;
        for (int j = 1; j <= d.cols(); ++j) {
            for (int i = 1; i <= d.rows(); ++i) {
                const double s = mags[rng.below(6)];
                zcomplex z{rng.uniform() * s, rng.uniform() * s * mags[rng.below(6)]};
                if (rng.below(40) == 0) z.re = rng.below(2) ? inf : nan;
                if (rng.below(8) == 0) z = {z.im, -z.re};  // a tie of moduli
                d(i, j) = z;
                const double t = qiv::zabs(z);
                if (want < t || t != t) want = t;
            }
        }
        const double got = norm("M", d);
        EXPECT_TRUE(got == want || (got != got && want != want)) << trial;
    }

    // Frobenius norm near overflow and underflow.
    for (double v : {1e300, 1e-300}) {
        Padded c(7, 5, 7);
        for (int j = 1; j <= 5; ++j)
            for (int i = 1; i <= 7; ++i) c(i, j) = {v, 0};
        EXPECT_NEAR(norm("F", c) / (v * std::sqrt(35.0)), 1.0, 1e-14);
    }
}

TEST(MatrixUtilities, ScaledSumOfSquares) {
    const zcomplex x{3, 4};
    const int one = 1, zero = 0;
    double scale = nan, sumsq = 2;
    qiv::ZLASSQ(&one, &x, &one, &scale, &sumsq);
    EXPECT_TRUE(std::isnan(scale) && sumsq == 2);
    scale = 3, sumsq = nan;
    qiv::ZLASSQ(&one, &x, &one, &scale, &sumsq);
    EXPECT_TRUE(scale == 3 && std::isnan(sumsq));
    scale = 5, sumsq = 0;
    qiv::ZLASSQ(&zero, &x, &one, &scale, &sumsq);
    EXPECT_TRUE(scale == 1 && sumsq == 0);
    scale = 0, sumsq = 1;
    qiv::ZLASSQ(&one, &x, &one, &scale, &sumsq);
    EXPECT_TRUE(scale == 1 && sumsq == 25);

    // Vectors and incoming pairs from every bin against a long-double
    // reference; a negative increment walks from the far end.
    qivtest::Rng rng(17);
    const double mags[] = {0x1p-700, 0x1p-510, 1.0, 0x1p488, 0x1p700};
    for (int trial = 0; trial < 300; ++trial) {
        const int n = rng.below(6);
        std::vector<zcomplex> v(n), rev(n);
        for (int k = 0; k < n; ++k) {
            v[k] = {rng.uniform() * mags[rng.below(5)], rng.uniform() * mags[rng.below(5)]};
            rev[n - 1 - k] = v[k];
        }
        // Incoming pairs: a scale of any size with sumsq near 1, or scale 1
        // with a tiny or huge sumsq.
        const double pair_sums[] = {1 + rng.uniform(), 0x1p-1040, 0x1p1000};
        const int form = rng.below(3);
        const double s0 = form == 0 ? std::fabs(rng.uniform()) * mags[rng.below(5)] : 1.0;
        const double q0 = form == 0 ? pair_sums[0] : std::fabs(rng.uniform()) * pair_sums[form];
        long double ref = (long double)s0 * s0 * q0;
        for (const auto& z : v) ref += (long double)z.re * z.re + (long double)z.im * z.im;
        double s1 = s0, q1 = q0, s2 = s0, q2 = q0;
        const int minus1 = -1;
        qiv::ZLASSQ(&n, v.data(), &one, &s1, &q1);
        qiv::ZLASSQ(&n, rev.data(), &minus1, &s2, &q2);
        EXPECT_TRUE(same_bits(s1, s2) && same_bits(q1, q2)) << trial;
        const double want = static_cast<double>(std::sqrt(ref));
        EXPECT_LE(std::fabs(s1 * std::sqrt(q1) - want), 4 * 0x1p-53 * want) << trial;
        EXPECT_TRUE(n == 0 || s1 == 1 || s1 == 0x1p538 || s1 == 0x1p-537) << trial;
    }
}

TEST(MatrixUtilities, LastNonZeroRowAndColumn) {
    Padded a(4, 3, 6);
    for (int j = 1; j <= 3; ++j)
        for (int i = 1; i <= 4; ++i) a(i, j) = {-0.0, 0.0};  // -0 counts as zero
    const auto last = [&](int m, int n) {
        const int lda = a.ld();
        return std::pair{qiv::ILAZLR(&m, &n, a.data(), &lda), qiv::ILAZLC(&m, &n, a.data(), &lda)};
    };
    EXPECT_EQ(last(4, 3), std::pair(0, 0));
    a(4, 2) = {0, 1e-300};  // last row, middle column: found by the scans
    EXPECT_EQ(last(4, 3), std::pair(4, 2));
    a(4, 2) = {0, 0};
    a(2, 1) = {nan, 0};  // NaN counts as non-zero
    a(3, 3) = {0, -1};
    EXPECT_EQ(last(4, 3), std::pair(3, 3));
    a(3, 3) = {0, 0};
    EXPECT_EQ(last(4, 3), std::pair(2, 1));
    EXPECT_EQ(last(0, 3), std::pair(0, 0));
    EXPECT_EQ(last(4, 0), std::pair(0, 0));
}

}  // namespace
