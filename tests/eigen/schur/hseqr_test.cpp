// The Hessenberg QR drivers (ZHSEQR, ZLAQR0, ZLAQR4) and aggressive early
// deflation (ZLAQR2, ZLAQR3), checked through properties of their results:
// the Schur form and its residual, the unitarity of the Schur vectors, known
// spectra, bitwise independence of the scratch band below the subdiagonal,
// and the paths that only short workspace, failures or special windows take.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "eigen/eigen.h"
#include "eigen/eigen_test_support.h"
#include "frame/complex.h"
#include "householder/householder.h"
#include "support/child.h"
#include "support/hh_support.h"
#include "support/matrix.h"

namespace {

using eigtest::random_hessenberg;
using hhtest::kEps;
using hhtest::Mat;
using qiv::zcomplex;
using qivtest::same_bits;

const double qnan = std::numeric_limits<double>::quiet_NaN();

// Prints a measured figure, so that a run shows how close the bounds are.
void report(const char* what, double value) {
    std::printf("[ figure   ] %-44s %.3g\n", what, value);
}

double modulus(zcomplex z) { return std::hypot(z.re, z.im); }

// Fills every entry more than one place below the diagonal with v.
void fill_band(Mat& h, zcomplex v) {
    for (int j = 1; j <= h.n; ++j)
        for (int i = j + 2; i <= h.m; ++i) h(i, j) = v;
}

struct HseqrRun {
    Mat h, z;
    std::vector<zcomplex> w;
    int info = -99;
    double work1 = 0;
};

int hseqr_query(const Mat& h, char job, char compz, int ilo, int ihi) {
    Mat hc = h, z(h.n, h.n);
    std::vector<zcomplex> w(std::max(1, h.n)), work(1);
    const char jb[2] = {job, 0}, cz[2] = {compz, 0};
    const int n = h.n, lwork = -1;
    int info = -99;
    qiv::ZHSEQR(jb, cz, &n, &ilo, &ihi, hc.data(), &hc.ld, w.data(), z.data(), &z.ld, work.data(),
                &lwork, &info);
    return static_cast<int>(work[0].re);
}

// ZHSEQR on a copy of h; lwork 0 means the optimal length. With compz 'V'
// the Schur vectors are accumulated into z0.
HseqrRun hseqr(const Mat& h, char job, char compz, int ilo = 1, int ihi = -1, int lwork = 0,
               const Mat* z0 = nullptr) {
    const int n = h.n;
    if (ihi < 0) ihi = n;
    if (lwork == 0) lwork = std::max(hseqr_query(h, job, compz, ilo, ihi), std::max(1, n));
    HseqrRun r;
    r.h = h;
    r.z = z0 ? *z0 : Mat(n, n);
    if (!z0) hhtest::fill_nan(r.z);  // 'I' must set it, 'N' must not read it
    r.w.assign(static_cast<std::size_t>(std::max(1, n)), zcomplex{qnan, qnan});
    std::vector<zcomplex> work(static_cast<std::size_t>(lwork), zcomplex{qnan, qnan});
    const char jb[2] = {job, 0}, cz[2] = {compz, 0};
    qiv::ZHSEQR(jb, cz, &n, &ilo, &ihi, r.h.data(), &r.h.ld, r.w.data(), r.z.data(), &r.z.ld,
                work.data(), &lwork, &r.info);
    r.work1 = work[0].re;
    return r;
}

// ||Z^H*A*Z - T||_1 / (||A||_1 * n * eps).
double schur_residual(const Mat& a, const Mat& z, const Mat& t) {
    const int n = a.n;
    if (n == 0) return 0.0;
    const Mat zaz = hhtest::mul(hhtest::mul(z, 'C', a, 'N'), 'N', z, 'N');
    const double an = std::max(hhtest::norm1(a), 1e-300);
    return hhtest::diff_norm1(zaz, t) / (an * n * kEps);
}

// T upper triangular with exact zeros below the diagonal and diag(T) = W
// bit for bit.
::testing::AssertionResult is_schur_form(const HseqrRun& r) {
    for (int j = 1; j <= r.h.n; ++j) {
        for (int i = j + 1; i <= r.h.n; ++i)
            if (!(r.h(i, j).re == 0.0 && r.h(i, j).im == 0.0))
                return ::testing::AssertionFailure() << "T(" << i << "," << j << ") not zero";
        if (!same_bits(r.h(j, j), r.w[j - 1]))
            return ::testing::AssertionFailure() << "W(" << j << ") differs from T(j,j)";
    }
    return ::testing::AssertionSuccess();
}

// Eigenvalue distance after matching, in units of n * eps * ||H||_1.
double eig_distance(const std::vector<zcomplex>& computed, const std::vector<zcomplex>& ref,
                    const Mat& h) {
    return eigtest::eigenvalue_error(computed, ref, hhtest::norm1(h), 1.0);
}

std::vector<zcomplex> head(const std::vector<zcomplex>& w, int n) {
    return std::vector<zcomplex>(w.begin(), w.begin() + n);
}

// ---------------------------------------------------------------------------
// Schur form across every order where the drivers change behaviour: the
// small-matrix crossover (75/76), the local copy (49), the shift and window
// schedule of the tuning table (30, 60, 150/151, 590/600).

struct Figures {
    double residual = 0, orth = 0;
};

Figures check_schur_run(const Mat& h0, int ilo, int ihi) {
    Figures f;
    const HseqrRun s = hseqr(h0, 'S', 'I', ilo, ihi);
    EXPECT_EQ(s.info, 0) << "n=" << h0.n;
    EXPECT_TRUE(is_schur_form(s)) << "n=" << h0.n;
    f.residual = schur_residual(h0, s.z, s.h);
    f.orth = hhtest::unitarity(s.z);
    EXPECT_LT(f.residual, 10.0) << "n=" << h0.n;
    EXPECT_LT(f.orth, 10.0) << "n=" << h0.n;

    // Eigenvalues only: every entry of the active block sees the same
    // operations as with the Schur form (only the ranges outside it shrink),
    // so the eigenvalues agree bit for bit; Z is not touched.
    const HseqrRun e = hseqr(h0, 'E', 'N', ilo, ihi);
    EXPECT_EQ(e.info, 0);
    const int n = h0.n;
    for (int i = 0; i < n; ++i) EXPECT_TRUE(same_bits(e.w[i], s.w[i])) << "n=" << n << " i=" << i;
    bool z_untouched = true;
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) z_untouched = z_untouched && std::isnan(e.z(i, j).re);
    EXPECT_TRUE(z_untouched) << "COMPZ = 'N' wrote Z, n=" << n;
    return f;
}

