// Balancing (ZGEBAL) and the back-transformation of eigenvectors (ZGEBAK).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <numeric>
#include <vector>

#include "eigen/eigen.h"
#include "frame/complex.h"
#include "support/child.h"
#include "support/hh_support.h"
#include "support/matrix.h"

namespace {

using hhtest::kEps;
using hhtest::Mat;
using qiv::zcomplex;
using qivtest::same_bits;

const double qnan = std::numeric_limits<double>::quiet_NaN();
double abs1(zcomplex z) { return std::fabs(z.re) + std::fabs(z.im); }
bool power_of_two(double x) {
    int e = 0;
    return x > 0 && std::frexp(x, &e) == 0.5;
}

struct Balanced {
    Mat a;
    int ilo = -1, ihi = -1, info = -99;
    std::vector<double> scale;
};

// Balances a copy of a0 stored with two NaN padding rows per column.
Balanced balance(const char* job, const Mat& a0) {
    Balanced b;
    b.a = Mat(a0.m, a0.n, a0.m + 2);
    hhtest::fill_nan(b.a);
    for (int j = 1; j <= a0.n; ++j)
        for (int i = 1; i <= a0.m; ++i) b.a(i, j) = a0(i, j);
    b.scale.assign(std::max(1, a0.n), -7.0);
    qiv::ZGEBAL(job, &b.a.n, b.a.data(), &b.a.ld, &b.ilo, &b.ihi, b.scale.data(), &b.info);
    for (int j = 1; j <= a0.n; ++j)
        for (int i = a0.m + 1; i <= b.a.ld; ++i) EXPECT_TRUE(std::isnan(b.a(i, j).re));
    return b;
}

double d_of(const Balanced& b, int i) { return i >= b.ilo && i <= b.ihi ? b.scale[i - 1] : 1.0; }

// The transformation that SCALE records, replayed on a0 with whole row and
// column interchanges and one exact power-of-2 factor per element.
Mat replay(const Mat& a0, const Balanced& b) {
    Mat p = a0;
    const int n = a0.n;
    auto swap_rc = [&](int i, int k) {
        for (int r = 1; r <= n; ++r) std::swap(p(r, i), p(r, k));
        for (int c = 1; c <= n; ++c) std::swap(p(i, c), p(k, c));
    };
    for (int j = n; j > b.ihi; --j) swap_rc(j, static_cast<int>(b.scale[j - 1]));
    for (int j = 1; j < b.ilo; ++j) swap_rc(j, static_cast<int>(b.scale[j - 1]));
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) p(i, j) = qiv::scale(d_of(b, j) / d_of(b, i), p(i, j));
    return p;
}

// Upper triangular except for a dense core in rows/columns c0..c1 graded by
// 2^(e_j - e_i), then symmetrically permuted at random.
Mat hidden_core(int n, int c0, int c1, std::uint64_t seed) {
    qivtest::Rng rng(seed);
    Mat u(n, n);
    std::vector<int> e(n + 1);
    for (int i = 1; i <= n; ++i) e[i] = rng.below(17) - 8;
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i)
            if (i <= j || (i <= c1 && j >= c0))
                u(i, j) = i >= c0 && i <= c1 && j >= c0 && j <= c1
                              ? qiv::scale(std::ldexp(1.0, e[j] - e[i]), rng.z())
                              : rng.z();
    std::vector<int> perm(n);
    std::iota(perm.begin(), perm.end(), 1);
    std::shuffle(perm.begin(), perm.end(), rng.engine());
    Mat a(n, n);
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) a(i, j) = u(perm[i - 1], perm[j - 1]);
    return a;
}

// A matrix given row by row.
Mat from_rows(int n, std::initializer_list<zcomplex> rows) {
    Mat a(n, n);
    auto it = rows.begin();
    for (int i = 1; i <= n; ++i)
        for (int j = 1; j <= n; ++j) a(i, j) = *it++;
    return a;
}

