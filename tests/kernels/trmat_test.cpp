#include "kernels/trmat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "frame/complex.h"
#include "support/child.h"
#include "support/matrix.h"

namespace {

using qiv::zc;
using qiv::zcomplex;
using qivtest::Padded;
using qivtest::Rng;
using qivtest::same_bits;

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

using Kernel = void (*)(const char*, const char*, const char*, const char*, const int*, const int*,
                        const zcomplex*, const zcomplex*, const int*, zcomplex*, const int*);

struct Case {
    const char* side;
    const char* uplo;
    const char* trans;
    const char* diag;
    bool left() const { return side[0] == 'L'; }
    bool upper() const { return uplo[0] == 'U'; }
    bool unit() const { return diag[0] == 'U'; }
    std::string name() const { return std::string(side) + uplo + trans + diag; }
};

// All 24 combinations of side, triangle, transpose and diagonal.
std::vector<Case> all_cases() {
    std::vector<Case> out;
    for (const char* s : {"L", "R"})
        for (const char* u : {"U", "L"})
            for (const char* t : {"N", "T", "C"})
                for (const char* d : {"N", "U"}) out.push_back({s, u, t, d});
    return out;
}

void call(Kernel f, const Case& c, zcomplex alpha, const Padded& a, Padded& b) {
    const int m = b.rows(), n = b.cols(), lda = a.ld(), ldb = b.ld();
    f(c.side, c.uplo, c.trans, c.diag, &m, &n, &alpha, a.data(), &lda, b.data(), &ldb);
}

bool in_triangle(const Case& c, int i, int j) { return c.upper() ? i <= j : i >= j; }

// Fills the half of A the kernels must not read (the other triangle, and the
// diagonal when it is implicit) with NaN.
void poison_unread(const Case& c, Padded& a) {
    for (int j = 1; j <= a.cols(); ++j)
        for (int i = 1; i <= a.rows(); ++i)
            if (!in_triangle(c, i, j) || (i == j && c.unit())) a(i, j) = zc(kNaN, -kNaN);
}

// Element (i, j) of op(A) as the mathematical triangular matrix.
zcomplex op_tri(const Case& c, const Padded& a, int i, int j) {
    if (c.trans[0] != 'N') std::swap(i, j);
    if (!in_triangle(c, i, j)) return zc(0, 0);
    if (i == j && c.unit()) return zc(1, 0);
    return c.trans[0] == 'C' ? qiv::conj(a(i, j)) : a(i, j);
}

// alpha*op(A)*X or alpha*X*op(A), formed independently of the kernels.
std::vector<zcomplex> naive_product(const Case& c, zcomplex alpha, const Padded& a,
                                    const Padded& x) {
    const int m = x.rows(), n = x.cols();
    std::vector<zcomplex> out;
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= m; ++i) {
            zcomplex s = zc(0, 0);
            if (c.left()) {
                for (int l = 1; l <= m; ++l) s = s + op_tri(c, a, i, l) * x(l, j);
            } else {
                for (int l = 1; l <= n; ++l) s = s + x(i, l) * op_tri(c, a, l, j);
            }
            out.push_back(alpha * s);
        }
    }
    return out;
}

void expect_near(const std::vector<zcomplex>& got, const std::vector<zcomplex>& want, double tol) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t p = 0; p < got.size(); ++p) {
        EXPECT_NEAR(got[p].re, want[p].re, tol) << p;
        EXPECT_NEAR(got[p].im, want[p].im, tol) << p;
    }
}

std::vector<zcomplex> scaled(zcomplex alpha, const std::vector<zcomplex>& v) {
    std::vector<zcomplex> out;
    for (const zcomplex& z : v) out.push_back(alpha * z);
    return out;
}