TEST(Hseqr, SchurFormAcrossOrders) {
    Figures worst;
    for (const int n :
         {1, 2, 3, 4, 15, 16, 29, 30, 48, 49, 50, 59, 60, 75, 76, 100, 149, 150, 151, 250, 400}) {
        const Mat h = random_hessenberg(n, 1000 + n);
        const Figures f = check_schur_run(h, 1, n);
        worst.residual = std::max(worst.residual, f.residual);
        worst.orth = std::max(worst.orth, f.orth);
    }
    // Partial blocks: balancing left rows and columns outside ILO..IHI
    // triangular.
    for (const auto& c : {std::array<int, 3>{20, 4, 17}, std::array<int, 3>{90, 5, 80},
                          std::array<int, 3>{160, 3, 158}}) {
        const Mat h = random_hessenberg(c[0], 77 + c[0], c[1], c[2]);
        const Figures f = check_schur_run(h, c[1], c[2]);
        worst.residual = std::max(worst.residual, f.residual);
        worst.orth = std::max(worst.orth, f.orth);
    }
    report("Schur residual / (||H|| n eps), 1..400", worst.residual);
    report("||Z^H Z - I|| / (n eps), 1..400", worst.orth);
}

TEST(Hseqr, SchurFormAtTheLargestShiftSchedule) {
    // 590 and above: 64 shifts and a window of 96 (> 75, so ZLAQR3 finds the
    // window's Schur form with ZLAQR4).
    double res = 0, orth = 0;
    for (const int n : {590, 600}) {
        const Mat h = random_hessenberg(n, 5000 + n);
        const HseqrRun s = hseqr(h, 'S', 'I');
        EXPECT_EQ(s.info, 0);
        EXPECT_TRUE(is_schur_form(s));
        res = std::max(res, schur_residual(h, s.z, s.h));
        orth = std::max(orth, hhtest::unitarity(s.z));
    }
    EXPECT_LT(res, 10.0);
    EXPECT_LT(orth, 10.0);
    report("Schur residual / (||H|| n eps), 590 and 600", res);
    report("||Z^H Z - I|| / (n eps), 590 and 600", orth);
}