// Scalings worked by hand. (1, 1024; 1/1024, 1): i = 1 doubles F five times
// (32), i = 2 halves it three times (1/8), the next pass doubles SCALE(1)
// once more. The zero-diagonal pairs pin where the loops stop: doubling
// until the column norm reaches half the row norm, halving while half the
// column norm is at least the row norm (ties included).
TEST(Zgebal, HandWorkedScalings) {
    const struct {
        double a12, a21, diag, s1, s2;
    } cases[] = {{1024, 1.0 / 1024, 1, 64, 0.125}, {8, 1, 0, 2, 1}, {1, 8, 0, 0.25, 1}};
    for (const auto& c : cases) {
        const Mat a = from_rows(2, {{c.diag, 0}, {c.a12, 0}, {c.a21, 0}, {c.diag, 0}});
        const Balanced b = balance("S", a);
        EXPECT_EQ(b.info, 0);
        EXPECT_EQ(b.ilo, 1);
        EXPECT_EQ(b.ihi, 2);
        EXPECT_EQ(b.scale, (std::vector<double>{c.s1, c.s2})) << c.a12;
        EXPECT_TRUE(same_bits(b.a(1, 1), a(1, 1)) && same_bits(b.a(2, 2), a(2, 2)));
        EXPECT_LE(b.a(1, 2).re / b.a(2, 1).re, 4.0);
        EXPECT_TRUE(hhtest::same_block(b.a, replay(a, b)));
    }
}

// Where several rows or columns could be isolated, the pass structure (rows
// from the bottom up, columns from the left, one pass at a time) decides
// which interchanges are recorded. Both cases are worked by hand.
TEST(Zgebal, PassOrderFixesTheRecordedInterchanges) {
    const zcomplex o{0, 0};
    const Mat rows = from_rows(3, {{2, 1}, o, o, o, {3, 0}, o, {1, 1}, {-1, 2}, {5, 0}});
    const Balanced br = balance("P", rows);
    EXPECT_EQ(br.ilo, 1);
    EXPECT_EQ(br.ihi, 1);
    EXPECT_EQ(br.scale, (std::vector<double>{1, 1, 2}));
    EXPECT_TRUE(hhtest::same_block(br.a, replay(rows, br)));

    // Columns 2 and 4 isolated, no row.
    const Mat cols = from_rows(4, {{1, 0},
                                   o,
                                   {2, 0},
                                   o,
                                   {3, 0},
                                   {4, 1},
                                   {5, 0},
                                   o,  //
                                   {6, 0},
                                   o,
                                   {7, -1},
                                   o,
                                   {8, 0},
                                   o,
                                   {9, 0},
                                   {1, 2}});
    const Balanced bc = balance("B", cols);
    EXPECT_EQ(bc.ilo, 3);
    EXPECT_EQ(bc.ihi, 4);
    EXPECT_EQ(bc.scale[0], 2.0);
    EXPECT_EQ(bc.scale[1], 4.0);
    EXPECT_TRUE(hhtest::same_block(bc.a, replay(cols, bc)));
}