TEST(TriangularMatrix, RandomDataAgainstNaiveProductsAndRoundTrip) {
    const int m = 5, n = 4;
    const zcomplex alpha = zc(0.5, -1.5);
    for (const Case& c : all_cases()) {
        SCOPED_TRACE(c.name());
        const int na = c.left() ? m : n;
        Padded a(na, na, na + 3, 21);
        for (int i = 1; i <= na; ++i) a(i, i) = a(i, i) + zc(3, 1);  // well conditioned
        poison_unread(c, a);
        const auto a0 = a.block();

        // ZTRMM against the naive product.
        Padded b(m, n, m + 2, 22);
        const auto want_mm = naive_product(c, alpha, a, b);
        call(qiv::ZTRMM, c, alpha, a, b);
        expect_near(b.block(), want_mm, 1e-13);
        EXPECT_TRUE(b.sentinels_intact());

        // ZTRSM: op(A)*X (or X*op(A)) must give back alpha*B.
        Padded x(m, n, m + 2, 22);
        const auto rhs = x.block();
        call(qiv::ZTRSM, c, alpha, a, x);
        expect_near(naive_product(c, zc(1, 0), a, x), scaled(alpha, rhs), 1e-13);
        EXPECT_TRUE(x.sentinels_intact());

        // ZTRMM undoes ZTRSM.
        call(qiv::ZTRMM, c, zc(1, 0), a, x);
        expect_near(x.block(), scaled(alpha, rhs), 1e-13);

        EXPECT_EQ(qivtest::first_difference(a.block().data(), a0.data(), a0.size()), -1);
        EXPECT_TRUE(a.sentinels_intact());
    }
}

// With unit-modulus diagonal elements (1, -1, i, -i), small integer
// off-diagonal elements and ALPHA = i then -i, every intermediate value is a
// small Gaussian integer, so the round trips are exact in both directions.
TEST(TriangularMatrix, IntegerRoundTripIsExact) {
    const int m = 4, n = 5;
    const zcomplex units[] = {zc(1, 0), zc(-1, 0), zc(0, 1), zc(0, -1)};
    Rng rng(5);
    for (const Case& c : all_cases()) {
        SCOPED_TRACE(c.name());
        const int na = c.left() ? m : n;
        Padded a(na, na, na + 1, 31);
        for (int j = 1; j <= na; ++j)
            for (int i = 1; i <= na; ++i)
                a(i, j) = i == j ? units[rng.below(4)] : zc(rng.below(5) - 2, rng.below(5) - 2);
        poison_unread(c, a);
        Padded b(m, n, m + 3, 32);
        for (int j = 1; j <= n; ++j)
            for (int i = 1; i <= m; ++i) b(i, j) = zc(rng.below(9) - 4, rng.below(9) - 4);
        const auto b0 = b.block();

        call(qiv::ZTRSM, c, zc(0, 1), a, b);
        call(qiv::ZTRMM, c, zc(0, -1), a, b);
        auto b1 = b.block();
        for (size_t p = 0; p < b0.size(); ++p) {
            EXPECT_EQ(b1[p].re, b0[p].re) << p;
            EXPECT_EQ(b1[p].im, b0[p].im) << p;
        }
        call(qiv::ZTRMM, c, zc(0, 1), a, b);
        call(qiv::ZTRSM, c, zc(0, -1), a, b);
        b1 = b.block();
        for (size_t p = 0; p < b0.size(); ++p) {
            EXPECT_EQ(b1[p].re, b0[p].re) << p;
            EXPECT_EQ(b1[p].im, b0[p].im) << p;
        }
        EXPECT_TRUE(b.sentinels_intact() && a.sentinels_intact());
    }
}

TEST(TriangularMatrix, AlphaZeroClearsBWithoutReading) {
    for (Kernel f : {Kernel{qiv::ZTRSM}, Kernel{qiv::ZTRMM}}) {
        for (const Case& c : all_cases()) {
            Padded a(3, 3, 3, 1), b(3, 3, 4, 2);
            for (int j = 1; j <= 3; ++j)
                for (int i = 1; i <= 3; ++i) a(i, j) = b(i, j) = zc(kNaN, kInf);
            call(f, c, zc(0, -0.0), a, b);
            for (const zcomplex& z : b.block()) EXPECT_TRUE(same_bits(z, zc(0.0, 0.0))) << c.name();
            EXPECT_TRUE(b.sentinels_intact());
        }
    }
}