// COMPZ = 'V' multiplies the given Q by the Schur vectors: T and W are bit
// for bit those of COMPZ = 'I', and Z = Q * Z_I to rounding.
TEST(Hseqr, AccumulatesIntoGivenUnitaryMatrix) {
    for (const int n : {40, 76, 151}) {
        const Mat h = random_hessenberg(n, 300 + n);
        // A unitary Q from the reduction of a random matrix.
        const Mat q = eigtest::to_hessenberg(hhtest::random_mat(n, n, 301 + n)).q;

        const HseqrRun si = hseqr(h, 'S', 'I');
        const HseqrRun sv = hseqr(h, 'S', 'V', 1, n, 0, &q);
        ASSERT_EQ(sv.info, 0);
        EXPECT_TRUE(hhtest::same_block(si.h, sv.h)) << "n=" << n;
        for (int i = 0; i < n; ++i) EXPECT_TRUE(same_bits(si.w[i], sv.w[i]));
        const Mat qz = hhtest::mul(q, 'N', si.z, 'N');
        EXPECT_LT(hhtest::diff_norm1(qz, sv.z) / (n * kEps), 10.0) << "n=" << n;
    }
}

// ---------------------------------------------------------------------------
// Known spectra: A = Q*D*Q^H (every eigenvalue perfectly conditioned) and
// A = S*D*S^-1 (basis condition ||S||_1 * ||S^-1||_1), reduced to Hessenberg
// form by ZGEHRD and ZUNGHR; ZHSEQR with COMPZ = 'V' then gives the Schur
// form of A itself.

TEST(Hseqr, KnownSpectra) {
    using eigtest::Spectrum;
    double worst_err = 0, worst_res = 0;
    int seed = 0;
    for (const int n : {60, 120, 200}) {
        for (const Spectrum kind :
             {Spectrum::distinct, Spectrum::clustered, Spectrum::repeated, Spectrum::graded}) {
            for (const bool normal : {true, false}) {
                ++seed;
                const std::vector<zcomplex> eig = eigtest::make_spectrum(kind, n, 900 + seed);
                // A coupling of 1/n keeps the basis condition number moderate.
                const eigtest::Known k =
                    normal ? eigtest::normal_with_spectrum(eig, 950 + seed)
                           : eigtest::similar_with_spectrum(eig, 950 + seed, 1.0 / n);
                const eigtest::Hessenberg hq = eigtest::to_hessenberg(k.a);

                const HseqrRun r = hseqr(hq.h, 'S', 'V', 1, n, 0, &hq.q);
                ASSERT_EQ(r.info, 0);
                EXPECT_TRUE(is_schur_form(r));
                const double res = schur_residual(k.a, r.z, r.h);
                EXPECT_LT(res, 10.0) << "n=" << n;
                worst_res = std::max(worst_res, res);

                const double an = hhtest::norm1(k.a);
                for (const HseqrRun& x : {r, hseqr(hq.h, 'E', 'N')}) {
                    const double err = eigtest::eigenvalue_error(head(x.w, n), k.eig, an, k.cond);
                    EXPECT_LT(err, 1.0) << "n=" << n << " kind " << static_cast<int>(kind)
                                        << (normal ? " normal" : " similar");
                    worst_err = std::max(worst_err, err);
                }
            }
        }
    }
    report("eigenvalue error / (n eps ||A|| cond)", worst_err);
    report("Schur residual of A / (||A|| n eps)", worst_res);
}

// ---------------------------------------------------------------------------
// The band below the first subdiagonal is scratch: whatever it holds on
// entry (zeros, NaN, huge values) the results are bit for bit the same.

