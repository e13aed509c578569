// Generation and application of elementary and block reflectors.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "frame/complex.h"
#include "householder/householder.h"
#include "support/hh_support.h"
#include "support/matrix.h"

namespace {

using hhtest::kEps;
using hhtest::Mat;
using qiv::zcomplex;
using qivtest::same_bits;

const double qnan = std::numeric_limits<double>::quiet_NaN();

struct Larfg {
    zcomplex alpha, tau;
    std::vector<zcomplex> x;
};

Larfg larfg(zcomplex alpha, std::vector<zcomplex> x) {
    Larfg r{alpha, {-7, -7}, std::move(x)};
    const int n = static_cast<int>(r.x.size()) + 1;
    const int inc = 1;
    qiv::ZLARFG(&n, &r.alpha, r.x.data(), &inc, &r.tau);
    return r;
}

TEST(Zlarfg, WorkedCases) {
    // N = 1, ALPHA real: H = I.
    Larfg r = larfg({2.5, 0.0}, {});
    EXPECT_TRUE(same_bits(r.tau, zcomplex{0.0, 0.0}));
    EXPECT_TRUE(same_bits(r.alpha, zcomplex{2.5, 0.0}));

    // N = 1, ALPHA = i: beta = -1, tau = 1 + i, so that (1 - tau)^H * i = -1.
    r = larfg({0.0, 1.0}, {});
    EXPECT_TRUE(same_bits(r.alpha, zcomplex{-1.0, 0.0}));
    EXPECT_TRUE(same_bits(r.tau, zcomplex{1.0, 1.0}));

    // The sign of beta follows the sign bit of Re alpha, zeros included.
    r = larfg({-0.0, 0.0}, {{1.0, 0.0}});
    EXPECT_EQ(r.alpha.re, 1.0);
    EXPECT_EQ(r.alpha.im, 0.0);
    EXPECT_EQ(r.tau.re, 1.0);
    EXPECT_EQ(r.tau.im, 0.0);
    EXPECT_EQ(r.x[0].re, -1.0);
    EXPECT_EQ(r.x[0].im, 0.0);
    r = larfg({0.0, 0.0}, {{1.0, 0.0}});
    EXPECT_EQ(r.alpha.re, -1.0);
    EXPECT_EQ(r.tau.re, 1.0);
    EXPECT_EQ(r.tau.im, 0.0);
    EXPECT_EQ(r.x[0].re, 1.0);
    EXPECT_EQ(r.x[0].im, 0.0);

    // x = 0 and alpha real: nothing changes, even with a long vector.
    r = larfg({-3.0, 0.0}, {{0.0, 0.0}, {0.0, -0.0}});
    EXPECT_TRUE(same_bits(r.tau, zcomplex{0.0, 0.0}));
    EXPECT_TRUE(same_bits(r.alpha, zcomplex{-3.0, 0.0}));
    EXPECT_TRUE(same_bits(r.x[1], zcomplex{0.0, -0.0}));

    // N = 0 only sets tau.
    zcomplex alpha{5, 5}, tau{9, 9};
    const int n0 = 0, inc = 1;
    qiv::ZLARFG(&n0, &alpha, nullptr, &inc, &tau);
    EXPECT_TRUE(same_bits(tau, zcomplex{0.0, 0.0}));
    EXPECT_TRUE(same_bits(alpha, zcomplex{5, 5}));
}

TEST(Zlarfg, RescalesTinyInputs) {
    const double tiny = std::ldexp(1.0, -1000);
    // ALPHA = 2^-1000 i, X = 0: one rescaling by 2^969, beta back at -2^-1000.
    Larfg r = larfg({0.0, tiny}, {{0.0, 0.0}});
    EXPECT_EQ(r.alpha.re, -tiny);
    EXPECT_EQ(r.alpha.im, 0.0);
    EXPECT_TRUE(same_bits(r.tau, zcomplex{1.0, 1.0}));
    EXPECT_EQ(r.x[0].re, 0.0);
    EXPECT_EQ(r.x[0].im, 0.0);

    // A full vector of size 2^-1000, or of subnormal size 2^-1064, gives the
    // reflector of the same vector scaled up, and beta scaled down again.
    // (Entries are multiples of 1/8 below 1, so the subnormal copies are
    // exact; without the rescaling 1/(alpha - beta) would overflow there.)
    qivtest::Rng rng(17);
    std::vector<zcomplex> big(6);
    for (auto& z : big) z = zcomplex{(rng.below(15) - 7) / 8.0, (rng.below(15) - 7) / 8.0};
    big[0] = zcomplex{0.375, -0.625};
    for (int e : {-1000, -1064}) {
        const double small = std::ldexp(1.0, e);
        std::vector<zcomplex> xs, xb(big.begin() + 1, big.end());
        for (const zcomplex& z : xb) xs.push_back(qiv::scale(small, z));
        const Larfg rs = larfg(qiv::scale(small, big[0]), xs);
        const Larfg rb = larfg(big[0], xb);
        // beta itself ends up subnormal for e = -1064: allow its last place.
        const double grain = std::ldexp(1.0, -1074) / small;
        EXPECT_NEAR(rs.alpha.re / small, rb.alpha.re, grain + 4 * kEps * std::fabs(rb.alpha.re))
            << e;
        EXPECT_EQ(rs.alpha.im, 0.0);
        EXPECT_NEAR(rs.tau.re, rb.tau.re, 8 * kEps) << e;
        EXPECT_NEAR(rs.tau.im, rb.tau.im, 8 * kEps) << e;
        for (std::size_t i = 0; i < xs.size(); ++i) {
            EXPECT_NEAR(rs.x[i].re, rb.x[i].re, 8 * kEps) << e;
            EXPECT_NEAR(rs.x[i].im, rb.x[i].im, 8 * kEps) << e;
        }
    }
}

// H = I - tau*v*v^H with the unit element explicit.
Mat explicit_reflector(int n, zcomplex tau, const std::vector<zcomplex>& v) {
    Mat h = hhtest::identity(n);
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) h(i, j) = h(i, j) - tau * v[i - 1] * qiv::conj(v[j - 1]);
    return h;
}

