// The multishift sweep ZLAQR5 and its bulge start ZLAQR1.
//
// A sweep is a unitary similarity on the active block that keeps H upper
// Hessenberg; the ways of applying it (reflector by reflector or accumulated,
// in slabs of any width, to any row range of Z) agree; and it writes only
// what it owns. ZLAQR1 is checked against the tests' own product.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "eigen/eigen.h"
#include "frame/complex.h"
#include "householder/householder.h"
#include "oracle/eigen/eigen_plain.h"
#include "support/hh_support.h"
#include "support/matrix.h"

namespace {

using hhtest::kEps;
using hhtest::Mat;
using qiv::zcomplex;
using qivtest::Padded;
using qivtest::same_bits;

const double qnan = std::numeric_limits<double>::quiet_NaN();
const zcomplex zero{0.0, 0.0};

double abs1(zcomplex z) { return std::fabs(z.re) + std::fabs(z.im); }

// ---------------------------------------------------------------- ZLAQR1

// First column of (H - s1*I)(H - s2*I), by plain products.
std::vector<zcomplex> first_column(const Mat& h, zcomplex s1, zcomplex s2) {
    const int n = h.n;
    std::vector<zcomplex> y(n), x(n, zero);
    for (int i = 1; i <= n; ++i) y[i - 1] = h(i, 1) - (i == 1 ? s2 : zero);
    for (int i = 1; i <= n; ++i)
        for (int l = 1; l <= n; ++l)
            x[i - 1] = x[i - 1] + (h(i, l) - (i == l ? s1 : zero)) * y[l - 1];
    return x;
}

// ||v - c*x|| / ||v|| for the best c: zero when v is a multiple of x.
double misalignment(const std::vector<zcomplex>& v, const std::vector<zcomplex>& x) {
    zcomplex xv = zero, xx = zero;
    for (std::size_t i = 0; i < v.size(); ++i) {
        xv = xv + qiv::conj(x[i]) * v[i];
        xx = xx + qiv::conj(x[i]) * x[i];
    }
    const zcomplex c = xv / xx;
    double r = 0, nv = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        r += abs1(v[i] - c * x[i]);
        nv += abs1(v[i]);
    }
    return r / nv;
}

Mat scaled(const Mat& h, double t) {
    Mat c = h;
    for (int j = 1; j <= h.n; ++j)
        for (int i = 1; i <= h.m; ++i) c(i, j) = qiv::scale(t, h(i, j));
    return c;
}

TEST(Zlaqr1, MultipleOfFirstColumnOfShiftedProduct) {
    double worst = 0;
    qivtest::Rng rng(7);
    for (int n = 2; n <= 3; ++n) {
        for (int trial = 0; trial < 200; ++trial) {
            Mat h = hhtest::random_mat(n, n, 100 + trial, n + 1);
            if (n == 3) h(3, 1) = trial % 4 == 0 ? zero : h(3, 1);  // Hessenberg or not: both read
            const zcomplex s1 = rng.z(), s2 = rng.z();
            // Far outside the range where the plain product is representable:
            // the scaled column of the scaled problem has the same direction.
            for (const double t : {1.0, 0x1p600, 0x1p-600}) {
                const Mat ht = scaled(h, t);
                const zcomplex s1t = qiv::scale(t, s1), s2t = qiv::scale(t, s2);
                std::vector<zcomplex> v(4, zcomplex{qnan, qnan});
                qiv::ZLAQR1(&n, ht.data(), &ht.ld, &s1t, &s2t, v.data());
                EXPECT_TRUE(std::isnan(v[n].re)) << "wrote past V(N)";
                v.resize(n);
                for (const zcomplex e : v) ASSERT_TRUE(std::isfinite(e.re) && std::isfinite(e.im));
                const double mis = misalignment(v, first_column(h, s1, s2));
                worst = std::max(worst, mis);
                EXPECT_LE(mis, 64 * kEps) << "n=" << n << " trial=" << trial << " t=" << t;
            }
        }
    }
    std::printf("[ ZLAQR1 ] largest misalignment %.2f eps\n", worst / kEps);
}