TEST(Hseqr, ScratchBandContentsDoNotMatter) {
    struct Case {
        int n, ilo, ihi;
    };
    for (const Case c : {Case{76, 1, 76}, Case{76, 4, 70}, Case{150, 1, 150}, Case{151, 2, 149},
                         Case{600, 3, 597}}) {
        Mat h = random_hessenberg(c.n, 4000 + c.n, c.ilo, c.ihi);
        const HseqrRun ref = hseqr(h, 'S', 'I', c.ilo, c.ihi);
        ASSERT_EQ(ref.info, 0);
        for (const double v : {qnan, 1e300}) {
            fill_band(h, zcomplex{v, -v});
            const HseqrRun r = hseqr(h, 'S', 'I', c.ilo, c.ihi);
            EXPECT_EQ(r.info, 0);
            EXPECT_TRUE(hhtest::same_block(ref.h, r.h)) << "n=" << c.n << " band " << v;
            EXPECT_TRUE(hhtest::same_block(ref.z, r.z)) << "n=" << c.n << " band " << v;
            for (int i = 0; i < c.n; ++i) EXPECT_TRUE(same_bits(ref.w[i], r.w[i]));
        }
        EXPECT_TRUE(is_schur_form(ref));

        // Eigenvalues only: nothing on or above the subdiagonal outside the
        // active block changes, whatever the band holds.
        if (c.n <= 151) {
            fill_band(h, zcomplex{qnan, qnan});
            const HseqrRun e = hseqr(h, 'E', 'N', c.ilo, c.ihi);
            EXPECT_EQ(e.info, 0);
            for (int j = 1; j <= c.n; ++j)
                for (int i = 1; i <= std::min(c.n, j + 1); ++i) {
                    const bool inside = i >= c.ilo && i <= c.ihi && j >= c.ilo && j <= c.ihi;
                    // Equal values: a zero entry left of the block may be
                    // rewritten as a product with zero (its sign may flip).
                    if (!inside) {
                        EXPECT_TRUE(h(i, j).re == e.h(i, j).re && h(i, j).im == e.h(i, j).im)
                            << i << "," << j << " n=" << c.n;
                    }
                }
            for (int i = 1; i <= c.n; ++i)
                if (i < c.ilo || i > c.ihi) {
                    EXPECT_TRUE(same_bits(e.w[i - 1], h(i, i)));
                }
        }
    }
}

// JOB = 'E' with Schur vectors wanted: the window updates reach Z, so Z is
// unitary, Z^H*H*Z is upper triangular to rounding and its diagonal holds W.
// (H itself is not kept consistent outside the active block.)
TEST(Hseqr, EigenvaluesOnlyStillAccumulateSchurVectors) {
    for (const int n : {76, 200}) {
        const Mat h = random_hessenberg(n, 6100 + n);
        const HseqrRun r = hseqr(h, 'E', 'I');
        ASSERT_EQ(r.info, 0);
        EXPECT_LT(hhtest::unitarity(r.z), 10.0);
        const Mat m = hhtest::mul(hhtest::mul(r.z, 'C', h, 'N'), 'N', r.z, 'N');
        const double scale = hhtest::norm1(h) * n * kEps;
        double lower = 0, diag = 0;
        for (int j = 1; j <= n; ++j) {
            for (int i = j + 1; i <= n; ++i) lower = std::max(lower, modulus(m(i, j)) / scale);
            diag = std::max(diag, modulus(m(j, j) - r.w[j - 1]) / scale);
        }
        EXPECT_LT(lower, 10.0) << "n=" << n;
        EXPECT_LT(diag, 10.0) << "n=" << n;
    }
}

// ---------------------------------------------------------------------------
// Workspace.

// The minimum LWORK = N limits the window and the shift count but never
// reaches an illegal-argument report below; the results agree with those of
// the optimal workspace to rounding.
TEST(Hseqr, MinimumWorkspaceAgreesWithOptimal) {
    double worst = 0;
    for (const int n : {16, 49, 76, 151, 400}) {
        const Mat h = random_hessenberg(n, 7000 + n);
        const HseqrRun opt = hseqr(h, 'S', 'I');
        const HseqrRun mn = hseqr(h, 'S', 'I', 1, n, n);
        ASSERT_EQ(mn.info, 0);
        EXPECT_TRUE(is_schur_form(mn));
        EXPECT_LT(schur_residual(h, mn.z, mn.h), 10.0);
        // Random Hessenberg matrices have eigenvalue condition numbers of a
        // few hundred at most at these orders.
        const double d = eig_distance(head(mn.w, n), head(opt.w, n), h);
        EXPECT_LT(d, 1e4) << "n=" << n;
        worst = std::max(worst, d);
        EXPECT_GE(mn.work1, n);
    }
    report("|w(LWORK=N) - w(optimal)| / (||H|| n eps)", worst);
}

