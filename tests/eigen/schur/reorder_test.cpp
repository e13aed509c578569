// Reordering of a complex Schur form (ZTREXC) and the plane rotation it is
// built from (ZLARTG).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "eigen/eigen.h"
#include "frame/complex.h"
#include "oracle/eigen/eigen_plain.h"
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

// Random upper triangular matrix with one NaN padding row per column.
Mat random_upper(int n, std::uint64_t seed) {
    const Mat r = hhtest::random_mat(n, n, seed);
    Mat t(n, n, n + 1);
    hhtest::fill_nan(t);
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) t(i, j) = i <= j ? r(i, j) : zcomplex{0.0, 0.0};
    return t;
}

// Moves entry ifst to ilst with Q accumulated; checks what every move must
// keep: T upper triangular with its padding untouched, the diagonal permuted
// exactly, Q unitary and Q^H*T0*Q = T to rounding (measured: both below
// one unit of n*eps).
void move_and_check(const char* compq, const Mat& t0, Mat& t, Mat& q, int ifst, int ilst) {
    const int n = t.n;
    std::vector<zcomplex> diag;
    for (int i = 1; i <= n; ++i) diag.push_back(t(i, i));
    const zcomplex moved = diag[ifst - 1];
    diag.erase(diag.begin() + (ifst - 1));
    diag.insert(diag.begin() + (ilst - 1), moved);

    int info = -99;
    qiv::ZTREXC(compq, &n, t.data(), &t.ld, q.data(), &q.ld, &ifst, &ilst, &info);
    EXPECT_EQ(info, 0);
    for (int j = 1; j <= n; ++j) {
        EXPECT_TRUE(same_bits(t(j, j), diag[j - 1])) << ifst << "->" << ilst << " at " << j;
        for (int i = j + 1; i <= n; ++i) EXPECT_TRUE(same_bits(t(i, j), zcomplex{0.0, 0.0}));
        EXPECT_TRUE(std::isnan(t(n + 1, j).re));
    }
    EXPECT_LE(hhtest::unitarity(q), 4.0 * n);
    const Mat back = hhtest::mul(q, 'C', hhtest::mul(t0, 'N', q, 'N'), 'N');
    EXPECT_LE(hhtest::diff_norm1(back, t) / (n * kEps * hhtest::norm1(t0)), 4.0 * n);
}

TEST(Ztrexc, FirstToLastAndBackRestoresTheDiagonal) {
    for (int n : {2, 3, 7, 16}) {
        const Mat t0 = random_upper(n, 40 + n);
        Mat t = t0;
        Mat q = hhtest::identity(n);
        move_and_check("V", t0, t, q, 1, n);
        move_and_check("v", t0, t, q, n, 1);
        for (int i = 1; i <= n; ++i) EXPECT_TRUE(same_bits(t(i, i), t0(i, i)));
    }
}

TEST(Ztrexc, RandomMovesWithAndWithoutSchurVectors) {
    const int n = 9;
    const Mat t0 = random_upper(n, 77);
    Mat t = t0;
    Mat q = hhtest::identity(n);
    qivtest::Rng rng(5);
    for (int trial = 0; trial < 12; ++trial) {
        const int ifst = 1 + rng.below(n), ilst = 1 + rng.below(n);
        Mat tn = t;
        move_and_check("V", t0, t, q, ifst, ilst);
        // Without Q the same T comes out and Q (one element, LDQ = 1) is untouched.
        std::vector<zcomplex> q1(1, zcomplex{qnan, 3.0});
        const int ldq = 1;
        int info = -99;
        qiv::ZTREXC("N", &n, tn.data(), &tn.ld, q1.data(), &ldq, &ifst, &ilst, &info);
        EXPECT_EQ(info, 0);
        EXPECT_TRUE(hhtest::same_block(tn, t));
        EXPECT_TRUE(same_bits(q1[0], zcomplex{qnan, 3.0}));
    }
}