TEST(Zlaqr1, ZeroColumnAndOrdersWithoutWork) {
    for (int n = 2; n <= 3; ++n) {
        Mat h = hhtest::random_mat(n, n, 5, n);
        const zcomplex s1{0.25, -3.0};
        const zcomplex s2 = h(1, 1);
        for (int i = 2; i <= n; ++i) h(i, 1) = zcomplex{-0.0, 0.0};
        std::vector<zcomplex> v(n, zcomplex{qnan, 1.0});
        qiv::ZLAQR1(&n, h.data(), &h.ld, &s1, &s2, v.data());
        for (const zcomplex e : v) EXPECT_TRUE(qiv::is_zero(e)) << "n=" << n;
    }
    const Mat h = hhtest::random_mat(4, 4, 9);
    const zcomplex s{1.0, 2.0};
    for (const int n : {-1, 0, 1, 4}) {
        std::vector<zcomplex> v(4, zcomplex{qnan, 3.0});
        qiv::ZLAQR1(&n, h.data(), &h.ld, &s, &s, v.data());
        for (const zcomplex e : v) EXPECT_TRUE(same_bits(e, zcomplex{qnan, 3.0})) << "n=" << n;
    }
}

// ---------------------------------------------------------------- ZLAQR5

// A NaN with a payload of its own: marks the entries more than three places
// below the diagonal, which the sweep never changes (the vector engine may
// load some of them in a register of columns and store them back as they
// were).
const zcomplex far_mark = qivtest::sentinel(0xF00D);

struct Case {
    int n = 30, ktop = 1, kbot = 30, nshfts = 6;
    int kacc22 = 2;
    bool wantt = true, wantz = true;
    int iloz = 1, ihiz = -1;  // -1: N
    int nv = -1, nh = -1;     // -1: room for everything in one slab
    std::uint64_t seed = 1;
    std::string str() const {
        char b[200];
        std::snprintf(b, sizeof b,
                      "n=%d ktop=%d kbot=%d nshfts=%d kacc22=%d wantt=%d wantz=%d z=%d..%d nv=%d "
                      "nh=%d seed=%llu",
                      n, ktop, kbot, nshfts, kacc22, wantt, wantz, iloz, ihiz, nv, nh,
                      static_cast<unsigned long long>(seed));
        return b;
    }
};

struct Input {
    Mat h, z;
    std::vector<zcomplex> s;
};

// Upper Hessenberg H with the active block split off (H(KTOP, KTOP-1) and
// H(KBOT+1, KBOT) zero), zeros two and three places below the diagonal,
// marks further down, and a NaN in H(KTOP+2, KTOP), which the sweep clears
// before it reads it. Z is the identity; the shifts are random.
Input make_input(const Case& c) {
    Input in;
    const int n = c.n;
    in.h = hhtest::random_mat(n, n, c.seed, n + 3);
    for (int j = 1; j <= n; ++j)
        for (int i = j + 2; i <= n; ++i) in.h(i, j) = i - j <= 3 ? zero : far_mark;
    if (c.ktop > 1 && c.ktop <= n) in.h(c.ktop, c.ktop - 1) = zero;
    if (c.kbot < n && c.kbot >= 1) in.h(c.kbot + 1, c.kbot) = zero;
    if (c.ktop + 2 <= c.kbot) in.h(c.ktop + 2, c.ktop) = zcomplex{qnan, qnan};
    in.z = hhtest::identity(n);
    qivtest::Rng rng(c.seed + 1000);
    in.s.resize(static_cast<std::size_t>(std::max(1, c.nshfts)));
    for (auto& x : in.s) x = rng.z();
    return in;
}