#if defined(__linux__)
// A legal LWORK of 2^30 or more (2*LWORK exceeds 32 bits): the limits on the
// window and the shift count are those of any long workspace, so the results
// are bit for bit those of the optimal length. The array is reserved, not
// committed: only the pages the routines touch are ever backed.
TEST(Hseqr, WorkspaceLengthBeyondHalfTheIntegerRange) {
    const int n = 151;
    const int lwork = (1 << 30) + 7;
    const std::size_t bytes = static_cast<std::size_t>(lwork) * sizeof(zcomplex);
    void* mem = mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (mem == MAP_FAILED) GTEST_SKIP() << "cannot reserve 16 GiB of address space";
    auto* work = static_cast<zcomplex*>(mem);

    const Mat h = random_hessenberg(n, 8100);
    const HseqrRun ref = hseqr(h, 'S', 'I');
    HseqrRun r;
    r.h = h;
    r.z = Mat(n, n);
    r.w.assign(n, zcomplex{0, 0});
    const int ilo = 1;
    qiv::ZHSEQR("S", "I", &n, &ilo, &n, r.h.data(), &r.h.ld, r.w.data(), r.z.data(), &r.z.ld, work,
                &lwork, &r.info);
    munmap(mem, bytes);
    EXPECT_EQ(r.info, 0);
    EXPECT_TRUE(hhtest::same_block(ref.h, r.h));
    EXPECT_TRUE(hhtest::same_block(ref.z, r.z));
}
#endif

TEST(Hseqr, WorkspaceQueries) {
    // ZHSEQR: at least max(1, N); nothing else changes.
    for (const int n : {0, 1, 10, 76, 300}) {
        Mat h = random_hessenberg(n, 11 + n);
        const Mat h0 = h;
        std::vector<zcomplex> w(std::max(1, n), zcomplex{qnan, 1}), work(1);
        Mat z(std::max(1, n), std::max(1, n));
        const int lwork = -1, ilo = 1, ihi = n;
        int info = -99;
        qiv::ZHSEQR("S", "V", &n, &ilo, &ihi, h.data(), &h.ld, w.data(), z.data(), &z.ld,
                    work.data(), &lwork, &info);
        EXPECT_EQ(info, 0);
        EXPECT_GE(work[0].re, std::max(1, n));
        if (n == 0) {
            EXPECT_EQ(work[0].re, 1.0);
        }
        EXPECT_TRUE(hhtest::same_block(h, h0));
        // The answer is enough: a run with exactly that length works.
        if (n > 0) {
            const HseqrRun r = hseqr(h0, 'S', 'I', 1, n, static_cast<int>(work[0].re));
            EXPECT_EQ(r.info, 0);
        }
    }
    // ZLAQR0 up to order 15 is ZLAHQR: workspace 1.
    for (const int n : {1, 15}) {
        Mat h = random_hessenberg(n, 12);
        std::vector<zcomplex> w(n), work(1, zcomplex{qnan, qnan});
        const int yes = 1, one = 1, lwork = -1;
        int info = -99;
        zcomplex zd[1];
        qiv::ZLAQR0(&yes, &yes, &n, &one, &n, h.data(), &h.ld, w.data(), &one, &n, zd, &one,
                    work.data(), &lwork, &info);
        EXPECT_EQ(work[0].re, 1.0);
        EXPECT_EQ(info, 0);
    }
    // ZLAQR2 and ZLAQR3 with a window of at most 2: workspace 1.
    for (const int nw : {1, 2}) {
        const int n = 30, ktop = 1, kbot = 30, ld = 30, yes = 1, lwork = -1;
        Mat h = random_hessenberg(n, 13), v(ld, ld), t(ld, ld), wv(ld, ld), z(n, n);
        std::vector<zcomplex> sh(n), work(1, zcomplex{qnan, qnan});
        int ns = -5, nd = -5;
        qiv::ZLAQR2(&yes, &yes, &n, &ktop, &kbot, &nw, h.data(), &h.ld, &ktop, &kbot, z.data(),
                    &z.ld, &ns, &nd, sh.data(), v.data(), &ld, &ld, t.data(), &ld, &ld, wv.data(),
                    &ld, work.data(), &lwork);
        EXPECT_EQ(work[0].re, 1.0);
        work[0] = zcomplex{qnan, qnan};
        qiv::ZLAQR3(&yes, &yes, &n, &ktop, &kbot, &nw, h.data(), &h.ld, &ktop, &kbot, z.data(),
                    &z.ld, &ns, &nd, sh.data(), v.data(), &ld, &ld, t.data(), &ld, &ld, wv.data(),
                    &ld, work.data(), &lwork);
        EXPECT_EQ(work[0].re, 1.0);
    }
}

