// The eigen driver on finite input where the plain formulas break down:
// weakly coupled tridiagonal matrices (a QR sweep that starts below the
// active block with a reflector whose scalar factor is exactly 1), and
// matrices whose largest modulus overflows although every part is finite.
// The answers must be finite, INFO = 0, and as accurate as for ordinary input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "eigen_test_support.h"
#include "frame/complex.h"
#include "support/matrix.h"

namespace {

using eigtest::geev;
using qiv::zcomplex;
using qivtest::same_bits;
constexpr double kEps = 0x1p-52;

// A real symmetric tridiagonal matrix: diagonal d(0..n-1), off-diagonal e(0..n-2).
struct Tridiagonal {
    std::vector<double> d, e;
};

// Its eigenvalues in increasing order by bisection on Sturm counts: accurate
// to a few units of eps*||T|| and independent of every routine under test.
std::vector<double> bisection(const Tridiagonal& t) {
    const int n = static_cast<int>(t.d.size());
    double bound = 0.0;
    for (int i = 0; i < n; ++i) {
        const double left = i > 0 ? std::fabs(t.e[i - 1]) : 0.0;
        const double right = i + 1 < n ? std::fabs(t.e[i]) : 0.0;
        bound = std::max(bound, std::fabs(t.d[i]) + left + right);
    }
    bound = 2.0 * bound + DBL_MIN;
    auto count_below = [&](double x) {  // eigenvalues < x
        int count = 0;
        double q = 1.0;
        for (int i = 0; i < n; ++i) {
            const double e2 = i > 0 ? t.e[i - 1] * t.e[i - 1] : 0.0;
            q = t.d[i] - x - (i > 0 ? e2 / q : 0.0);
            if (q == 0.0) q = -DBL_MIN;
            if (q < 0.0) ++count;
        }
        return count;
    };
    std::vector<double> eig(n);
    for (int k = 0; k < n; ++k) {
        double lo = -bound, hi = bound;
        for (int it = 0; it < 2200; ++it) {
            const double mid = 0.5 * (lo + hi);
            if (mid <= lo || mid >= hi) break;
            if (count_below(mid) <= k)
                lo = mid;
            else
                hi = mid;
        }
        eig[k] = 0.5 * (lo + hi);
    }
    return eig;
}

// Random diagonal entries, half of them small integers so that shifts equal
// diagonal entries exactly, and couplings of which about a quarter are tiny
// (1e-36 down to 1e-200).
Tridiagonal weakly_coupled(int n, qivtest::Rng& rng) {
    Tridiagonal t{std::vector<double>(n), std::vector<double>(std::max(0, n - 1))};
    for (double& d : t.d) d = rng.below(2) ? rng.below(5) - 2.0 : rng.uniform();
    for (double& e : t.e) {
        e = rng.uniform();
        if (rng.below(4) == 0) e = std::copysign(std::pow(10.0, -36.0 - rng.below(165)), e);
    }
    return t;
}

// The matrix diag(B, T) with B an order-k normal matrix of known random
// eigenvalues (k = 0: T alone), and the whole exact spectrum.
std::vector<zcomplex> embed(const Tridiagonal& t, int k, std::uint64_t seed,
                            std::vector<zcomplex>* spectrum) {
    const int m = static_cast<int>(t.d.size()), n = k + m;
    std::vector<zcomplex> a(static_cast<std::size_t>(n) * n, zcomplex{0, 0});
    spectrum->clear();
    if (k > 0) {
        const auto eig = eigtest::make_spectrum(eigtest::Spectrum::distinct, k, seed);
        const eigtest::Known b = eigtest::normal_with_spectrum(eig, seed + 1);
        for (int j = 1; j <= k; ++j)
            for (int i = 1; i <= k; ++i) a[(i - 1) + (j - 1) * n] = b.a(i, j);
        *spectrum = eig;
    }
    for (int i = 0; i < m; ++i) {
        a[(k + i) + (k + i) * n] = zcomplex{t.d[i], 0};
        if (i + 1 < m) {
            a[(k + i + 1) + (k + i) * n] = zcomplex{t.e[i], 0};
            a[(k + i) + (k + i + 1) * n] = zcomplex{t.e[i], 0};
        }
    }
    for (double x : bisection(t)) spectrum->push_back(zcomplex{x, 0});
    return a;
}

double cabs1(zcomplex z) { return std::fabs(z.re) + std::fabs(z.im); }

double norm1(const std::vector<zcomplex>& a, int n) { return qivtest::norm1(a.data(), n, n, n); }

TEST(EigenSoundness, WeaklyCoupledTridiagonalsConverge) {
    // The order-4 matrix with couplings 1e-40, 1 and 1e-10: eigenvalues
    // (1 +- sqrt(5))/2 and +-1e-50, all perfectly conditioned.
    const Tridiagonal four{{0, 0, 1, 0}, {1e-40, 1, 1e-10}};
    std::vector<Tridiagonal> cases{four};
    qivtest::Rng rng(2112);
    for (int n : {4, 5, 6, 8, 12, 20, 40, 90, 160, 300})
        for (int draw = 0; draw < (n <= 40 ? 30 : 3); ++draw)
            cases.push_back(weakly_coupled(n, rng));
    double worst = 0.0;
    int count = 0;
    for (const Tridiagonal& t : cases) {
        // Alone, and every fourth one embedded beside a random normal block.
        const int k = count % 4 == 3 ? 40 + count % 50 : 0;
        std::vector<zcomplex> exact;
        const std::vector<zcomplex> a = embed(t, k, 300 + count, &exact);
        const int n = static_cast<int>(exact.size());
        const bool vectors = count % 5 == 0;
        const eigtest::GeevResult r = geev(a, n, vectors, vectors);
        const std::string what = "case " + std::to_string(count) + " order " + std::to_string(n);
        ASSERT_EQ(r.info, 0) << what;
        const double err = eigtest::eigenvalue_error(r.w, exact, norm1(a, n), 1.0);
        ASSERT_LE(err, 4.0) << what;
        worst = std::max(worst, err);
        ++count;
    }
    std::printf("[ accuracy ] %d weakly coupled tridiagonals: largest error %.3f N eps ||A||\n",
                count, worst);
}

// ||A v - w v||_1 / (||A||_1 N eps) for the right vectors, with A, w and the
// products taken times 2^-1000 so that nothing overflows.
double scaled_residual(const std::vector<zcomplex>& a, int n, const eigtest::GeevResult& r) {
    const double s = 0x1p-1000;
    double worst = 0.0, anorm = 0.0;
    for (int j = 0; j < n; ++j) {
        double col = 0.0, res = 0.0;
        for (int i = 0; i < n; ++i) {
            col += cabs1(qiv::scale(s, a[i + j * n]));
            zcomplex sum = zcomplex{0, 0} - qiv::scale(s, r.w[j]) * r.vr[i + j * n];
            for (int l = 0; l < n; ++l) sum = sum + qiv::scale(s, a[i + l * n]) * r.vr[l + j * n];
            res += cabs1(sum);
        }
        anorm = std::max(anorm, col);
        worst = std::max(worst, res);
    }
    return worst / (anorm * n * kEps);
}

TEST(EigenSoundness, EntriesWhoseModulusOverflows) {
    const double big = 1.3e308;  // both parts finite, modulus above the largest double
    // One by one: the entry comes back exactly (the scaling is by a power of two).
    const eigtest::GeevResult one = geev({zcomplex{big, big}}, 1, true, true);
    EXPECT_EQ(one.info, 0);
    EXPECT_TRUE(same_bits(one.w[0], zcomplex{big, big}));
    EXPECT_TRUE(same_bits(one.vr[0], zcomplex{1, 0}));
    // Upper triangular: the eigenvalues are the diagonal, exactly.
    const eigtest::GeevResult tri = geev({{1, 0}, {0, 0}, {big, big}, {2, 0}}, 2, true, true);
    EXPECT_EQ(tri.info, 0);
    std::vector<double> diag{tri.w[0].re, tri.w[1].re};
    std::sort(diag.begin(), diag.end());
    EXPECT_EQ(diag, (std::vector<double>{1, 2}));
    EXPECT_EQ(tri.w[0].im, 0.0);
    EXPECT_EQ(tri.w[1].im, 0.0);
    // A random matrix with one such entry: finite eigenvalues and vectors with
    // a small residual relative to ||A||.
    const int n = 30;
    std::vector<zcomplex> a(n * n);
    qivtest::Rng rng(77);
    rng.fill(a.data(), n, n, n);
    a[7 + 19 * n] = zcomplex{big, -big};
    const eigtest::GeevResult r = geev(a, n, false, true);
    ASSERT_EQ(r.info, 0);
    for (int j = 0; j < n; ++j) ASSERT_TRUE(std::isfinite(r.w[j].re) && std::isfinite(r.w[j].im));
    EXPECT_LE(scaled_residual(a, n, r), 10.0);
}

TEST(EigenSoundness, TinyEigenvaluesNextToTinySubdiagonalsKeepRelativeAccuracy) {
    // A graded symmetric tridiagonal of order 160: diagonal from 1 down to
    // 1e-22, couplings 0.3 sqrt(d(i) d(i+1)) or less, so subdiagonals reach
    // 1e-16 to 1e-22 at the bottom. Each eigenvalue is determined to high
    // relative accuracy by the entries (bisection finds it so); the
    // deflation tests must not discard a subdiagonal entry that is small
    // only next to the matrix norm.
    const int n = 160;
    qivtest::Rng rng(160);
    Tridiagonal t{std::vector<double>(n), std::vector<double>(n - 1)};
    for (int i = 0; i < n; ++i)
        t.d[i] = std::pow(10.0, -22.0 * i / (n - 1)) * (1.0 + 0.25 * rng.uniform());
    for (int i = 0; i + 1 < n; ++i) t.e[i] = 0.3 * rng.uniform() * std::sqrt(t.d[i] * t.d[i + 1]);
    std::vector<zcomplex> exact;
    const std::vector<zcomplex> a = embed(t, 0, 0, &exact);
    const eigtest::GeevResult r = geev(a, n, false, false);
    ASSERT_EQ(r.info, 0);
    std::vector<double> got(n);
    for (int i = 0; i < n; ++i) {
        got[i] = r.w[i].re;
        EXPECT_LE(std::fabs(r.w[i].im), 8 * n * kEps * std::fabs(r.w[i].re)) << i;
    }
    std::sort(got.begin(), got.end());
    double worst = 0.0;
    for (int i = 0; i < n; ++i)
        worst = std::max(worst, std::fabs(got[i] - exact[i].re) / std::fabs(exact[i].re));
    std::printf("[ accuracy ] graded order %d: largest relative eigenvalue error %.3g N eps\n", n,
                worst / (n * kEps));
    EXPECT_LE(worst, 8 * n * kEps);
}

TEST(EigenSoundness, ExtremeInputLeavesEveryVectorFiniteAndNormalised) {
    // Entries from 2^-900 to 2^900: balancing scales rows and columns by up
    // to 2^+-900, the vectors are back-transformed through those factors and
    // then normalised by 1/||v|| and by the phase of their largest entry, all
    // divisions by computed quantities that must stay finite and non-zero.
    // And strictly upper triangular matrices (every eigenvalue 0): each
    // shifted solve meets diagonal entries replaced by the smallest
    // perturbation, its scale factor underflows to 0, and the vector is
    // normalised by its largest entry, which must not be 0.
    for (int n : {2, 7, 16, -3, -12}) {
        const bool nilpotent = n < 0;
        n = std::abs(n);
        const int step = 1800 / (2 * n - 2);
        std::vector<zcomplex> a(n * n);
        qivtest::Rng rng(900 + n);
        rng.fill(a.data(), n, n, n);
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i)
                a[i + j * n] = nilpotent
                                   ? (i < j ? a[i + j * n] : zcomplex{0, 0})
                                   : qiv::scale(std::ldexp(1.0, step * (i - j)), a[i + j * n]);
        const eigtest::GeevResult r = geev(a, n, true, true);
        ASSERT_EQ(r.info, 0);
        for (const std::vector<zcomplex>* v : {&r.vl, &r.vr}) {
            for (int j = 0; j < n; ++j) {
                double norm2 = 0.0, big = 0.0;
                int k = 0;
                for (int i = 0; i < n; ++i) {
                    const zcomplex x = (*v)[i + j * n];
                    ASSERT_TRUE(std::isfinite(x.re) && std::isfinite(x.im)) << n << " " << j;
                    const double m2 = x.re * x.re + x.im * x.im;
                    norm2 += m2;
                    if (m2 > big) big = m2, k = i;
                }
                EXPECT_NEAR(norm2, 1.0, 8 * n * kEps);
                EXPECT_EQ((*v)[k + j * n].im, 0.0);
            }
        }
        for (int j = 0; j < n; ++j)
            ASSERT_TRUE(std::isfinite(r.w[j].re) && std::isfinite(r.w[j].im));
    }
}

}  // namespace