struct Output {
    Mat h, z;
    bool v_untouched = false;     // V's contents unchanged
    bool work_untouched = false;  // U, WV and WH unchanged
};

void copy_in(Padded& p, const Mat& m) {
    for (int j = 1; j <= m.n; ++j)
        for (int i = 1; i <= m.m; ++i) p(i, j) = m(i, j);
}
void copy_out(const Padded& p, Mat& m) {
    for (int j = 1; j <= m.n; ++j)
        for (int i = 1; i <= m.m; ++i) m(i, j) = p(i, j);
}

// One sweep on copies of the input, every array inside sentinels: nothing
// outside the described parts of H, Z, V, U, WV and WH may be written. With
// plain, the sweep with plain reflector loops (tests/oracle) runs instead.
Output run(const Case& c, const Input& in, bool plain = false) {
    const int n = c.n;
    const int ldh = n + 3, ldz = n + 2;
    const int ihiz = c.ihiz < 0 ? n : c.ihiz;
    const int nb = std::max(1, c.nshfts / 2), kdu = 4 * nb;
    const int nv = c.nv > 0 ? c.nv : n, nh = c.nh > 0 ? c.nh : n;
    const int ldv = 3, ldu = kdu + 1, ldwv = nv + 2, ldwh = kdu + 1;
    Padded H(n, n, ldh, 0), Z(n, n, ldz, 0);
    copy_in(H, in.h);
    copy_in(Z, in.z);
    Padded V(3, nb, ldv, c.seed + 1), U(kdu, kdu, ldu, c.seed + 2);
    Padded WV(nv, kdu, ldwv, c.seed + 3), WH(kdu, nh, ldwh, c.seed + 4);
    const auto v0 = V.block(), u0 = U.block(), wv0 = WV.block(), wh0 = WH.block();
    const int wantt = c.wantt ? 1 : 0, wantz = c.wantz ? 7 : 0;

    (plain ? qivoracle::zlaqr5_plain : qiv::ZLAQR5)(
        &wantt, &wantz, &c.kacc22, &n, &c.ktop, &c.kbot, &c.nshfts, in.s.data(), H.data(), &ldh,
        &c.iloz, &ihiz, Z.data(), &ldz, V.data(), &ldv, U.data(), &ldu, &nv, WV.data(), &ldwv, &nh,
        WH.data(), &ldwh);

    EXPECT_TRUE(H.sentinels_intact()) << c.str();
    EXPECT_TRUE(Z.sentinels_intact()) << c.str();
    EXPECT_TRUE(V.sentinels_intact()) << c.str();
    EXPECT_TRUE(U.sentinels_intact()) << c.str();
    EXPECT_TRUE(WV.sentinels_intact()) << c.str();
    EXPECT_TRUE(WH.sentinels_intact()) << c.str();
    Output out;
    out.h = in.h;
    out.z = in.z;
    copy_out(H, out.h);
    copy_out(Z, out.z);
    auto same = [](const std::vector<zcomplex>& a, const std::vector<zcomplex>& b) {
        return qivtest::first_difference(a.data(), b.data(), a.size()) < 0;
    };
    out.v_untouched = same(V.block(), v0);
    out.work_untouched = same(U.block(), u0) && same(WV.block(), wv0) && same(WH.block(), wh0);
    return out;
}

// Rows and columns lo..hi of x.
Mat sub(const Mat& x, int lo, int hi) {
    Mat c(hi - lo + 1, hi - lo + 1);
    for (int j = lo; j <= hi; ++j)
        for (int i = lo; i <= hi; ++i) c(i - lo + 1, j - lo + 1) = x(i, j);
    return c;
}

// The Hessenberg part (the marks and the cleared NaN replaced by zeros).
Mat clean(const Mat& h) { return hhtest::hessenberg_part(h); }