TEST(TriangularMatrix, EmptyBTouchesNothing) {
    for (Kernel f : {Kernel{qiv::ZTRSM}, Kernel{qiv::ZTRMM}}) {
        Padded a(2, 2, 2, 1), b(2, 2, 2, 2);
        const auto b0 = b.block();
        const int zero = 0, two = 2, ld = 2;
        const zcomplex alpha = zc(0, 0);
        f("L", "U", "N", "N", &zero, &two, &alpha, a.data(), &ld, b.data(), &ld);
        f("R", "L", "C", "U", &two, &zero, &alpha, a.data(), &ld, b.data(), &ld);
        EXPECT_EQ(qivtest::first_difference(b.block().data(), b0.data(), b0.size()), -1);
    }
}

// Zero tests skip work only on B(k, j) in the left "N" cases and on the
// off-diagonal element of A in the right cases; the left transposed cases
// always form every product.
TEST(TriangularMatrix, ZeroTestsOnlyWhereDefined) {
    for (Kernel f : {Kernel{qiv::ZTRSM}, Kernel{qiv::ZTRMM}}) {
        for (const Case& c : all_cases()) {
            SCOPED_TRACE(c.name() + (f == Kernel{qiv::ZTRSM} ? " ZTRSM" : " ZTRMM"));
            if (c.left()) {
                // A zero column of B against a triangle full of NaN.
                Padded a(3, 3, 3, 1), b(3, 2, 3, 2);
                for (int j = 1; j <= 3; ++j)
                    for (int i = 1; i <= 3; ++i) a(i, j) = zc(kNaN, kNaN);
                for (int i = 1; i <= 3; ++i) b(i, 1) = zc(0, 0);
                call(f, c, zc(1, 0), a, b);
                bool nan = false;
                for (int i = 1; i <= 3; ++i) nan |= std::isnan(b(i, 1).re);
                EXPECT_EQ(nan, c.trans[0] != 'N');
            } else {
                // A zero coupling between the two columns of B, one of them infinite:
                // no 0*Inf is formed, so the other column stays finite.
                Padded a(2, 2, 2, 1), b(2, 2, 2, 2);
                a(1, 1) = a(2, 2) = zc(1, 0);
                a(1, 2) = a(2, 1) = zc(0, 0);
                const bool col1_feeds = c.upper() == (c.trans[0] == 'N');
                const int feed = col1_feeds ? 1 : 2, recv = col1_feeds ? 2 : 1;
                for (int i = 1; i <= 2; ++i) {
                    b(i, feed) = zc(kInf, kInf);
                    b(i, recv) = zc(i, -3);
                }
                call(f, c, zc(1, 0), a, b);
                for (int i = 1; i <= 2; ++i) EXPECT_TRUE(same_bits(b(i, recv), zc(i, -3))) << i;
            }
        }
    }
}

// Left cases divide by the diagonal, right cases multiply by its reciprocal:
// 49/49 is 1, but 49*(1/49) is the double just below 1.
TEST(TriangularMatrix, TrsmDividesLeftAndMultipliesByReciprocalRight) {
    const double below_one = std::nextafter(1.0, 0.0);
    ASSERT_NE(49.0 * (1.0 / 49.0), 1.0);
    for (const Case& c : all_cases()) {
        if (c.unit()) continue;
        Padded a(1, 1, 1, 1), b(1, 1, 1, 2);
        a(1, 1) = zc(49, 0);
        b(1, 1) = zc(49, 0);
        call(qiv::ZTRSM, c, zc(1, 0), a, b);
        EXPECT_TRUE(same_bits(b(1, 1), zc(c.left() ? 1.0 : below_one, 0))) << c.name();
    }
}