TEST(Zlarfg, ReflectorsAreUnitaryAndAnnihilate) {
    for (int n : {2, 3, 7, 40}) {
        for (std::uint64_t seed = 1; seed <= 3; ++seed) {
            Mat col = hhtest::random_mat(n, 1, 100 * n + seed);
            if (seed == 3) col(1, 1).im = 0.0;  // real alpha
            std::vector<zcomplex> x(col.a.begin() + 1, col.a.begin() + n);
            const Larfg r = larfg(col(1, 1), x);
            EXPECT_EQ(r.alpha.im, 0.0);
            std::vector<zcomplex> v{{1.0, 0.0}};
            v.insert(v.end(), r.x.begin(), r.x.end());
            const Mat h = explicit_reflector(n, r.tau, v);
            EXPECT_LT(hhtest::unitarity(h), 10.0) << n;
            // H^H*(alpha, x) = (beta, 0).
            Mat y = hhtest::mul(h, 'C', col, 'N');
            Mat want(n, 1);
            want(1, 1) = r.alpha;
            EXPECT_LT(hhtest::diff_norm1(y, want) / (hhtest::norm1(col) * n * kEps), 10.0) << n;
            // |beta| is the length of the input.
            double len = 0.0;
            for (int i = 1; i <= n; ++i)
                len += col(i, 1).re * col(i, 1).re + col(i, 1).im * col(i, 1).im;
            EXPECT_NEAR(std::fabs(r.alpha.re), std::sqrt(len), 4 * kEps * std::sqrt(len));
        }
    }
}

// ZLARF1F on a matrix with sentinels around it, against the explicit product.
TEST(Zlarf1f, MatchesExplicitReflectorBothSides) {
    for (char side : {'L', 'R'}) {
        for (int m : {1, 2, 5, 13}) {
            for (int n : {1, 4, 9}) {
                const int order = side == 'L' ? m : n;
                const hhtest::Reflectors r = hhtest::random_reflectors(order, 1, 7 * m + n);
                std::vector<zcomplex> v(r.v.a.begin(), r.v.a.begin() + order);
                std::vector<zcomplex> vstored = v;
                vstored[0] = {qnan, qnan};  // never read
                qivtest::Padded c(m, n, m + 2, 31 * m + n);
                Mat c0(m, n);
                for (int j = 1; j <= n; ++j)
                    for (int i = 1; i <= m; ++i) c0(i, j) = c(i, j);
                const Mat h = explicit_reflector(order, r.tau[0], v);
                const Mat want =
                    side == 'L' ? hhtest::mul(h, 'N', c0, 'N') : hhtest::mul(c0, 'N', h, 'N');
                std::vector<zcomplex> work(static_cast<std::size_t>(std::max(m, n)));
                const int one = 1, ldc = c.ld();
                const char sd[2] = {side, 0};
                qiv::ZLARF1F(sd, &m, &n, vstored.data(), &one, &r.tau[0], c.data(), &ldc,
                             work.data());
                Mat got(m, n);
                for (int j = 1; j <= n; ++j)
                    for (int i = 1; i <= m; ++i) got(i, j) = c(i, j);
                EXPECT_LT(hhtest::diff_norm1(got, want) /
                              (std::max(1.0, hhtest::norm1(c0)) * order * kEps),
                          10.0)
                    << side << " " << m << " " << n;
                EXPECT_TRUE(c.sentinels_intact());
            }
        }
    }
}