// Entries two or three below the diagonal are exact zeros after the sweep
// (inside the block) or unchanged (outside), the marks further down intact.
bool hessenberg_after(const Mat& h1, const Mat& h0, int ktop, int kbot) {
    for (int j = 1; j <= h1.n; ++j)
        for (int i = j + 2; i <= h1.n; ++i) {
            const bool inside = i >= ktop && i <= kbot && j >= ktop && j <= kbot;
            if (i - j > 3) {
                if (!same_bits(h1(i, j), far_mark)) return false;
            } else if (inside ? !qiv::is_zero(h1(i, j)) : !same_bits(h1(i, j), h0(i, j))) {
                return false;
            }
        }
    return true;
}

struct Measures {
    double similarity = 0;  // ||Z^H*H0*Z - H1||_1 / (||H0||_1 * n * eps), over lo..hi
    double unitarity = 0;   // ||Z^H*Z - I||_1 / (n * eps)
};

Measures measure(const Input& in, const Output& out, int lo, int hi) {
    const Mat h0 = sub(clean(in.h), lo, hi), h1 = sub(out.h, lo, hi), z = sub(out.z, lo, hi);
    const int n = hi - lo + 1;
    const Mat zhz = hhtest::mul(hhtest::mul(z, 'C', h0, 'N'), 'N', z, 'N');
    Measures m;
    m.similarity = hhtest::diff_norm1(zhz, h1) / (hhtest::norm1(h0) * n * kEps);
    m.unitarity = hhtest::unitarity(z);
    return m;
}

// Relative difference of two results, in units of ||H||_1 * n * eps.
double distance(const Mat& a, const Mat& b, const Mat& h0) {
    return hhtest::diff_norm1(a, b) / (hhtest::norm1(clean(h0)) * a.n * kEps);
}

bool same_mat(const Mat& a, const Mat& b) { return hhtest::same_block(a, b); }

double g_worst_similarity = 0, g_worst_unitarity = 0;

// A full sweep with Z = I: a unitary similarity that keeps H Hessenberg.
// Returns the output for further comparisons.
Output check_sweep(const Case& c, const Input& in) {
    const Output out = run(c, in);
    EXPECT_TRUE(hessenberg_after(out.h, in.h, c.ktop, c.kbot)) << c.str();
    if (c.kacc22 != 1 && c.kacc22 != 2) {
        EXPECT_TRUE(out.work_untouched) << c.str();
    }
    const int lo = c.wantt ? 1 : c.ktop, hi = c.wantt ? c.n : c.kbot;
    const Measures m = measure(in, out, lo, hi);
    EXPECT_LE(m.similarity, 4.0) << c.str();
    EXPECT_LE(m.unitarity, 4.0) << c.str();
    g_worst_similarity = std::max(g_worst_similarity, m.similarity);
    g_worst_unitarity = std::max(g_worst_unitarity, m.unitarity);
    // Outside rows and columns KTOP..KBOT, Z keeps its identity columns and
    // H its rows below KBOT and columns left of KTOP.
    int changed = 0;
    for (int j = 1; j <= c.n; ++j)
        for (int i = 1; i <= c.n; ++i) {
            const bool block_col = j >= c.ktop && j <= c.kbot;
            if (!block_col && !same_bits(out.z(i, j), in.z(i, j))) ++changed;
            if ((i > c.kbot || j < c.ktop) && !same_bits(out.h(i, j), in.h(i, j))) ++changed;
        }
    EXPECT_EQ(changed, 0) << c.str();
    return out;
}