TEST(TriangularMatrix, OneByOneSpecialValues) {
    for (const Case& c : all_cases()) {
        SCOPED_TRACE(c.name());
        Padded a(1, 1, 1, 1), b(1, 1, 1, 2);
        if (!c.unit()) {
            // A zero diagonal is divided by: both parts NaN.
            a(1, 1) = zc(0, 0);
            b(1, 1) = zc(1, 0);
            call(qiv::ZTRSM, c, zc(1, 0), a, b);
            EXPECT_TRUE(std::isnan(b(1, 1).re) && std::isnan(b(1, 1).im));

            // Conjugated diagonal: 1/conj(i) = i, and conj(i)*1 = -i.
            a(1, 1) = zc(0, 1);
            b(1, 1) = zc(1, 0);
            call(qiv::ZTRSM, c, zc(1, 0), a, b);
            EXPECT_EQ(b(1, 1).re, 0.0);
            EXPECT_EQ(b(1, 1).im, c.trans[0] == 'C' ? 1.0 : -1.0);
            b(1, 1) = zc(1, 0);
            call(qiv::ZTRMM, c, zc(1, 0), a, b);
            EXPECT_EQ(b(1, 1).re, 0.0);
            EXPECT_EQ(b(1, 1).im, c.trans[0] == 'C' ? -1.0 : 1.0);
        } else {
            // Multiplying (Inf, 1) by 1 + 0i gives (Inf, NaN), so a unit ALPHA
            // shows where it is multiplied in anyway: ZTRSM only in the left
            // transposed cases, ZTRMM everywhere but the right transposed ones.
            a(1, 1) = zc(kNaN, kNaN);
            b(1, 1) = zc(kInf, 1);
            call(qiv::ZTRSM, c, zc(1, 0), a, b);
            const bool left_t = c.left() && c.trans[0] != 'N';
            EXPECT_EQ(std::isnan(b(1, 1).im), left_t) << "ZTRSM";
            b(1, 1) = zc(kInf, 1);
            call(qiv::ZTRMM, c, zc(1, 0), a, b);
            const bool right_t = !c.left() && c.trans[0] != 'N';
            EXPECT_EQ(std::isnan(b(1, 1).im), !right_t) << "ZTRMM";
        }
    }
}

// The B entry updated from the other one ("receiving") and the entry it is
// updated from ("feeding"), for a 2-by-1 (left) or 1-by-2 (right) B.
struct Coupling {
    int recv, feed;
};
Coupling coupling(const Case& c) {
    const bool first_feeds = c.upper() == (c.trans[0] == 'N') ? !c.left() : c.left();
    return first_feeds ? Coupling{2, 1} : Coupling{1, 2};
}

// ZTRSM applies ALPHA first except in the right transposed cases, where it
// comes last. With B = (2^1000, 2^1000), a unit off-diagonal element and
// ALPHA = 2^30, ALPHA first overflows both entries before the subtraction.
TEST(TriangularMatrix, TrsmAppliesAlphaLastOnlyInRightTransposedCases) {
    const double big = std::ldexp(1.0, 1000);
    for (const Case& c : all_cases()) {
        if (!c.unit()) continue;
        SCOPED_TRACE(c.name());
        Padded a(2, 2, 2, 1), b(c.left() ? 2 : 1, c.left() ? 1 : 2, 2, 2);
        a(1, 2) = a(2, 1) = zc(1, 0);
        b.data()[0] = b.data()[c.left() ? 1 : 2] = zc(big, 0);
        call(qiv::ZTRSM, c, zc(std::ldexp(1.0, 30), 0), a, b);
        const auto v = b.block();
        const Coupling k = coupling(c);
        if (!c.left() && c.trans[0] != 'N') {
            EXPECT_TRUE(same_bits(v[k.recv - 1], zc(0, 0)));
        } else {
            EXPECT_TRUE(std::isnan(v[k.recv - 1].re));
        }
        EXPECT_EQ(v[k.feed - 1].re, kInf);
    }
}