TEST(Zlarf1f, ZeroTauTouchesNothing) {
    // Neither C (NaNs included) nor V is read or written.
    qivtest::Padded c(4, 3, 6, 5);
    c(2, 2) = {qnan, 1.0};
    const std::vector<zcomplex> before = c.block();
    std::vector<zcomplex> work(4);
    const int m = 4, n = 3, one = 1, ldc = 6;
    const zcomplex tau{0.0, -0.0};
    qiv::ZLARF1F("L", &m, &n, nullptr, &one, &tau, c.data(), &ldc, work.data());
    qiv::ZLARF1F("R", &m, &n, nullptr, &one, &tau, c.data(), &ldc, work.data());
    EXPECT_EQ(qivtest::first_difference(before.data(), c.block().data(), before.size()), -1);
    EXPECT_TRUE(c.sentinels_intact());
}

TEST(Zlarf1f, TrimsTrailingZerosOfVAndC) {
    // v(2..) = 0: only row 1 (left) or column 1 (right) changes, by 1 - tau,
    // and only up to the last non-zero column (row) of C.
    const zcomplex tau{0.75, -0.5};
    const zcomplex s{1.0 - 0.75, 0.5};
    const std::vector<zcomplex> v{{qnan, qnan}, {0, 0}, {0, -0.0}, {0, 0}};
    const int m = 4, n = 4, one = 1, ldc = 4;
    std::vector<zcomplex> work(4);
    Mat c = hhtest::random_mat(4, 4, 9);
    for (int i = 1; i <= 4; ++i) c(i, 4) = {0.0, 0.0};  // trailing zero column
    c(1, 4) = {0.0, -0.0};
    Mat c0 = c;
    qiv::ZLARF1F("Left", &m, &n, v.data(), &one, &tau, c.data(), &ldc, work.data());
    for (int j = 1; j <= 4; ++j)
        for (int i = 1; i <= 4; ++i) {
            const zcomplex want = (i == 1 && j <= 3) ? c0(i, j) * s : c0(i, j);
            EXPECT_TRUE(same_bits(c(i, j), want)) << i << " " << j;
        }
    // A zero stored in v(1) is not taken for a zero element either.
    std::vector<zcomplex> vz = v;
    vz[0] = {0.0, 0.0};
    c = c0;
    qiv::ZLARF1F("L", &m, &n, vz.data(), &one, &tau, c.data(), &ldc, work.data());
    for (int j = 1; j <= 3; ++j) EXPECT_TRUE(same_bits(c(1, j), c0(1, j) * s)) << j;

    c = hhtest::random_mat(4, 4, 10);
    for (int j = 1; j <= 4; ++j) c(4, j) = {0.0, 0.0};  // trailing zero row
    c0 = c;
    qiv::ZLARF1F("R", &m, &n, v.data(), &one, &tau, c.data(), &ldc, work.data());
    for (int j = 1; j <= 4; ++j)
        for (int i = 1; i <= 4; ++i) {
            const zcomplex want = (j == 1 && i <= 3) ? c0(i, j) * s : c0(i, j);
            EXPECT_TRUE(same_bits(c(i, j), want)) << i << " " << j;
        }

    // v with trailing zeros: rows past the last non-zero of v are neither
    // read nor written, so NaNs there stay put and do not spread.
    const hhtest::Reflectors r = hhtest::random_reflectors(3, 1, 12);
    std::vector<zcomplex> v5(r.v.a.begin(), r.v.a.begin() + 3);
    v5.push_back({0.0, 0.0});
    v5.push_back({-0.0, 0.0});
    Mat d = hhtest::random_mat(5, 3, 13);
    Mat top(3, 3);
    for (int j = 1; j <= 3; ++j) {
        for (int i = 1; i <= 3; ++i) top(i, j) = d(i, j);
        d(4, j) = {qnan, 0.0};
        d(5, j) = {1.0, qnan};
    }
    const Mat d0 = d;
    const int m5 = 5, n3 = 3, ld5 = 5;
    qiv::ZLARF1F("L", &m5, &n3, v5.data(), &one, &r.tau[0], d.data(), &ld5, work.data());
    qiv::ZLARF1F("L", &n3, &n3, v5.data(), &one, &r.tau[0], top.data(), &n3, work.data());
    for (int j = 1; j <= 3; ++j) {
        for (int i = 1; i <= 3; ++i) EXPECT_TRUE(same_bits(d(i, j), top(i, j)));
        for (int i = 4; i <= 5; ++i) EXPECT_TRUE(same_bits(d(i, j), d0(i, j)));
    }
}