std::vector<Case> sweep_cases() {
    std::vector<Case> cs;
    struct Shape {
        int n, ktop, kbot, nshfts;
    };
    const Shape shapes[] = {
        {3, 1, 3, 2},     {4, 1, 4, 2},      {6, 1, 6, 4},      {8, 2, 7, 4},      {12, 1, 12, 10},
        {30, 1, 30, 4},   {30, 5, 26, 6},    {30, 1, 30, 12},   {45, 3, 45, 8},    {60, 1, 60, 16},
        {75, 10, 70, 14}, {120, 1, 120, 24}, {200, 1, 200, 40}, {200, 17, 180, 22}};
    std::uint64_t seed = 11;
    for (const Shape& s : shapes)
        for (const int kacc : {0, 2}) {
            Case c;
            c.n = s.n, c.ktop = s.ktop, c.kbot = s.kbot, c.nshfts = s.nshfts, c.kacc22 = kacc;
            c.seed = seed++;
            if (kacc != 0) c.nv = c.seed % 2 ? 3 : 7, c.nh = c.seed % 2 ? 7 : 3;  // narrow slabs
            cs.push_back(c);
        }
    return cs;
}

TEST(Zlaqr5, SweepIsUnitarySimilarityKeepingHessenbergForm) {
    for (const Case& c : sweep_cases()) check_sweep(c, make_input(c));
    std::printf("[ ZLAQR5 ] largest similarity residual %.3f, unitarity %.3f (units of n*eps)\n",
                g_worst_similarity, g_worst_unitarity);
}

// The reflector updates near the diagonal (bulge by bulge or as one chain
// per step, several rows or columns per register) give the bits of the plain
// loops, in both modes, with and without the Schur form and Z.
TEST(Zlaqr5, SweepMatchesPlainReflectorLoopsBitForBit) {
    for (Case c : sweep_cases()) {
        for (const int kacc : {c.kacc22, 1}) {
            c.kacc22 = kacc;
            c.wantt = c.seed % 3 != 0;
            c.wantz = c.seed % 4 != 1;
            const Input in = make_input(c);
            const Output fast = run(c, in), plain = run(c, in, true);
            for (int j = 1; j <= c.n; ++j)
                for (int i = 1; i <= c.n; ++i) {
                    ASSERT_TRUE(same_bits(fast.h(i, j), plain.h(i, j)))
                        << c.str() << " H " << i << "," << j;
                    ASSERT_TRUE(same_bits(fast.z(i, j), plain.z(i, j)))
                        << c.str() << " Z " << i << "," << j;
                }
        }
    }
}

// The two modes round differently, and the bulge chase amplifies rounding
// differences: changing one entry of the 200-by-200 input by one ulp moves Z
// by about 80 n*eps. The bound is well above that and far below the effect
// of a single misapplied reflector.
constexpr double kChaseSensitivity = 1000.0;

// The ways of applying one sweep. KACC22 = 1 and 2 are the same mode, and
// any other value is the direct one. A slab product forms each element by
// the same operations whatever the slab width, and Z's rows are
// independent: narrow slabs and a sub-range of Z's rows change no bit of
// what they cover. An odd shift count drops its last shift (a NaN here).
TEST(Zlaqr5, WaysOfApplyingTheSweepAgree) {
    double worst = 0;
    for (Case c : sweep_cases()) {
        if (c.kacc22 != 0) continue;  // each shape once
        for (const bool wantt : {true, false}) {
            c.wantt = wantt;
            Input in = make_input(c);
            in.s.push_back(zcomplex{qnan, qnan});
            c.kacc22 = 2;
            const Output acc = run(c, in);
            c.kacc22 = 0;
            const Output direct = run(c, in);
            const double dh = distance(acc.h, direct.h, in.h);
            const double dz = distance(acc.z, direct.z, in.z);
            worst = std::max({worst, dh, dz});
            EXPECT_LE(dh, kChaseSensitivity) << c.str();
            EXPECT_LE(dz, kChaseSensitivity) << c.str();

            for (const int kacc : {1, 2, 0, -3}) {
                const Output& want = kacc == 1 || kacc == 2 ? acc : direct;
                Case odd = c;
                odd.kacc22 = kacc, odd.nshfts = c.nshfts + 1, odd.nv = 3, odd.nh = 7;
                const Output o = run(odd, in);
                EXPECT_TRUE(same_mat(o.h, want.h) && same_mat(o.z, want.z)) << odd.str();

                Case part = c;
                part.kacc22 = kacc, part.iloz = 2, part.ihiz = c.n - 3, part.nv = 1, part.nh = 2;
                const Output p = run(part, in);
                EXPECT_TRUE(same_mat(p.h, want.h)) << part.str();
                int differ = 0;
                for (int j = 1; j <= c.n; ++j)
                    for (int i = 1; i <= c.n; ++i) {
                        const bool in_range = i >= part.iloz && i <= part.ihiz;
                        differ += !same_bits(p.z(i, j), in_range ? want.z(i, j) : in.z(i, j));
                    }
                EXPECT_EQ(differ, 0) << part.str();
            }
        }
    }
    std::printf("[ ZLAQR5 ] accumulated vs direct: largest difference %.3f (units of n*eps)\n",
                worst);
}