// ZTRMM folds ALPHA into the multiplier of each update, except in the left
// transposed cases, which multiply the finished sum. With ALPHA = 2^600 and
// 2^-600 for the coupling and the feeding entry, folding gives 2^-600 in the
// receiving entry; the finished sum 2^-1200 underflows to zero.
TEST(TriangularMatrix, TrmmFoldsAlphaIntoTheUpdates) {
    const double tiny = std::ldexp(1.0, -600);
    for (const Case& c : all_cases()) {
        if (!c.unit()) continue;
        SCOPED_TRACE(c.name());
        Padded a(2, 2, 2, 1), b(c.left() ? 2 : 1, c.left() ? 1 : 2, 2, 2);
        a(1, 2) = a(2, 1) = zc(tiny, 0);
        const Coupling k = coupling(c);
        const int stride = c.left() ? 1 : 2;
        b.data()[(k.recv - 1) * stride] = zc(0, 0);
        b.data()[(k.feed - 1) * stride] = zc(tiny, 0);
        call(qiv::ZTRMM, c, zc(std::ldexp(1.0, 600), 0), a, b);
        const auto v = b.block();
        const bool left_t = c.left() && c.trans[0] != 'N';
        EXPECT_TRUE(same_bits(v[k.recv - 1], zc(left_t ? 0.0 : tiny, 0)));
        EXPECT_TRUE(same_bits(v[k.feed - 1], zc(1, 0)));
    }
}

TEST(TriangularMatrix, ArgumentChecksInOrder) {
    zcomplex buf[16] = {};
    const zcomplex one = zc(1, 0);
    for (Kernel f : {Kernel{qiv::ZTRSM}, Kernel{qiv::ZTRMM}}) {
        const std::string name = f == Kernel{qiv::ZTRSM} ? "ZTRSM" : "ZTRMM";
        const auto run = [&](const char* s, const char* u, const char* t, const char* d, int m,
                             int n, int lda,
                             int ldb) { f(s, u, t, d, &m, &n, &one, buf, &lda, buf, &ldb); };
        EXPECT_ILLEGAL(name, 1, run("X", "U", "N", "N", 1, 1, 1, 1));
        EXPECT_ILLEGAL(name, 1, run("u", "Q", "Q", "Q", -1, -1, 0, 0));
        EXPECT_ILLEGAL(name, 2, run("l", "N", "Q", "N", 1, 1, 1, 1));
        EXPECT_ILLEGAL(name, 3, run("r", "u", "U", "N", 1, 1, 1, 1));
        EXPECT_ILLEGAL(name, 4, run("L", "L", "c", "X", -1, 1, 1, 1));
        EXPECT_ILLEGAL(name, 4, run("L", "L", "t", "L", 1, 1, 1, 1));
        EXPECT_ILLEGAL(name, 5, run("L", "L", "N", "u", -1, -1, 1, 1));
        EXPECT_ILLEGAL(name, 6, run("L", "L", "N", "n", 1, -1, 0, 1));
        EXPECT_ILLEGAL(name, 9, run("L", "U", "N", "N", 3, 1, 2, 3));
        EXPECT_ILLEGAL(name, 9, run("R", "U", "N", "N", 1, 3, 2, 1));  // NROWA = N
        EXPECT_ILLEGAL(name, 9, run("L", "U", "N", "N", 0, 0, 0, 1));  // max(1, 0) = 1
        EXPECT_ILLEGAL(name, 11, run("R", "U", "N", "N", 3, 1, 1, 2));
        EXPECT_ILLEGAL(name, 11, run("L", "U", "N", "N", 0, 1, 1, 0));
    }
}

}  // namespace
