#include "kernels/gemm.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
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
const char* const kOps[] = {"N", "T", "C"};

void gemm(const char* ta, const char* tb, int m, int n, int k, zcomplex alpha, const Padded& a,
          const Padded& b, zcomplex beta, Padded& c) {
    const int lda = a.ld(), ldb = b.ld(), ldc = c.ld();
    qiv::ZGEMM(ta, tb, &m, &n, &k, &alpha, a.data(), &lda, b.data(), &ldb, &beta, c.data(), &ldc);
}

// Stored shape of op(X) given the shape rows x cols of op(X).
int stored_rows(const char* t, int rows, int cols) { return t[0] == 'N' ? rows : cols; }
int stored_cols(const char* t, int rows, int cols) { return t[0] == 'N' ? cols : rows; }

// Element (i, j) of op(X) read from the stored matrix.
zcomplex op_at(const char* t, const Padded& x, int i, int j) {
    if (t[0] == 'N') return x(i, j);
    return t[0] == 'C' ? qiv::conj(x(j, i)) : x(j, i);
}

// Sets the stored block of x to small Gaussian integers, so every product and
// sum below stays exact in binary64.
void fill_int(Padded& x, Rng& rng) {
    for (int j = 1; j <= x.cols(); ++j)
        for (int i = 1; i <= x.rows(); ++i) x(i, j) = zc(rng.below(9) - 4, rng.below(9) - 4);
}

void fill(Padded& x, zcomplex v) {
    for (int j = 1; j <= x.cols(); ++j)
        for (int i = 1; i <= x.rows(); ++i) x(i, j) = v;
}

// The product formed independently: op(A) and op(B) written out first, then
// alpha times each inner product plus beta times the old C.
std::vector<zcomplex> naive(const char* ta, const char* tb, int m, int n, int k, zcomplex alpha,
                            const Padded& a, const Padded& b, zcomplex beta, const Padded& c) {
    std::vector<zcomplex> opa(static_cast<size_t>(m) * k), opb(static_cast<size_t>(k) * n);
    for (int l = 1; l <= k; ++l)
        for (int i = 1; i <= m; ++i) opa[(i - 1) + (l - 1) * m] = op_at(ta, a, i, l);
    for (int j = 1; j <= n; ++j)
        for (int l = 1; l <= k; ++l) opb[(l - 1) + (j - 1) * k] = op_at(tb, b, l, j);
    std::vector<zcomplex> out;
    for (int j = 1; j <= n; ++j) {
        for (int i = 1; i <= m; ++i) {
            double re = 0, im = 0;
            for (int l = 1; l <= k; ++l) {
                const zcomplex p = opa[(i - 1) + (l - 1) * m] * opb[(l - 1) + (j - 1) * k];
                re += p.re;
                im += p.im;
            }
            out.push_back(alpha * zc(re, im) + beta * c(i, j));
        }
    }
    return out;
}

TEST(Zgemm, AllNineCombinationsMatchNaiveProduct) {
    const int m = 5, n = 4, k = 6;
    Rng rng(11);
    for (const char* ta : kOps) {
        for (const char* tb : kOps) {
            SCOPED_TRACE(std::string(ta) + tb);
            Padded a(stored_rows(ta, m, k), stored_cols(ta, m, k), stored_rows(ta, m, k) + 3, 1);
            Padded b(stored_rows(tb, k, n), stored_cols(tb, k, n), stored_rows(tb, k, n) + 2, 2);
            Padded c(m, n, m + 4, 3);

            // Random data: agreement to rounding.
            const zcomplex alpha = zc(0.75, -1.25), beta = zc(-0.5, 0.25);
            const auto a0 = a.block(), b0 = b.block();
            const auto want = naive(ta, tb, m, n, k, alpha, a, b, beta, c);
            gemm(ta, tb, m, n, k, alpha, a, b, beta, c);
            const auto got = c.block();
            for (size_t p = 0; p < got.size(); ++p) {
                EXPECT_NEAR(got[p].re, want[p].re, 1e-13) << p;
                EXPECT_NEAR(got[p].im, want[p].im, 1e-13) << p;
            }
            EXPECT_EQ(qivtest::first_difference(a.block().data(), a0.data(), a0.size()), -1);
            EXPECT_EQ(qivtest::first_difference(b.block().data(), b0.data(), b0.size()), -1);
            EXPECT_TRUE(a.sentinels_intact() && b.sentinels_intact() && c.sentinels_intact());

            // Small integer data: every operation exact, so equality.
            fill_int(a, rng);
            fill_int(b, rng);
            fill_int(c, rng);
            const zcomplex ialpha = zc(2, -1), ibeta = zc(-1, 3);
            const auto iwant = naive(ta, tb, m, n, k, ialpha, a, b, ibeta, c);
            gemm(ta, tb, m, n, k, ialpha, a, b, ibeta, c);
            const auto igot = c.block();
            for (size_t p = 0; p < igot.size(); ++p) {
                EXPECT_EQ(igot[p].re, iwant[p].re) << p;
                EXPECT_EQ(igot[p].im, iwant[p].im) << p;
            }
            EXPECT_TRUE(c.sentinels_intact());
        }
    }
}