TEST(Zlaqr5, NoShiftPairOrNoBlockChangesNothing) {
    Case base;
    base.n = 12, base.ktop = 3, base.kbot = 10;
    struct Degenerate {
        int ktop, kbot, nshfts;
    };
    for (const Degenerate d :
         {Degenerate{3, 10, 0}, {3, 10, 1}, {3, 10, -2}, {5, 5, 4}, {7, 6, 4}, {12, 12, 2}}) {
        for (const int kacc : {0, 1, 2}) {
            Case c = base;
            c.ktop = d.ktop, c.kbot = d.kbot, c.nshfts = d.nshfts, c.kacc22 = kacc;
            Input in = make_input(c);
            in.z = hhtest::random_mat(c.n, c.n, 3, c.n);
            const Output o = run(c, in);
            EXPECT_TRUE(same_mat(o.h, in.h) && same_mat(o.z, in.z)) << c.str();
            EXPECT_TRUE(o.v_untouched && o.work_untouched) << c.str();
        }
    }
}

// Without the Schur form only rows and columns KTOP..KBOT of H may change,
// with or without accumulation; without Z, Z is not touched at all.
TEST(Zlaqr5, WithoutSchurFormOnlyTheBlockChanges) {
    struct Shape {
        int n, ktop, kbot, nshfts;
    };
    std::uint64_t seed = 300;
    for (const Shape s : {Shape{10, 2, 9, 4},
                          {30, 6, 22, 6},
                          {50, 1, 40, 10},
                          {50, 12, 50, 8},
                          {80, 20, 61, 18},
                          {40, 7, 8, 4}}) {
        for (const int kacc : {0, 2}) {
            for (const bool wantz : {true, false}) {
                Case c;
                c.n = s.n, c.ktop = s.ktop, c.kbot = s.kbot, c.nshfts = s.nshfts;
                c.kacc22 = kacc, c.wantt = false, c.wantz = wantz, c.nv = 5, c.nh = 4;
                c.seed = seed++;
                Input in = make_input(c);
                if (!wantz) hhtest::fill_nan(in.z);
                const Output o = wantz ? check_sweep(c, in) : run(c, in);
                int changed = 0;
                for (int j = 1; j <= c.n; ++j)
                    for (int i = 1; i <= c.n; ++i) {
                        const bool block = i >= c.ktop && i <= c.kbot && j >= c.ktop && j <= c.kbot;
                        if (!block && !same_bits(o.h(i, j), in.h(i, j))) ++changed;
                    }
                EXPECT_EQ(changed, 0) << c.str();
                if (!wantz) {
                    EXPECT_TRUE(same_mat(o.z, in.z)) << c.str();
                }
            }
        }
    }
}