TEST(Zlarft, TwoReflectorsWorkedCase) {
    // T(1, 2) = -tau(1)*conj(V(2, 1))*tau(2); dyadic values keep every product exact.
    const zcomplex tau[2] = {{0.5, 0.25}, {1.5, -0.5}};
    const zcomplex v21{1.0, -2.0};
    const zcomplex vs[4] = {{qnan, qnan}, v21, {qnan, qnan}, {qnan, qnan}};
    zcomplex t[4] = {{7, 7}, {8, 8}, {9, 9}, {6, 6}};
    const int n = 2, k = 2, ld = 2;
    qiv::ZLARFT("F", "C", &n, &k, vs, &ld, tau, t, &ld);
    EXPECT_TRUE(same_bits(t[0], tau[0]));
    EXPECT_TRUE(same_bits(t[3], tau[1]));
    const zcomplex want = -(tau[0] * qiv::conj(v21) * tau[1]);
    EXPECT_TRUE(same_bits(t[2], want)) << t[2].re << " " << t[2].im;
    EXPECT_TRUE(same_bits(t[1], zcomplex{8, 8}));  // lower triangle untouched

    // K = 1 sets T(1, 1) alone, bit for bit.
    zcomplex t1[4] = {{7, 7}, {8, 8}, {9, 9}, {6, 6}};
    const int k1 = 1, n5 = 5;
    const zcomplex tneg{-0.0, qnan};
    qiv::ZLARFT("B", "R", &n5, &k1, vs, &ld, &tneg, t1, &ld);
    EXPECT_TRUE(same_bits(t1[0], tneg));
    EXPECT_TRUE(same_bits(t1[1], zcomplex{8, 8}));
}

// I - V*T*V^H (columnwise) or I - V^H*T*V (rowwise) with explicit units.
Mat block_matrix(const hhtest::Layout& l, const Mat& t, char storev) {
    const Mat vc = storev == 'C' ? l.full : hhtest::conj_transpose(l.full);
    Mat h = hhtest::mul(hhtest::mul(vc, 'N', t, 'N'), 'N', vc, 'C');
    Mat out = hhtest::identity(h.m);
    for (int j = 1; j <= h.n; ++j)
        for (int i = 1; i <= h.m; ++i) out(i, j) = out(i, j) - h(i, j);
    return out;
}

TEST(Zlarft, AllLayoutsGiveTheProductOfReflectors) {
    const int shapes[][2] = {{1, 1}, {2, 2}, {5, 3}, {7, 7}, {12, 5}, {30, 11}, {40, 16}, {9, 8}};
    for (const auto& s : shapes) {
        const int n = s[0], k = s[1];
        const hhtest::Reflectors r = hhtest::random_reflectors(n, k, 1000 + 37 * n + k);
        for (char direct : {'F', 'B'}) {
            // The matrix the reflectors stand for, one reflector at a time.
            Mat h = hhtest::identity(n);
            hhtest::apply_one_at_a_time(r, 'L', false, direct == 'B', h);
            for (char storev : {'C', 'R'}) {
                const hhtest::Layout l = hhtest::layout(r, direct, storev, 3);
                Mat t(k, k, k + 2);
                hhtest::fill_nan(t);
                const char dr[2] = {direct, 0}, sv[2] = {storev, 0};
                qiv::ZLARFT(dr, sv, &n, &k, l.stored.data(), &l.stored.ld, l.tau.data(), t.data(),
                            &t.ld);
                // Only T's own triangle is written.
                Mat tt(k, k);
                bool others_untouched = true;
                for (int j = 1; j <= k; ++j)
                    for (int i = 1; i <= k; ++i) {
                        const bool own = direct == 'F' ? i <= j : i >= j;
                        if (own)
                            tt(i, j) = t(i, j);
                        else if (!std::isnan(t(i, j).re))
                            others_untouched = false;
                    }
                for (int i = k + 1; i <= t.ld; ++i)
                    for (int j = 1; j <= k; ++j)
                        if (!std::isnan(t(i, j).re)) others_untouched = false;
                EXPECT_TRUE(others_untouched) << direct << storev << n << " " << k;
                for (int i = 1; i <= k; ++i) EXPECT_TRUE(same_bits(tt(i, i), l.tau[i - 1]));
                const double err = hhtest::diff_norm1(block_matrix(l, tt, storev), h) / (n * kEps);
                EXPECT_LT(err, 20.0) << direct << storev << " n=" << n << " k=" << k;
            }
        }
    }
}