// Permuted block triangular matrices with a graded dense core (or none): the
// isolatable rows and columns are found, the structure outside ILO..IHI is
// triangular, and the output is exactly the recorded transformation of the
// input (permutation, then power-of-2 scaling: no rounding at all).
TEST(Zgebal, HiddenCoreIsFoundAndScaledExactly) {
    const struct {
        int n, c0, c1, ilo, ihi;
    } shapes[] = {{10, 4, 7, 4, 7}, {9, 10, 0, 1, 1}, {6, 1, 6, 1, 6}};
    for (const auto& sh : shapes)
        for (std::uint64_t seed = 11; seed <= 13; ++seed) {
            const int n = sh.n;
            const Mat a = hidden_core(n, sh.c0, sh.c1, seed);
            for (const char* job : {"B", "p", "S", "N"}) {
                const Balanced b = balance(job, a);
                EXPECT_EQ(b.info, 0);
                const bool permutes = job[0] == 'B' || job[0] == 'p';
                EXPECT_EQ(b.ilo, permutes ? sh.ilo : 1);
                EXPECT_EQ(b.ihi, permutes ? sh.ihi : n);
                for (int j = 1; j <= n; ++j)
                    for (int i = j + 1; i <= n; ++i)
                        EXPECT_TRUE((j >= b.ilo && i <= b.ihi) || qiv::is_zero(b.a(i, j)));
                bool any_scaled = false;
                for (int i = b.ilo; i <= b.ihi; ++i) {
                    EXPECT_TRUE(power_of_two(b.scale[i - 1]));
                    any_scaled = any_scaled || b.scale[i - 1] != 1.0;
                }
                const bool scales = job[0] == 'B' || job[0] == 'S';
                EXPECT_EQ(any_scaled, scales && b.ihi > b.ilo) << job;
                EXPECT_TRUE(hhtest::same_block(b.a, replay(a, b))) << job << seed;
            }
        }
}

TEST(Zgebal, SmallOrdersAndNaNOutsideTheScaledPart) {
    const Balanced b0 = balance("B", Mat(0, 0));
    EXPECT_EQ(std::vector<double>({1.0 * b0.ilo, 1.0 * b0.ihi, b0.scale[0]}),
              std::vector<double>({1, 0, -7}));  // SCALE untouched
    const Balanced b1 = balance("B", from_rows(1, {{3, -1}}));
    EXPECT_EQ(std::vector<double>({1.0 * b1.ilo, 1.0 * b1.ihi, b1.scale[0]}),
              std::vector<double>({1, 1, 1}));

    // A NaN above the diagonal of a triangular matrix never reaches the
    // scaling phase: every row is isolated first, and nothing moves.
    Mat t = hhtest::random_mat(5, 5, 3);
    for (int j = 1; j <= 5; ++j)
        for (int i = j + 1; i <= 5; ++i) t(i, j) = {0.0, 0.0};
    t(1, 4) = {qnan, 0.0};
    const Balanced bn = balance("B", t);
    EXPECT_EQ(bn.info, 0);
    EXPECT_EQ(bn.ihi, 1);
    EXPECT_EQ(bn.scale, (std::vector<double>{1, 2, 3, 4, 5}));
    EXPECT_TRUE(hhtest::same_block(bn.a, t));
}

TEST(Zgebal, ArgumentChecksAndNaNReport) {
    Mat a = hhtest::random_mat(4, 4, 5);
    std::vector<double> scale(4);
    int ilo = 0, ihi = 0, info = 0;
    auto gebal = [&](const char* job, int n, int lda) {
        qiv::ZGEBAL(job, &n, a.data(), &lda, &ilo, &ihi, scale.data(), &info);
    };
    EXPECT_ILLEGAL("ZGEBAL", 1, gebal("X", 4, 4));
    EXPECT_ILLEGAL("ZGEBAL", 1, gebal("X", -1, 0));  // first failure wins
    EXPECT_ILLEGAL("ZGEBAL", 2, gebal("B", -1, 0));
    EXPECT_ILLEGAL("ZGEBAL", 4, gebal("B", 4, 3));
    EXPECT_ILLEGAL("ZGEBAL", 4, gebal("N", 0, 0));
    a(2, 3) = {1.0, qnan};
    EXPECT_ILLEGAL("ZGEBAL", 3, gebal("S", 4, 4));
    EXPECT_ILLEGAL("ZGEBAL", 3, gebal("B", 4, 4));
}