// A 2-by-2 block: every shift pair is one 2-element reflector. With both
// shifts equal to an eigenvalue of the block, one step reveals it.
TEST(Zlaqr5, TwoByTwoBlock) {
    qivtest::Rng rng(21);
    double worst = 0;
    for (int trial = 0; trial < 40; ++trial) {
        Case c;
        c.n = 9, c.ktop = 1 + trial % 8, c.kbot = c.ktop + 1, c.nshfts = 2 + 2 * (trial % 3);
        c.kacc22 = (trial / 3) % 3, c.seed = 500 + trial;
        Input in = make_input(c);
        // Block [a b; g d] with eigenvalue lambda: (a - lambda)(d - lambda) = b*g.
        const int k = c.ktop;
        const zcomplex lambda = rng.z();
        const zcomplex a = in.h(k, k), b = in.h(k, k + 1), g = in.h(k + 1, k);
        in.h(k + 1, k + 1) = lambda + b * g / (a - lambda);
        if (c.nshfts == 2) in.s = {lambda, lambda};
        const Output o = check_sweep(c, in);
        if (c.nshfts == 2) {
            const double scale = abs1(a) + abs1(b) + abs1(g) + abs1(in.h(k + 1, k + 1));
            const double sub = abs1(o.h(k + 1, k)) / (scale * kEps);
            const double eig = abs1(o.h(k + 1, k + 1) - lambda) / (scale * kEps);
            worst = std::max({worst, sub, eig});
            EXPECT_LE(sub, 64.0) << c.str();
            EXPECT_LE(eig, 64.0) << c.str();
        }
    }
    std::printf("[ ZLAQR5 ] 2-by-2 exact shift: largest remainder %.2f eps\n", worst);
}

// A bulge cannot cross an exact zero H(P+1, P): its fill dies there, and
// the sweep restarts it below from its shifts (the collapsed-bulge path).
// In the direct mode the block below the zero then receives exactly the
// sweep that starts at KTOP = P+1 (equal values: only the signs of exact
// zeros may differ); the accumulated mode agrees to rounding.
TEST(Zlaqr5, BulgesRestartBelowAZeroSubdiagonal) {
    struct Shape {
        int n, ktop, kbot, p, nshfts;
    };
    const Shape shapes[] = {{12, 1, 12, 1, 2},   {12, 1, 12, 2, 2},  {20, 2, 20, 2, 4},
                            {20, 2, 18, 5, 4},   {30, 1, 30, 9, 6},  {30, 3, 28, 4, 8},
                            {40, 1, 40, 17, 10}, {40, 5, 37, 30, 4}, {60, 1, 60, 30, 16}};
    auto equal = [](zcomplex a, zcomplex b) {
        return same_bits(a, b) || (a.re == b.re && a.im == b.im);
    };
    std::uint64_t seed = 900;
    for (const Shape sh : shapes) {
        for (const bool wantt : {true, false}) {
            for (const int kacc : {0, 2}) {
                Case c;
                c.n = sh.n, c.ktop = sh.ktop, c.kbot = sh.kbot, c.nshfts = sh.nshfts;
                c.kacc22 = kacc, c.wantt = wantt, c.nv = 4, c.nh = 5, c.seed = seed++;
                Input in = make_input(c);
                in.h(sh.p + 1, sh.p) = zero;
                const Output full = check_sweep(c, in);
                Case below = c;
                below.ktop = sh.p + 1;
                const Output ref = run(below, in);
                const int lo = sh.p + 1, hi = sh.kbot;
                if (kacc == 0) {
                    int differ = 0;
                    for (int j = lo; j <= hi; ++j) {
                        for (int i = lo; i <= hi; ++i) differ += !equal(full.h(i, j), ref.h(i, j));
                        for (int i = 1; i <= c.n; ++i) differ += !equal(full.z(i, j), ref.z(i, j));
                    }
                    EXPECT_EQ(differ, 0) << c.str() << " p=" << sh.p;
                } else {
                    const double dh = distance(sub(full.h, lo, hi), sub(ref.h, lo, hi), in.h);
                    EXPECT_LE(dh, kChaseSensitivity) << c.str() << " p=" << sh.p;
                }
            }
        }
    }
}