// The reordering against its plain loops (tests/oracle), bit for bit: moves
// up and down over every distance, with and without Q, on triangles whose
// leading dimension exceeds the order.
TEST(Ztrexc, SameBitsAsThePlainLoops) {
    qivtest::Rng rng(41);
    for (int trial = 0; trial < 60; ++trial) {
        const int n = 2 + rng.below(15), ifst = 1 + rng.below(n), ilst = 1 + rng.below(n);
        const bool wantq = trial % 3 != 0;
        const Mat t0 = random_upper(n, 300 + trial);
        const Mat q0 = hhtest::random_mat(n, n, 900 + trial, n + 2);
        Mat t = t0, q = q0, tp = t0, qp = q0;
        int info = -99;
        qiv::ZTREXC(wantq ? "V" : "N", &n, t.data(), &t.ld, q.data(), &q.ld, &ifst, &ilst, &info);
        qivoracle::ztrexc_plain(wantq, n, tp.data(), tp.ld, qp.data(), qp.ld, ifst, ilst);
        EXPECT_EQ(info, 0);
        EXPECT_TRUE(hhtest::same_block(t, tp) && hhtest::same_block(q, qp))
            << trial << ": " << ifst << "->" << ilst;
    }
}

TEST(Ztrexc, NoMoveChangesNothing) {
    const Mat t0 = random_upper(5, 9);
    Mat t = t0;
    Mat q = hhtest::random_mat(5, 5, 10);
    const Mat q0 = q;
    int info = -99;
    auto trexc = [&](int n, int ifst, int ilst) {
        qiv::ZTREXC("V", &n, t.data(), &t.ld, q.data(), &q.ld, &ifst, &ilst, &info);
        EXPECT_EQ(info, 0);
    };
    trexc(5, 3, 3);
    trexc(1, 1, 1);
    trexc(0, 7, -2);  // positions are not checked for an empty matrix
    EXPECT_TRUE(hhtest::same_block(t, t0));
    EXPECT_TRUE(hhtest::same_block(q, q0));
}

TEST(Ztrexc, ArgumentChecks) {
    Mat t = random_upper(4, 3);
    Mat q = hhtest::identity(4);
    int info = 0;
    auto trexc = [&](const char* compq, int n, int ldt, int ldq, int ifst, int ilst) {
        qiv::ZTREXC(compq, &n, t.data(), &ldt, q.data(), &ldq, &ifst, &ilst, &info);
    };
    EXPECT_ILLEGAL("ZTREXC", 1, trexc("X", 4, 4, 4, 1, 2));
    EXPECT_ILLEGAL("ZTREXC", 1, trexc("X", -1, 0, 0, 0, 0));  // first failure wins
    EXPECT_ILLEGAL("ZTREXC", 2, trexc("V", -1, 1, 1, 1, 1));
    EXPECT_ILLEGAL("ZTREXC", 4, trexc("V", 4, 3, 4, 1, 2));
    EXPECT_ILLEGAL("ZTREXC", 4, trexc("N", 4, 3, 0, 0, 9));  // first failure wins
    EXPECT_ILLEGAL("ZTREXC", 6, trexc("N", 4, 4, 0, 1, 2));
    EXPECT_ILLEGAL("ZTREXC", 6, trexc("V", 4, 4, 3, 1, 2));
    EXPECT_ILLEGAL("ZTREXC", 7, trexc("V", 4, 4, 4, 0, 2));
    EXPECT_ILLEGAL("ZTREXC", 7, trexc("N", 4, 4, 1, 5, 2));
    EXPECT_ILLEGAL("ZTREXC", 8, trexc("V", 4, 4, 4, 1, 0));
    EXPECT_ILLEGAL("ZTREXC", 8, trexc("V", 4, 4, 4, 1, 5));
}

struct Rotation {
    double c = qnan;
    zcomplex s{qnan, qnan}, r{qnan, qnan};
};
Rotation lartg(zcomplex f, zcomplex g) {
    Rotation rot;
    qiv::ZLARTG(&f, &g, &rot.c, &rot.s, &rot.r);
    return rot;
}