TEST(Zgemm, OptionLettersReadByFirstCharacterInEitherCase) {
    const int m = 3, n = 2, k = 4;
    Padded a(k, m, k, 5), b(n, k, n + 1, 6), c1(m, n, m, 7), c2(m, n, m, 7), c3(m, n, m, 7);
    gemm("C", "T", m, n, k, zc(1, 2), a, b, zc(0.5, 0), c1);
    gemm("c", "t", m, n, k, zc(1, 2), a, b, zc(0.5, 0), c2);
    gemm("Conjugate", "Transpose", m, n, k, zc(1, 2), a, b, zc(0.5, 0), c3);
    EXPECT_EQ(qivtest::first_difference(c1.block().data(), c2.block().data(), m * n), -1);
    EXPECT_EQ(qivtest::first_difference(c1.block().data(), c3.block().data(), m * n), -1);
}

TEST(Zgemm, BetaZeroNeverReadsC) {
    const int m = 3, n = 3, k = 2;
    for (const char* ta : kOps) {
        for (const char* tb : kOps) {
            SCOPED_TRACE(std::string(ta) + tb);
            Padded a(stored_rows(ta, m, k), stored_cols(ta, m, k), 4, 1);
            Padded b(stored_rows(tb, k, n), stored_cols(tb, k, n), 4, 2);
            Padded dirty(m, n, m, 3), clean(m, n, m, 3);
            fill(dirty, zc(kNaN, kInf));
            fill(clean, zc(0, 0));
            gemm(ta, tb, m, n, k, zc(1.5, -0.5), a, b, zc(0, 0), dirty);
            gemm(ta, tb, m, n, k, zc(1.5, -0.5), a, b, zc(0, 0), clean);
            for (int j = 1; j <= n; ++j)
                for (int i = 1; i <= m; ++i) {
                    EXPECT_FALSE(std::isnan(dirty(i, j).re) || std::isnan(dirty(i, j).im));
                    EXPECT_TRUE(same_bits(dirty(i, j), clean(i, j)));
                }
        }
    }
}

TEST(Zgemm, AlphaZeroReadsNeitherAnorB) {
    const int m = 3, n = 2, k = 4;
    for (const char* ta : {"N", "C"}) {
        SCOPED_TRACE(ta);
        Padded a(stored_rows(ta, m, k), stored_cols(ta, m, k), 5, 1);
        Padded b(k, n, k, 2);
        fill(a, zc(kNaN, kNaN));
        fill(b, zc(kInf, kNaN));

        // BETA = 1: nothing is touched, not even NaN payloads of C.
        Padded c(m, n, m + 1, 3);
        fill(c, zc(kInf, -kInf));
        c(2, 1) = qivtest::sentinel(77);
        const auto c0 = c.block();
        gemm(ta, "N", m, n, k, zc(0, 0), a, b, zc(1, 0), c);
        EXPECT_EQ(qivtest::first_difference(c.block().data(), c0.data(), c0.size()), -1);

        // BETA = 0: C becomes +0 exactly; a negative zero ALPHA is still zero.
        gemm(ta, "N", m, n, k, zc(-0.0, 0.0), a, b, zc(0, 0), c);
        for (const zcomplex& z : c.block()) EXPECT_TRUE(same_bits(z, zc(0.0, 0.0)));

        // BETA = 2 doubles C.
        Padded d(m, n, m, 4);
        const auto d0 = d.block();
        gemm(ta, "N", m, n, k, zc(0, 0), a, b, zc(2, 0), d);
        const auto d1 = d.block();
        for (size_t p = 0; p < d1.size(); ++p)
            EXPECT_TRUE(same_bits(d1[p], zc(2 * d0[p].re, 2 * d0[p].im)));
        EXPECT_TRUE(c.sentinels_intact() && d.sentinels_intact());
    }
}