// ---------------------------------------------------------------------------
// Deflation windows.

// A window covering the whole active block has no spike: every eigenvalue
// deflates and the block holds its Schur form. ZLAQR3 with a window above
// 75 finds it with ZLAQR4.
TEST(Laqr23, WindowCoveringTheWholeBlockDeflatesEverything) {
    for (const bool three : {false, true}) {
        const int n = three ? 110 : 40, ktop = 3, kbot = n - 2, jw = kbot - ktop + 1;
        Mat h0 = random_hessenberg(n, 14 + n, ktop, kbot);
        Mat h = h0, z = hhtest::identity(n);
        const int ld = n, yes = 1, nw = jw + 5, one = 1;
        Mat v(ld, n), t(ld, n), wv(ld, n);
        std::vector<zcomplex> sh(n, zcomplex{qnan, qnan}), work(1);
        int ns = -5, nd = -5, lwork = -1;
        auto call = [&] {
            (three ? qiv::ZLAQR3 : qiv::ZLAQR2)(&yes, &yes, &n, &ktop, &kbot, &nw, h.data(), &h.ld,
                                                &one, &n, z.data(), &z.ld, &ns, &nd, sh.data(),
                                                v.data(), &ld, &ld, t.data(), &ld, &ld, wv.data(),
                                                &ld, work.data(), &lwork);
        };
        call();
        lwork = static_cast<int>(work[0].re);
        work.assign(lwork, zcomplex{qnan, qnan});
        call();
        EXPECT_EQ(nd, jw);
        EXPECT_EQ(ns, 0);
        for (int j = ktop; j <= kbot; ++j) {
            EXPECT_TRUE(same_bits(sh[j - 1], h(j, j)));
            EXPECT_EQ(h(j + 1, j).re, 0.0);
            EXPECT_EQ(h(j + 1, j).im, 0.0);
        }
        // The whole matrix stays similar (WANTT): Z^H*H0*Z = H on and above
        // the subdiagonal (below it the routine leaves its own values).
        Mat hh = hhtest::hessenberg_part(h);
        EXPECT_LT(schur_residual(h0, z, hh), 10.0) << (three ? "ZLAQR3" : "ZLAQR2");
        EXPECT_LT(hhtest::unitarity(z), 10.0);
    }
}

// The shortest workspace the multishift code accepts, LWORK = 3 (the
// reflector of one bulge): windows of order 1, so the sweep's two shifts come
// from the eigenvalues of a copy of the trailing 2-by-2 block, and exactly
// two of them means one used twice. Both twins still reach the Schur form.
TEST(Hseqr, MultishiftWithTheShortestWorkspace) {
    for (const bool nested : {false, true}) {
        for (const int n : {40, 76}) {
            const Mat h0 = random_hessenberg(n, 19 + n);
            Mat h = h0, z = hhtest::identity(n);
            std::vector<zcomplex> w(n), work(3);
            const int yes = 1, one = 1, lwork = 3;
            int info = -99;
            (nested ? qiv::ZLAQR4 : qiv::ZLAQR0)(&yes, &yes, &n, &one, &n, h.data(), &h.ld,
                                                 w.data(), &one, &n, z.data(), &z.ld, work.data(),
                                                 &lwork, &info);
            EXPECT_EQ(info, 0);
            const Mat t = hhtest::hessenberg_part(h);  // below it: scratch
            EXPECT_TRUE(eigtest::lower_part_zero(t));
            EXPECT_LT(schur_residual(h0, z, t), 10.0) << "n=" << n;
            EXPECT_LT(hhtest::unitarity(z), 10.0);
        }
    }
}

// ---------------------------------------------------------------------------
// Failures and their rescue.