// A*(back-transformed X) = back-transformed (B*X) for right vectors and
// A^H*(back Y) = back (B^H*Y) for left ones, whatever X and Y: so every
// right or left eigenvector of the balanced B turns into one of A with the
// same eigenvalue. Checked element by element against the size of the
// products, for every JOB and both sides.
TEST(Zgebak, IntertwinesOriginalAndBalancedMatrix) {
    const int n = 10, m = 3;
    for (std::uint64_t seed = 21; seed <= 24; ++seed) {
        const Mat a = hidden_core(n, 4, 7, seed);
        const Mat x = hhtest::random_mat(n, m, seed + 100);
        for (const char* job : {"B", "S", "P", "N"}) {
            const Balanced b = balance(job, a);
            for (const char* side : {"R", "l"}) {
                const bool right = side[0] == 'R';
                const Mat op_a = right ? a : hhtest::conj_transpose(a);
                const Mat op_b = right ? b.a : hhtest::conj_transpose(b.a);
                auto back = [&](Mat v) {
                    int info = -99;
                    qiv::ZGEBAK(job, side, &n, &b.ilo, &b.ihi, b.scale.data(), &m, v.data(), &v.ld,
                                &info);
                    EXPECT_EQ(info, 0);
                    return v;
                };
                const Mat bx = back(x);
                const Mat lhs = hhtest::mul(op_a, 'N', bx, 'N');
                const Mat rhs = back(hhtest::mul(op_b, 'N', x, 'N'));
                double worst = 0.0;
                for (int j = 1; j <= m; ++j)
                    for (int i = 1; i <= n; ++i) {
                        double size = 0.0;
                        for (int k = 1; k <= n; ++k) size += abs1(op_a(i, k)) * abs1(bx(k, j));
                        worst = std::max(worst, abs1(lhs(i, j) - rhs(i, j)) / (size * kEps));
                    }
                EXPECT_LE(worst, 4.0 * n) << job << side;  // measured: below 1
            }
        }
    }
}

TEST(Zgebak, QuickReturnsAndArgumentChecks) {
    Mat v = hhtest::random_mat(4, 2, 7);
    const Mat v0 = v;
    std::vector<double> scale(4, qnan);  // must not be read
    int info = -99;
    auto gebak = [&](const char* job, const char* side, int n, int ilo, int ihi, int m, int ldv) {
        qiv::ZGEBAK(job, side, &n, &ilo, &ihi, scale.data(), &m, v.data(), &ldv, &info);
    };
    gebak("N", "R", 4, 1, 4, 2, 4);
    gebak("B", "L", 4, 1, 4, 0, 4);
    gebak("S", "R", 0, 1, 0, 2, 1);
    EXPECT_EQ(info, 0);
    EXPECT_TRUE(hhtest::same_block(v, v0));

    EXPECT_ILLEGAL("ZGEBAK", 1, gebak("X", "R", 4, 1, 4, 2, 4));
    EXPECT_ILLEGAL("ZGEBAK", 2, gebak("B", "X", 4, 1, 4, 2, 4));
    EXPECT_ILLEGAL("ZGEBAK", 2, gebak("B", "X", -1, 0, 9, -1, 0));  // first failure wins
    EXPECT_ILLEGAL("ZGEBAK", 3, gebak("B", "R", -1, 1, 0, 2, 1));
    EXPECT_ILLEGAL("ZGEBAK", 4, gebak("B", "R", 4, 0, 4, 2, 4));
    EXPECT_ILLEGAL("ZGEBAK", 4, gebak("B", "R", 4, 5, 4, 2, 4));
    EXPECT_ILLEGAL("ZGEBAK", 5, gebak("B", "R", 4, 3, 2, 2, 4));
    EXPECT_ILLEGAL("ZGEBAK", 5, gebak("B", "R", 4, 1, 5, 2, 4));
    EXPECT_ILLEGAL("ZGEBAK", 7, gebak("B", "L", 4, 1, 4, -1, 4));
    EXPECT_ILLEGAL("ZGEBAK", 9, gebak("B", "L", 4, 1, 4, 2, 3));
}

}  // namespace