TEST(Zgemm, NanScalarsReachEveryElement) {
    const int m = 2, n = 2, k = 2;
    for (const char* ta : {"N", "T"}) {
        Padded a(2, 2, 2, 1), b(2, 2, 2, 2), c(m, n, m, 3);
        gemm(ta, "N", m, n, k, zc(kNaN, 0), a, b, zc(1, 0), c);
        for (const zcomplex& z : c.block()) EXPECT_TRUE(std::isnan(z.re) && std::isnan(z.im)) << ta;
        Padded d(m, n, m, 3);
        gemm(ta, "N", m, n, k, zc(1, 0), a, b, zc(0, kNaN), d);
        for (const zcomplex& z : d.block()) EXPECT_TRUE(std::isnan(z.re) && std::isnan(z.im)) << ta;
    }
}

TEST(Zgemm, KZero) {
    const int m = 2, n = 3, k = 0;
    Padded a(2, 1, 2, 1), b(1, 3, 1, 2);  // never read
    fill(a, zc(kNaN, kNaN));
    fill(b, zc(kNaN, kNaN));
    for (const char* ta : {"N", "T"}) {
        SCOPED_TRACE(ta);
        Padded c(m, n, m + 2, 3);
        const auto c0 = c.block();
        gemm(ta, "N", m, n, k, zc(3, 1), a, b, zc(1, 0), c);
        EXPECT_EQ(qivtest::first_difference(c.block().data(), c0.data(), c0.size()), -1);
        gemm(ta, "N", m, n, k, zc(3, 1), a, b, zc(2, 0), c);
        const auto c1 = c.block();
        for (size_t p = 0; p < c1.size(); ++p)
            EXPECT_TRUE(same_bits(c1[p], zc(2 * c0[p].re, 2 * c0[p].im)));
        EXPECT_TRUE(c.sentinels_intact());
    }
    // With BETA = 0 the column form only clears C, while the dot form stores
    // ALPHA times an empty sum: (-1)(0) - (0)(0) gives a negative zero.
    Padded cn(m, n, m, 4), ct(m, n, m, 4);
    gemm("N", "N", m, n, k, zc(-1, 0), a, b, zc(0, 0), cn);
    gemm("T", "N", m, n, k, zc(-1, 0), a, b, zc(0, 0), ct);
    for (const zcomplex& z : cn.block()) EXPECT_TRUE(same_bits(z, zc(0.0, 0.0)));
    for (const zcomplex& z : ct.block()) EXPECT_TRUE(same_bits(z, zc(-0.0, 0.0)));
}

TEST(Zgemm, NoZeroTestOnElementsOfB) {
    for (const char* ta : kOps) {
        for (const char* tb : kOps) {
            Padded a(1, 1, 1, 1), b(1, 1, 1, 2), c(1, 1, 1, 3);
            a(1, 1) = zc(kInf, 0);
            b(1, 1) = zc(0, 0);
            c(1, 1) = zc(1, 1);
            gemm(ta, tb, 1, 1, 1, zc(1, 0), a, b, zc(1, 0), c);
            EXPECT_TRUE(std::isnan(c(1, 1).re)) << ta << tb;
        }
    }
}