// The multishift code finishes a block in an order-49 embedding: the
// N-by-N matrix in the leading block, an exact zero below it, zero columns to
// its right and an arbitrary band below the subdiagonal. This is the copy
// ZHSEQR makes when ZLAHQR fails on a matrix of order below 49; a finite
// matrix on which ZLAHQR fails was not found, so the rescue is checked here
// directly, and through ZHSEQR with a NaN below.
TEST(Hseqr, RescueInTheLocalCopy) {
    for (const int n : {20, 30, 48}) {
        const int kbot = n - 3;  // as if ZLAHQR had finished rows kbot+1..n
        Mat h0 = random_hessenberg(n, 15 + n, 1, kbot);
        Mat hl(49, 49);
        fill_band(hl, zcomplex{qnan, qnan});
        for (int j = 1; j <= n; ++j)
            for (int i = 1; i <= std::min(n, j + 1); ++i) hl(i, j) = h0(i, j);
        hl(n + 1, n) = zcomplex{0, 0};
        for (int j = n + 1; j <= 49; ++j)
            for (int i = 1; i <= 49; ++i) hl(i, j) = zcomplex{0, 0};
        Mat z = hhtest::identity(n);
        std::vector<zcomplex> w(n, zcomplex{qnan, qnan}), work(49);
        const int yes = 1, one = 1, nl = 49, lw = 49;
        int info = -99;
        qiv::ZLAQR0(&yes, &yes, &nl, &one, &kbot, hl.data(), &hl.ld, w.data(), &one, &n, z.data(),
                    &z.ld, work.data(), &lw, &info);
        EXPECT_EQ(info, 0);
        Mat t(n, n);
        for (int j = 1; j <= n; ++j)
            for (int i = 1; i <= j; ++i) t(i, j) = hl(i, j);
        for (int j = 1; j <= kbot; ++j) {
            EXPECT_EQ(hl(j + 1, j).re, 0.0);
            EXPECT_TRUE(same_bits(w[j - 1], hl(j, j)));
        }
        EXPECT_LT(schur_residual(h0, z, t), 10.0) << "n=" << n;
        EXPECT_LT(hhtest::unitarity(z), 10.0);
        for (int j = n + 1; j <= 49; ++j)
            for (int i = 1; i <= n; ++i) EXPECT_TRUE(hl(i, j).re == 0.0 && hl(i, j).im == 0.0);
    }
}