// Exact shifts: with eigenvalues of a matrix of known spectrum as shifts,
// repeated sweeps drive subdiagonal entries to negligible size, and the
// in-sweep deflation test sets them to exactly zero.
TEST(Zlaqr5, ExactShiftsDeflate) {
    for (const int n : {24, 60}) {
        for (const int kacc : {0, 2}) {
            const int ns = n == 24 ? 4 : 10;
            // T upper triangular with eigenvalues 1..n along the diagonal,
            // turned into Q*T*Q^H and reduced to Hessenberg form.
            Mat t = hhtest::random_mat(n, n, 40 + n);
            for (int j = 1; j <= n; ++j)
                for (int i = j; i <= n; ++i) t(i, j) = i == j ? zcomplex{double(j), 0.5} : zero;
            const hhtest::Reflectors q = hhtest::random_reflectors(n, n - 1, 41 + n);
            hhtest::apply_one_at_a_time(q, 'L', false, false, t);
            hhtest::apply_one_at_a_time(q, 'R', true, false, t);
            std::vector<zcomplex> tau(n), work(n);
            int one = 1, info = -1;
            qiv::ZGEHD2(&n, &one, &n, t.data(), &t.ld, tau.data(), work.data(), &info);
            ASSERT_EQ(info, 0);

            Case c;
            c.n = n, c.ktop = 1, c.kbot = n, c.nshfts = ns, c.kacc22 = kacc, c.wantz = false;
            Input in = make_input(c);
            for (int j = 1; j <= n; ++j)
                for (int i = 1; i <= std::min(n, j + 1); ++i) in.h(i, j) = t(i, j);
            const double hnorm = hhtest::norm1(clean(in.h));
            // The shifts: eigenvalues spread over the spectrum.
            for (int i = 0; i < ns; ++i) in.s[i] = zcomplex{double(1 + i * (n / ns)), 0.5};

            // In exact arithmetic one sweep with exact shifts splits the
            // trailing NS-by-NS block off; in floating point the sweep is
            // forward unstable, so a few sweeps may be needed before the
            // in-sweep test finds H(N-NS+1, N-NS) negligible and zeroes it.
            const int split = n - ns;
            int sweeps = 0;
            while (sweeps < 4 && !qiv::is_zero(in.h(split + 1, split))) {
                const Output o = run(c, in);
                ASSERT_TRUE(hessenberg_after(o.h, in.h, 1, n));
                in.h = o.h;
                ++sweeps;
            }
            ASSERT_TRUE(qiv::is_zero(in.h(split + 1, split)))
                << "n=" << n << " kacc22=" << kacc << " after " << sweeps << " sweeps";
            // The split-off block carries exactly the shifts: its trace is
            // their sum, and the rest of the diagonal carries the others.
            zcomplex tail = zero, shifts = zero, head = zero, others = zero;
            for (int i = split + 1; i <= n; ++i) tail = tail + in.h(i, i);
            for (int i = 1; i <= split; ++i) head = head + in.h(i, i);
            for (int i = 0; i < ns; ++i) shifts = shifts + in.s[i];
            for (int j = 1; j <= n; ++j) others = others + zcomplex{double(j), 0.5};
            others = others - shifts;
            const double tail_err = abs1(tail - shifts) / (hnorm * n * kEps);
            const double head_err = abs1(head - others) / (hnorm * n * kEps);
            EXPECT_LE(tail_err, 16.0) << "n=" << n << " kacc22=" << kacc;
            EXPECT_LE(head_err, 16.0) << "n=" << n << " kacc22=" << kacc;
            std::printf(
                "[ ZLAQR5 ] n=%d kacc22=%d: split after %d sweeps, trace errors %.2f %.2f\n", n,
                kacc, sweeps, tail_err, head_err);
        }
    }
}

}  // namespace