// The column form rounds C after every term and applies ALPHA to B first; the
// dot form sums op(A)*op(B) in a temporary, then applies ALPHA and adds
// BETA*C last. Data chosen so that the two orders give different results.
TEST(Zgemm, ColumnAndDotFormsKeepTheirOrderOfOperations) {
    const double big = 9007199254740992.0;  // 2^53: 2^53 + 1 rounds back to 2^53
    Padded row(1, 2, 1, 1), col(2, 1, 2, 1), ones(2, 1, 2, 2), c(1, 1, 1, 3);
    row(1, 1) = col(1, 1) = zc(big, 0);
    row(1, 2) = col(2, 1) = zc(-big, 0);
    ones(1, 1) = ones(2, 1) = zc(1, 0);

    c(1, 1) = zc(1, 0);
    gemm("N", "N", 1, 1, 2, zc(1, 0), row, ones, zc(1, 0), c);  // (1 + 2^53) - 2^53
    EXPECT_TRUE(same_bits(c(1, 1), zc(0, 0)));
    c(1, 1) = zc(1, 0);
    gemm("T", "N", 1, 1, 2, zc(1, 0), col, ones, zc(1, 0), c);  // (2^53 - 2^53) + 1
    EXPECT_TRUE(same_bits(c(1, 1), zc(1, 0)));

    const double huge = std::ldexp(1.0, 1023);
    row(1, 1) = col(1, 1) = zc(huge, 0);
    row(1, 2) = col(2, 1) = zc(-huge, 0);
    gemm("N", "N", 1, 1, 2, zc(2, 0), row, ones, zc(0, 0), c);  // 2*2^1023 overflows per term
    EXPECT_TRUE(std::isnan(c(1, 1).re));
    gemm("T", "N", 1, 1, 2, zc(2, 0), col, ones, zc(0, 0), c);  // 2 * (2^1023 - 2^1023)
    EXPECT_TRUE(same_bits(c(1, 1), zc(0, 0)));

    // ALPHA*B(l, j) first, then times A: (2^600 * 2^-600) * 2^-600 = 2^-600,
    // while the dot form's 2^-600 * 2^-600 underflows to zero before ALPHA.
    const double tiny = std::ldexp(1.0, -600);
    Padded t(1, 1, 1, 4), s(1, 1, 1, 5);
    t(1, 1) = zc(tiny, 0);
    s(1, 1) = zc(tiny, 0);
    gemm("N", "N", 1, 1, 1, zc(std::ldexp(1.0, 600), 0), t, s, zc(0, 0), c);
    EXPECT_TRUE(same_bits(c(1, 1), zc(tiny, 0)));
    gemm("T", "N", 1, 1, 1, zc(std::ldexp(1.0, 600), 0), t, s, zc(0, 0), c);
    EXPECT_TRUE(same_bits(c(1, 1), zc(0, 0)));
}

TEST(Zgemm, EmptyResultTouchesNothing) {
    Padded a(3, 3, 3, 1), b(3, 3, 3, 2), c(3, 3, 3, 3);
    const auto c0 = c.block();
    gemm("N", "N", 0, 3, 3, zc(1, 0), a, b, zc(0, 0), c);
    gemm("N", "N", 3, 0, 3, zc(1, 0), a, b, zc(0, 0), c);
    EXPECT_EQ(qivtest::first_difference(c.block().data(), c0.data(), c0.size()), -1);
    EXPECT_TRUE(c.sentinels_intact());
}

TEST(Zgemm, ArgumentChecksInOrder) {
    zcomplex buf[16] = {};
    const zcomplex one = zc(1, 0);
    const auto call = [&](const char* ta, const char* tb, int m, int n, int k, int lda, int ldb,
                          int ldc) {
        qiv::ZGEMM(ta, tb, &m, &n, &k, &one, buf, &lda, buf, &ldb, &one, buf, &ldc);
    };
    EXPECT_ILLEGAL("ZGEMM", 1, call("X", "N", 1, 1, 1, 1, 1, 1));
    EXPECT_ILLEGAL("ZGEMM", 1, call("x", "Q", -1, 1, 1, 0, 0, 0));
    EXPECT_ILLEGAL("ZGEMM", 2, call("c", "R", -1, 1, 1, 1, 1, 1));
    EXPECT_ILLEGAL("ZGEMM", 3, call("N", "N", -1, -1, 1, 1, 1, 1));
    EXPECT_ILLEGAL("ZGEMM", 4, call("N", "N", 1, -1, -1, 1, 1, 1));
    EXPECT_ILLEGAL("ZGEMM", 5, call("N", "N", 1, 1, -1, 0, 1, 1));
    EXPECT_ILLEGAL("ZGEMM", 8, call("N", "N", 0, 1, 1, 0, 1, 1));  // max(1, 0) = 1
    EXPECT_ILLEGAL("ZGEMM", 8, call("N", "N", 3, 1, 1, 2, 1, 3));
    EXPECT_ILLEGAL("ZGEMM", 8, call("T", "N", 1, 1, 3, 2, 3, 1));  // NROWA = K
    EXPECT_ILLEGAL("ZGEMM", 10, call("T", "N", 1, 1, 3, 3, 2, 0));
    EXPECT_ILLEGAL("ZGEMM", 10, call("N", "C", 1, 3, 1, 1, 2, 1));  // NROWB = N
    EXPECT_ILLEGAL("ZGEMM", 13, call("N", "T", 2, 1, 1, 2, 1, 1));
    EXPECT_ILLEGAL("ZGEMM", 13, call("N", "N", 0, 0, 0, 1, 1, 0));
}

}  // namespace
