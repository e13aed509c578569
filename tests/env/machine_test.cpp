#include "env/machine.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "frame/complex.h"
#include "support/matrix.h"

namespace {

using qiv::zcomplex;
using qivtest::same_bits;

const double inf = std::numeric_limits<double>::infinity();
const double qnan = std::numeric_limits<double>::quiet_NaN();

TEST(Dlamch, EveryLetterInEitherCase) {
    const struct {
        const char* word;
        double value;
    } rows[] = {{"Epsilon", 0x1p-53},
                {"e", 0x1p-53},
                {"Safe minimum", 0x1p-1022},
                {"SAFE MINIMUM", 0x1p-1022},
                {"b", 2.0},
                {"Precision", 0x1p-52},
                {"p", 0x1p-52},
                {"N", 53.0},
                {"r", 1.0},
                {"M", -1021.0},
                {"U", 0x1p-1022},
                {"l", 1024.0},
                {"Overflow threshold", DBL_MAX},
                {"o", DBL_MAX}};
    for (const auto& r : rows) EXPECT_TRUE(same_bits(qiv::DLAMCH(r.word), r.value)) << r.word;
    EXPECT_EQ(qiv::DLAMCH("X"), 0.0);
    EXPECT_EQ(qiv::DLAMCH(" "), 0.0);
    EXPECT_EQ(qiv::DLAMCH("1"), 0.0);
}

TEST(NanTests, DisnanAndDlaisnan) {
    const double vals[] = {qnan, -qnan, std::numeric_limits<double>::signaling_NaN()};
    for (double v : vals) EXPECT_TRUE(qiv::DISNAN(&v));
    const double notnan[] = {inf, -inf, 0.0, -0.0, DBL_MAX, 0x1p-1074};
    for (double v : notnan) EXPECT_FALSE(qiv::DISNAN(&v));
    const double one = 1, two = 2;
    EXPECT_TRUE(qiv::DLAISNAN(&one, &two));
    EXPECT_FALSE(qiv::DLAISNAN(&one, &one));
}

double dlapy3(double x, double y, double z) { return qiv::DLAPY3(&x, &y, &z); }

TEST(Dlapy3, ValuesAndSpecialCases) {
    EXPECT_EQ(dlapy3(3, 4, 12), 13.0);
    EXPECT_EQ(dlapy3(-3, 4, -12), 13.0);
    EXPECT_EQ(dlapy3(0, 0, 0), 0.0);
    const double big = dlapy3(1e300, 1e300, 1e300);
    EXPECT_TRUE(std::isfinite(big));
    EXPECT_NEAR(big / (1e300 * std::sqrt(3.0)), 1.0, 1e-15);
    EXPECT_TRUE(std::isnan(dlapy3(0, qnan, 0)));
    EXPECT_TRUE(std::isnan(dlapy3(1, qnan, 0)));
    EXPECT_EQ(dlapy3(inf, 1, 0), inf);
    EXPECT_TRUE(std::isnan(dlapy3(inf, qnan, 0)));
}

zcomplex ladiv(zcomplex x, zcomplex y) { return qiv::ZLADIV(&x, &y); }

TEST(Zladiv, CarefulQuotient) {
    const zcomplex r0 = ladiv({1, 0}, {0, 0});
    EXPECT_TRUE(std::isnan(r0.re) && std::isnan(r0.im));
    const zcomplex big{0x1p1023, 0x1p1023};
    const zcomplex r1 = ladiv(big, big);
    EXPECT_TRUE(same_bits(r1.re, 1.0) && same_bits(r1.im, 0.0));
    const zcomplex plain = big / big;  // denominator overflows in the plain formula
    EXPECT_TRUE(std::isnan(plain.re));
    const zcomplex r2 = ladiv({0x1p-1070, 3 * 0x1p-1070}, {2 * 0x1p-1070, 0x1p-1070});
    EXPECT_EQ(r2.re, 1.0);
    EXPECT_EQ(r2.im, 1.0);
    // Ordinary values agree with the exact quotient: (1 + 2i)/(3 + 4i) = (11 + 2i)/25.
    const zcomplex r3 = ladiv({1, 2}, {3, 4});
    EXPECT_NEAR(r3.re, 11.0 / 25, 1e-16);
    EXPECT_NEAR(r3.im, 2.0 / 25, 1e-16);
    // The |d| > |c| branch: (1 + i) / (1 + 2i) = (3 - i) / 5.
    const zcomplex r4 = ladiv({1, 1}, {1, 2});
    EXPECT_NEAR(r4.re, 0.6, 2.3e-16);
    EXPECT_NEAR(r4.im, -0.2, 1.2e-16);
    // Huge over tiny overflows to infinity rather than NaN.
    const zcomplex r5 = ladiv({0x1p1000, 0}, {0x1p-1000, 0});
    EXPECT_EQ(r5.re, inf);
}

TEST(PlainQuotient, SpecialValues) {
    const zcomplex a = zcomplex{1, 0} / zcomplex{0, 1};
    EXPECT_TRUE(same_bits(a.re, 0.0) && same_bits(a.im, -1.0));
    const zcomplex b = zcomplex{1, 0} / zcomplex{0, 0};
    EXPECT_TRUE(std::isnan(b.re) && std::isnan(b.im));
    EXPECT_EQ(qiv::DCABS1(&a), 1.0);
    const zcomplex c{-3, 4};
    EXPECT_EQ(qiv::DCABS1(&c), 7.0);
    EXPECT_EQ(qiv::zabs(c), 5.0);
}

TEST(Modulus, SpecialValuesAndRange) {
    EXPECT_EQ(qiv::zabs({inf, qnan}), inf);
    EXPECT_EQ(qiv::zabs({qnan, -inf}), inf);
    EXPECT_TRUE(std::isnan(qiv::zabs({qnan, 1})));
    EXPECT_TRUE(std::isnan(qiv::zabs({0, qnan})));
    EXPECT_TRUE(same_bits(qiv::zabs({-2.5, 0}), 2.5));
    EXPECT_TRUE(same_bits(qiv::zabs({-0.0, -0.0}), 0.0));
    EXPECT_EQ(qiv::zabs({DBL_MAX, DBL_MAX}), inf);  // true value overflows
    EXPECT_EQ(qiv::zabs({3e300, 4e300}), 5e300);
    EXPECT_EQ(qiv::zabs({3 * 0x1p-1074, 4 * 0x1p-1074}), 5 * 0x1p-1074);
    EXPECT_EQ(qiv::zabs({0x1p-1074, 0x1p-1074}), 0x1p-1074);  // sqrt(2) rounds to one unit
}

TEST(Modulus, CorrectlyRoundedOnRandomOperands) {
    // Checks the result against an exact comparison: h is correctly rounded when
    // the true value lies within half an ulp, i.e. (h - ulp/2)^2 < x^2 + y^2 <
    // (h + ulp/2)^2, evaluated in long double (64-bit significand: exact enough
    // for operands whose squares fit).
    qivtest::Rng rng(7);
    int wrong = 0;
    for (int k = 0; k < 20000; ++k) {
        const double x = rng.uniform() * std::ldexp(1.0, rng.below(40) - 20);
        const double y = rng.uniform() * std::ldexp(1.0, rng.below(40) - 20);
        const double h = qiv::zabs({x, y});
        const long double t = static_cast<long double>(x) * x + static_cast<long double>(y) * y;
        const long double ulp = std::nextafter(h, inf) - h;
        const long double lo = h - ulp / 2, hi = h + ulp / 2;
        if (!(lo * lo <= t && t <= hi * hi)) ++wrong;
    }
    EXPECT_LE(wrong, 2);
}

TEST(SquareRoot, FiniteValues) {
    const zcomplex a = qiv::zsqrt({-4, 0});
    EXPECT_TRUE(same_bits(a.re, 0.0) && same_bits(a.im, 2.0));
    const zcomplex b = qiv::zsqrt({-4, -0.0});
    EXPECT_TRUE(same_bits(b.re, 0.0) && same_bits(b.im, -2.0));
    const zcomplex c = qiv::zsqrt({9, -0.0});
    EXPECT_TRUE(same_bits(c.re, 3.0) && same_bits(c.im, -0.0));
    const zcomplex d = qiv::zsqrt({0, 2});
    EXPECT_EQ(d.re, 1.0);
    EXPECT_EQ(d.im, 1.0);
    const zcomplex e = qiv::zsqrt({-3, -4});  // (1 - 2i)^2 = -3 - 4i
    EXPECT_EQ(e.re, 1.0);
    EXPECT_EQ(e.im, -2.0);
    const zcomplex f = qiv::zsqrt({DBL_MAX, DBL_MAX});  // no intermediate overflow
    EXPECT_TRUE(std::isfinite(f.re) && std::isfinite(f.im));
    EXPECT_NEAR(f.re / (std::sqrt(DBL_MAX) * std::sqrt((1 + std::sqrt(2.0)) / 2)), 1.0, 1e-15);
    EXPECT_NEAR(f.im / (std::sqrt(DBL_MAX) * std::sqrt((std::sqrt(2.0) - 1) / 2)), 1.0, 1e-15);
    const zcomplex g = qiv::zsqrt({0x1p-1074, 0x1p-1074});  // subnormal operands keep precision
    EXPECT_GT(g.re, 0.0);
    EXPECT_NEAR(g.re / 0x1p-537, std::sqrt((1 + std::sqrt(2.0)) / 2), 1e-15);
    // Random values square back to the operand.
    qivtest::Rng rng(3);
    for (int k = 0; k < 2000; ++k) {
        const zcomplex z = rng.z();
        const zcomplex r = qiv::zsqrt(z);
        EXPECT_GE(r.re, 0.0);
        const zcomplex back = r * r;
        EXPECT_NEAR(back.re, z.re, 1e-15);
        EXPECT_NEAR(back.im, z.im, 1e-15);
    }
}

TEST(SquareRoot, PurelyImaginaryGivesEqualCorrectlyRoundedParts) {
    // sqrt(iy) = sqrt(|y|/2) (1 + i sign(y)). Both parts must be the same
    // double r, correctly rounded: (r - ulp/2)^2 <= |y|/2 <= (r + ulp/2)^2,
    // evaluated exactly in binary128 (r +- ulp/2 has 54 significant bits, its
    // square 108), over the whole exponent range, subnormals included.
    qivtest::Rng rng(11);
    for (int k = 0; k < 20000; ++k) {
        const double y = std::ldexp(1.0 + std::fabs(rng.uniform()), rng.below(2098) - 1075) *
                         (k % 2 ? -1.0 : 1.0);
        if (y == 0.0 || !std::isfinite(y)) continue;
        const zcomplex r = qiv::zsqrt({k % 3 ? 0.0 : -0.0, y});
        ASSERT_TRUE(same_bits(r.re, std::fabs(r.im))) << y;
        ASSERT_EQ(std::signbit(r.im), std::signbit(y)) << y;
        const __float128 half_y = static_cast<__float128>(std::fabs(y)) / 2;
        const __float128 h = r.re, ulp = std::nextafter(r.re, inf) - r.re;
        const __float128 lo = h - ulp / 2, hi = h + ulp / 2;
        ASSERT_TRUE(lo * lo <= half_y && half_y <= hi * hi) << y;
    }
}

TEST(SquareRoot, SpecialValueTable) {
    const struct {
        zcomplex in, out;
    } rows[] = {
        {{1, inf}, {inf, inf}},    {{qnan, -inf}, {inf, -inf}}, {{-inf, inf}, {inf, inf}},
        {{-inf, 2}, {0, inf}},     {{-inf, -2}, {0, -inf}},     {{inf, 2}, {inf, 0}},
        {{inf, -2}, {inf, -0.0}},  {{inf, qnan}, {inf, qnan}},  {{qnan, 1}, {qnan, qnan}},
        {{qnan, 0}, {qnan, qnan}}, {{1, qnan}, {qnan, qnan}},
    };
    for (const auto& r : rows) {
        const zcomplex got = qiv::zsqrt(r.in);
        EXPECT_TRUE(same_bits(got.re, r.out.re) && same_bits(got.im, r.out.im))
            << r.in.re << "," << r.in.im << " -> " << got.re << "," << got.im;
    }
    // -inf + i NaN: NaN real part, infinite imaginary part with the NaN's sign bit.
    const zcomplex p = qiv::zsqrt({-inf, qnan});
    EXPECT_TRUE(std::isnan(p.re));
    EXPECT_EQ(p.im, inf);
    const zcomplex n = qiv::zsqrt({-inf, -qnan});
    EXPECT_TRUE(std::isnan(n.re));
    EXPECT_EQ(n.im, -inf);
}

}  // namespace