TEST(Zlartg, WorkedValues) {
    const double inf = std::numeric_limits<double>::infinity();
    for (zcomplex f :
         {zcomplex{0.0, 0.0}, zcomplex{1.0, -2.0}, zcomplex{qnan, 1.0}, zcomplex{-inf, 0.0}}) {
        const Rotation rot = lartg(f, zcomplex{0.0, -0.0});
        EXPECT_EQ(rot.c, 1.0);
        EXPECT_TRUE(same_bits(rot.s, zcomplex{0.0, 0.0}));
        EXPECT_TRUE(same_bits(rot.r, f));
    }
    const Rotation a = lartg({0.0, 0.0}, {0.0, 2.0});
    EXPECT_EQ(a.c, 0.0);
    EXPECT_TRUE(same_bits(a.r, zcomplex{2.0, 0.0}));
    EXPECT_TRUE(same_bits(a.s, zcomplex{0.0, -1.0}));
    const Rotation b = lartg({3.0, 0.0}, {4.0, 0.0});
    EXPECT_EQ(b.c, 0.6);
    EXPECT_EQ(b.r.re, 5.0);
    EXPECT_EQ(b.r.im, 0.0);
    EXPECT_EQ(b.s.re, 0.8);
    EXPECT_EQ(b.s.im, 0.0);
}

// Every pairing of magnitudes from 2^-1022 to 2^1022 (the branch limits
// 2^-511 and 2^510 included), with real, imaginary and general directions,
// and F = 0: the rotation is finite, C >= 0, C^2 + |S|^2 = 1, and it maps
// (F, G) to (R, 0). The residuals are formed after an exact power-of-2
// scaling of F, G and R by the larger magnitude, so they cannot overflow.
TEST(Zlartg, ExtremeMagnitudesGiveAnExactRotation) {
    const int zero_f = 9999;  // stands for F = 0
    const int exps[] = {-1022, -1020, -900, -540, -511, -510, -200, 0,     3,
                        200,   509,   510,  511,  700,  1020, 1022, zero_f};
    qivtest::Rng rng(8);
    std::vector<zcomplex> dirs = {{1.0, 0.0}, {0.0, -1.0}, {0.75, -0.5}};
    for (int i = 0; i < 3; ++i) dirs.push_back(rng.z());
    auto make = [](zcomplex d, int e) {
        return e == zero_f ? zcomplex{0.0, 0.0}
                           : zcomplex{std::ldexp(d.re, e), std::ldexp(d.im, e)};
    };
    double worst_norm = 0.0, worst_res = 0.0;
    for (int ef : exps)
        for (int eg : exps)
            for (const zcomplex& df : dirs)
                for (const zcomplex& dg : dirs) {
                    if (eg == zero_f) continue;
                    const zcomplex f = make(df, ef), g = make(dg, eg);
                    const Rotation rot = lartg(f, g);
                    ASSERT_TRUE(std::isfinite(rot.c) && std::isfinite(rot.s.re + rot.s.im) &&
                                std::isfinite(rot.r.re) && std::isfinite(rot.r.im))
                        << ef << " " << eg;
                    EXPECT_GE(rot.c, 0.0);
                    const double unit = rot.c * rot.c + rot.s.re * rot.s.re + rot.s.im * rot.s.im;
                    worst_norm = std::max(worst_norm, std::fabs(unit - 1.0) / kEps);

                    const int k = ef == zero_f ? eg : std::max(ef, eg);
                    const zcomplex fs = make(f, -k), gs = make(g, -k), rs = make(rot.r, -k);
                    const zcomplex c{rot.c, 0.0};
                    const zcomplex top = c * fs + rot.s * gs - rs;
                    const zcomplex bottom = c * gs - qiv::conj(rot.s) * fs;
                    const double err = abs1(top) + abs1(bottom);
                    worst_res = std::max(worst_res, err / (std::hypot(rs.re, rs.im) * kEps));
                }
    EXPECT_LE(worst_norm, 4.0);  // measured: 2
    EXPECT_LE(worst_res, 8.0);   // measured: 2.5
}

}  // namespace