// A NaN in the leading block never deflates: INFO > 0 after the iteration
// limit, while the finite trailing block (split off by an exact zero) is
// finished: its eigenvalues in W(INFO+1..N), T triangular there, and the
// band below the subdiagonal cleared. Order 20 goes through ZLAHQR and the
// rescue in the local copy, order 60 through ZLAHQR and the rescue in H
// itself, order 80 through ZLAQR0.
TEST(Hseqr, NanThatNeverDeflates) {
    for (const int n : {20, 60, 80}) {
        const int split = 4;  // a small leading block keeps the futile iterations cheap
        Mat h = random_hessenberg(n, 16 + n);
        h(split + 1, split) = zcomplex{0, 0};
        Mat tail(n - split, n - split);
        for (int j = 1; j <= n - split; ++j)
            for (int i = 1; i <= n - split; ++i) tail(i, j) = h(split + i, split + j);
        h(2, 2) = zcomplex{qnan, 0.0};
        const HseqrRun tr = hseqr(tail, 'E', 'N');
        ASSERT_EQ(tr.info, 0);
        for (const char job : {'S', 'E'}) {
            const HseqrRun r = hseqr(h, job, 'I');
            EXPECT_GT(r.info, 0) << job << " n=" << n;
            EXPECT_LE(r.info, split) << job << " n=" << n;
            if (r.info <= 0 || r.info > split) continue;
            const int n2 = n - split;
            std::vector<zcomplex> got(r.w.begin() + split, r.w.begin() + n);
            EXPECT_LT(eig_distance(got, head(tr.w, n2), tail), 1e4);
            for (int i = r.info + 1; i <= n; ++i) EXPECT_TRUE(std::isfinite(r.w[i - 1].re));
            for (int j = 1; j <= n; ++j)
                for (int i = j + 2; i <= n; ++i)
                    EXPECT_TRUE(r.h(i, j).re == 0.0 && r.h(i, j).im == 0.0) << i << "," << j;
            if (job == 'S') {
                for (int j = r.info + 1; j <= n; ++j) {
                    EXPECT_TRUE(same_bits(r.w[j - 1], r.h(j, j)));
                    if (j > r.info + 1) {
                        EXPECT_EQ(r.h(j, j - 1).re, 0.0);
                    }
                }
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Trivial orders and argument checks.

TEST(Hseqr, TrivialOrders) {
    {
        const int n = 0, ilo = 1, ihi = 0, ld = 1, lwork = 1;
        zcomplex h[1] = {{5, 5}}, w[1] = {{7, 7}}, z[1] = {{9, 9}}, work[1] = {{qnan, 0}};
        int info = -99;
        qiv::ZHSEQR("S", "I", &n, &ilo, &ihi, h, &ld, w, z, &ld, work, &lwork, &info);
        EXPECT_EQ(info, 0);
        EXPECT_EQ(work[0].re, 1.0);
        EXPECT_TRUE(same_bits(h[0], zcomplex{5, 5}) && same_bits(z[0], zcomplex{9, 9}));
    }
    // ILO = IHI: the whole diagonal is the spectrum; Z becomes the identity.
    const int n = 6;
    Mat h = random_hessenberg(n, 17, 4, 4);
    const HseqrRun r = hseqr(h, 'S', 'I', 4, 4, n);
    EXPECT_EQ(r.info, 0);
    for (int i = 1; i <= n; ++i) EXPECT_TRUE(same_bits(r.w[i - 1], h(i, i)));
    EXPECT_TRUE(hhtest::same_block(r.z, hhtest::identity(n)));
}

TEST(Hseqr, ArgumentChecks) {
    const int n = 4, one = 1, lw = 4, bad_lw = 3, neg = -1, zero = 0, five = 5, three = 3;
    Mat h = random_hessenberg(n, 18), z(n, n);
    std::vector<zcomplex> w(n), work(n);
    auto call = [&](const char* job, const char* compz, const int* nn, const int* ilo,
                    const int* ihi, const int* ldh, const int* ldz, const int* lwork) {
        int info = 0;
        qiv::ZHSEQR(job, compz, nn, ilo, ihi, h.data(), ldh, w.data(), z.data(), ldz, work.data(),
                    lwork, &info);
    };
    EXPECT_ILLEGAL("ZHSEQR", 1, call("X", "I", &n, &one, &n, &n, &n, &lw));
    EXPECT_ILLEGAL("ZHSEQR", 2, call("S", "Q", &n, &one, &n, &n, &n, &lw));
    EXPECT_ILLEGAL("ZHSEQR", 3, call("E", "N", &neg, &one, &n, &n, &n, &lw));
    EXPECT_ILLEGAL("ZHSEQR", 4, call("E", "N", &n, &zero, &n, &n, &n, &lw));
    EXPECT_ILLEGAL("ZHSEQR", 4, call("E", "N", &n, &five, &n, &n, &n, &lw));
    EXPECT_ILLEGAL("ZHSEQR", 5, call("E", "N", &n, &three, &one, &n, &n, &lw));
    EXPECT_ILLEGAL("ZHSEQR", 5, call("E", "N", &n, &one, &five, &n, &n, &lw));
    EXPECT_ILLEGAL("ZHSEQR", 7, call("s", "v", &n, &one, &n, &three, &n, &lw));
    EXPECT_ILLEGAL("ZHSEQR", 10, call("S", "V", &n, &one, &n, &n, &three, &lw));
    EXPECT_ILLEGAL("ZHSEQR", 10, call("E", "N", &n, &one, &n, &n, &zero, &lw));
    EXPECT_ILLEGAL("ZHSEQR", 12, call("E", "N", &n, &one, &n, &n, &one, &bad_lw));
    // Several illegal at once: the first is reported.
    EXPECT_ILLEGAL("ZHSEQR", 2, call("S", "Q", &neg, &zero, &one, &zero, &zero, &bad_lw));
    EXPECT_ILLEGAL("ZHSEQR", 5, call("E", "I", &n, &one, &five, &one, &one, &bad_lw));
    // Legal corner: COMPZ 'N' with LDZ = 1, lower-case letters.
    int info = -99;
    qiv::ZHSEQR("e", "n", &n, &one, &n, h.data(), &n, w.data(), z.data(), &one, work.data(), &lw,
                &info);
    EXPECT_EQ(info, 0);
}

}  // namespace