TEST(Zlarfb, EveryCaseMatchesOneReflectorAtATime) {
    // (order of H, other dimension of C, K)
    const int shapes[][3] = {{1, 3, 1}, {6, 4, 6}, {9, 5, 4}, {17, 8, 7}, {33, 12, 16}, {20, 1, 3}};
    for (const auto& s : shapes) {
        const int order = s[0], other = s[1], k = s[2];
        const hhtest::Reflectors r = hhtest::random_reflectors(order, k, 500 + order * 3 + k);
        for (char direct : {'F', 'B'})
            for (char storev : {'C', 'R'}) {
                const hhtest::Layout l = hhtest::layout(r, direct, storev, 2);
                Mat t(k, k);
                const char dr[2] = {direct, 0}, sv[2] = {storev, 0};
                qiv::ZLARFT(dr, sv, &order, &k, l.stored.data(), &l.stored.ld, l.tau.data(),
                            t.data(), &t.ld);
                for (char side : {'L', 'R'})
                    for (char trans : {'N', 'C'}) {
                        const int m = side == 'L' ? order : other;
                        const int n = side == 'L' ? other : order;
                        qivtest::Padded c(m, n, m + 3, 77 * m + n);
                        Mat want(m, n);
                        for (int j = 1; j <= n; ++j)
                            for (int i = 1; i <= m; ++i) want(i, j) = c(i, j);
                        const double cnorm = hhtest::norm1(want);
                        hhtest::apply_one_at_a_time(r, side, trans == 'C', direct == 'B', want);
                        const int ldw = (side == 'L' ? n : m) + 1;
                        std::vector<zcomplex> work(static_cast<std::size_t>(ldw) * k);
                        const int ldc = c.ld();
                        const char sd[2] = {side, 0}, tr[2] = {trans, 0};
                        qiv::ZLARFB(sd, tr, dr, sv, &m, &n, &k, l.stored.data(), &l.stored.ld,
                                    t.data(), &t.ld, c.data(), &ldc, work.data(), &ldw);
                        Mat got(m, n);
                        for (int j = 1; j <= n; ++j)
                            for (int i = 1; i <= m; ++i) got(i, j) = c(i, j);
                        EXPECT_LT(hhtest::diff_norm1(got, want) / (cnorm * order * kEps), 20.0)
                            << side << trans << direct << storev << " order=" << order
                            << " k=" << k;
                        EXPECT_TRUE(c.sentinels_intact());
                    }
            }
    }
}

TEST(Zlarfb, EmptyOrUnknownOptionsTouchNothing) {
    const hhtest::Reflectors r = hhtest::random_reflectors(4, 2, 3);
    Mat t(2, 2);
    const int n4 = 4, k = 2;
    qiv::ZLARFT("F", "C", &n4, &k, r.v.data(), &r.v.ld, r.tau.data(), t.data(), &t.ld);
    qivtest::Padded c(4, 3, 4, 8);
    const std::vector<zcomplex> before = c.block();
    std::vector<zcomplex> work(8);
    const int m = 4, n = 3, zero = 0, ldc = 4, ldw = 4;
    qiv::ZLARFB("L", "N", "F", "C", &m, &zero, &k, r.v.data(), &r.v.ld, t.data(), &t.ld, c.data(),
                &ldc, nullptr, &ldw);
    qiv::ZLARFB("L", "N", "F", "C", &zero, &n, &k, r.v.data(), &r.v.ld, t.data(), &t.ld, c.data(),
                &ldc, nullptr, &ldw);
    qiv::ZLARFB("X", "N", "F", "C", &m, &n, &k, r.v.data(), &r.v.ld, t.data(), &t.ld, c.data(),
                &ldc, work.data(), &ldw);
    qiv::ZLARFB("L", "N", "F", "X", &m, &n, &k, r.v.data(), &r.v.ld, t.data(), &t.ld, c.data(),
                &ldc, work.data(), &ldw);
    EXPECT_EQ(qivtest::first_difference(before.data(), c.block().data(), before.size()), -1);
    EXPECT_TRUE(c.sentinels_intact());
}

}  // namespace
