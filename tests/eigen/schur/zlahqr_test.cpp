// ZLAHQR, the single-shift Hessenberg QR: Schur form, Schur vectors and
// eigenvalues checked by residuals, orthogonality and known spectra; the
// regions it must not touch checked bitwise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "eigen/eigen.h"
#include "eigen/eigen_test_support.h"
#include "frame/complex.h"
#include "oracle/eigen/eigen_plain.h"
#include "support/matrix.h"

namespace {

using eigtest::Mat;
using qiv::zcomplex;
using qivtest::same_bits;

const double qnan = std::numeric_limits<double>::quiet_NaN();
constexpr double kThresh = 10.0;  // residual and orthogonality limit, in N*eps units

struct Result {
    Mat h, z;
    std::vector<zcomplex> w;
    int info = -99;
};

// ZLAHQR on a copy of h0. With wantz, Z starts as z0 (the identity when
// null) and rows 1..N are updated; without it Z is a single sentinel with
// LDZ = 1 and ILOZ = IHIZ = 1, as the multishift code passes it. W starts as
// sentinels.
using Zlahqr = void (*)(const int*, const int*, const int*, const int*, const int*, zcomplex*,
                        const int*, zcomplex*, const int*, const int*, zcomplex*, const int*, int*);

Result run(const Mat& h0, bool wantt, bool wantz, int ilo, int ihi, const Mat* z0 = nullptr,
           Zlahqr routine = qiv::ZLAHQR) {
    const int n = h0.n;
    Result r;
    r.h = h0;
    r.w.assign(static_cast<std::size_t>(std::max(1, n)), qivtest::sentinel(7));
    int iloz = 1, ihiz = 1;
    if (wantz) {
        r.z = z0 ? *z0 : hhtest::identity(n);
        ihiz = n;
    } else {
        r.z = Mat(1, 1);
        r.z(1, 1) = qivtest::sentinel(3);
    }
    const int wt = wantt ? 1 : 0, wz = wantz ? 1 : 0;
    routine(&wt, &wz, &n, &ilo, &ihi, r.h.data(), &r.h.ld, r.w.data(), &iloz, &ihiz, r.z.data(),
            &r.z.ld, &r.info);
    return r;
}

// Largest figures measured across the tests, printed at the end of each.
struct Worst {
    double residual = 0, orthogonality = 0, eig = 0;
    void report(const char* what) const {
        std::printf("[ %s ] largest residual %.3g, orthogonality %.3g, eigenvalue error %.3g\n",
                    what, residual, orthogonality, eig);
    }
};

// Checks a full Schur run of h0 on block ilo..ihi and records the figures.
void expect_schur(const Mat& h0, const Result& r, int ilo, int ihi, Worst& worst) {
    ASSERT_EQ(r.info, 0);
    const eigtest::SchurCheck c = eigtest::check_schur(h0, r.h, r.z, r.w, ilo, ihi);
    EXPECT_TRUE(c.triangular);
    EXPECT_TRUE(c.diagonal_is_w);
    EXPECT_LE(c.residual, kThresh);
    EXPECT_LE(c.orthogonality, kThresh);
    worst.residual = std::max(worst.residual, c.residual);
    worst.orthogonality = std::max(worst.orthogonality, c.orthogonality);
    for (int i = 1; i <= h0.n; ++i)
        if (i < ilo || i > ihi) {
            EXPECT_TRUE(same_bits(r.w[i - 1], qivtest::sentinel(7))) << i;
        }
}

TEST(Zlahqr, SchurFormOfRandomHessenbergMatrices) {
    Worst worst;
    for (int n = 1; n <= 75; ++n) {
        SCOPED_TRACE(n);
        const Mat h0 = eigtest::random_hessenberg(n, 100 + n);
        expect_schur(h0, run(h0, true, true, 1, n), 1, n, worst);
    }
    // Isolated blocks, real and complex subdiagonals.
    for (int n : {3, 8, 21, 44, 75}) {
        const int ilo = 1 + n / 5, ihi = n - n / 4;
        for (bool real_sub : {false, true}) {
            SCOPED_TRACE(testing::Message() << n << " real " << real_sub);
            const Mat h0 = eigtest::random_hessenberg(n, 900 + n, ilo, ihi, real_sub);
            expect_schur(h0, run(h0, true, true, ilo, ihi), ilo, ihi, worst);
        }
    }
    worst.report("random");
}

// Without WANTT only the active block is transformed: everything outside
// rows and columns ILO..IHI (padding rows included) stays as it was, W
// outside ILO..IHI too, and Z is never touched. The eigenvalues are those of
// the full run bit for bit: the block's elements undergo the same operations
// in both modes, and Z never feeds back into H.
TEST(Zlahqr, EigenvaluesOnlyTouchNothingOutsideTheBlock) {
    for (int n : {6, 17, 40}) {
        const int ilo = 1 + n / 6, ihi = n - n / 5;
        SCOPED_TRACE(n);
        const Mat h0 = eigtest::random_hessenberg(n, 300 + n, ilo, ihi);
        Mat padded(n, n, n + 3);
        for (auto& x : padded.a) x = qivtest::sentinel(11);
        for (int j = 1; j <= n; ++j)
            for (int i = 1; i <= n; ++i) padded(i, j) = h0(i, j);

        const Result full = run(h0, true, true, ilo, ihi);
        const Result no_z = run(h0, true, false, ilo, ihi);
        const Result eig = run(padded, false, false, ilo, ihi);
        ASSERT_EQ(full.info, 0);
        ASSERT_EQ(no_z.info, 0);
        ASSERT_EQ(eig.info, 0);
        EXPECT_TRUE(hhtest::same_block(full.h, no_z.h));
        EXPECT_TRUE(same_bits(no_z.z(1, 1), qivtest::sentinel(3)));
        EXPECT_TRUE(same_bits(eig.z(1, 1), qivtest::sentinel(3)));
        for (int i = 1; i <= n; ++i) {
            EXPECT_TRUE(same_bits(full.w[i - 1], no_z.w[i - 1])) << i;
            EXPECT_TRUE(same_bits(full.w[i - 1], eig.w[i - 1])) << i;
        }
        for (int j = 1; j <= n; ++j)
            for (int i = 1; i <= padded.ld; ++i) {
                const bool inside = i >= ilo && i <= ihi && j >= ilo && j <= ihi;
                if (!inside) {
                    EXPECT_TRUE(same_bits(eig.h(i, j), padded(i, j))) << i << "," << j;
                }
            }
    }
}

// Without WANTT, a block that is split from the start by an exact zero
// H(S, S-1) is worked on as two separate blocks: the coupling block
// H(ILO..S-1, S..IHI) above the lower one is never written. (The subdiagonal
// is real, so the set-up scaling leaves it alone too.)
TEST(Zlahqr, EigenvaluesOnlyLeaveTheCouplingOfSplitBlocksAlone) {
    for (int n : {9, 30}) {
        const int ilo = 2, ihi = n - 1, split = n / 2;
        SCOPED_TRACE(n);
        Mat h0 = eigtest::random_hessenberg(n, 600 + n, ilo, ihi, true);
        h0(split, split - 1) = zcomplex{0.0, 0.0};
        const Result r = run(h0, false, false, ilo, ihi);
        const Result full = run(h0, true, false, ilo, ihi);
        ASSERT_EQ(r.info, 0);
        for (int i = ilo; i <= ihi; ++i) EXPECT_TRUE(same_bits(r.w[i - 1], full.w[i - 1])) << i;
        for (int j = split; j <= ihi; ++j)
            for (int i = ilo; i < split; ++i)
                EXPECT_TRUE(same_bits(r.h(i, j), h0(i, j))) << i << "," << j;
    }
}

// Matrices with prescribed eigenvalues, reduced to Hessenberg form by the
// library: the computed eigenvalues are compared with the prescribed ones.
TEST(Zlahqr, KnownSpectra) {
    using eigtest::Spectrum;
    Worst worst;
    double largest_cond = 0;
    for (Spectrum kind :
         {Spectrum::distinct, Spectrum::clustered, Spectrum::repeated, Spectrum::graded})
        for (int n : {5, 16, 40, 75})
            for (bool normal : {true, false}) {
                SCOPED_TRACE(testing::Message() << "kind " << static_cast<int>(kind) << " n " << n
                                                << " normal " << normal);
                const std::uint64_t seed = 7000 + 10 * n + static_cast<int>(kind);
                const std::vector<zcomplex> d = eigtest::make_spectrum(kind, n, seed);
                const eigtest::Known k = normal ? eigtest::normal_with_spectrum(d, seed)
                                                : eigtest::similar_with_spectrum(d, seed, 8.0 / n);
                const eigtest::Hessenberg hq = eigtest::to_hessenberg(k.a);
                const Result r = run(hq.h, true, true, 1, n);
                expect_schur(hq.h, r, 1, n, worst);
                const double err =
                    eigtest::eigenvalue_error(r.w, k.eig, hhtest::norm1(k.a), k.cond);
                EXPECT_LE(err, kThresh) << "cond " << k.cond;
                worst.eig = std::max(worst.eig, err);
                largest_cond = std::max(largest_cond, k.cond);
            }
    worst.report("known spectra");
    std::printf("[ known spectra ] largest condition estimate %.3g\n", largest_cond);
}

// Two consecutive tiny subdiagonal entries, neither negligible by itself:
// the QR step starts below the top of the block, leaving out the coupling
// H(M, M-1), and rescales rows and columns to keep it real. The result must
// still be an exact similarity to rounding.
TEST(Zlahqr, StepStartingAtTwoSmallSubdiagonals) {
    Worst worst;
    for (int n : {6, 12, 30})
        for (double tiny : {1e-7, 1e-9, 1e-12})
            for (int m : {3, n / 2}) {
                SCOPED_TRACE(testing::Message() << n << " " << tiny << " at " << m);
                Mat h0 = eigtest::random_hessenberg(n, 500 + n + m);
                h0(m, m - 1) = qiv::scale(tiny, zcomplex{0.6, -0.8});
                h0(m + 1, m) = qiv::scale(tiny, zcomplex{-0.8, 0.6});
                const Result r = run(h0, true, true, 1, n);
                expect_schur(h0, r, 1, n, worst);
                // Same eigenvalues, to rounding, without the Schur form.
                const Result e = run(h0, false, false, 1, n);
                ASSERT_EQ(e.info, 0);
                worst.eig = std::max(worst.eig,
                                     eigtest::eigenvalue_error(e.w, r.w, hhtest::norm1(h0), 1.0));
            }
    EXPECT_LE(worst.eig, 0.0);  // both modes produce the same eigenvalues bitwise
    worst.report("two small subdiagonals");
}

// The routine against its plain loops (tests/oracle), bit for bit: H, W, Z
// and INFO with and without the Schur form and vectors, on whole and partial
// blocks, and on blocks whose QR steps start below two small subdiagonal
// entries (the rescaling of rows and columns between two reflectors).
TEST(Zlahqr, SameBitsAsThePlainLoops) {
    for (int n : {2, 3, 7, 16, 33}) {
        for (int variant = 0; variant < 3; ++variant) {
            const int ilo = variant == 2 ? 1 + n / 4 : 1, ihi = variant == 2 ? n - n / 4 : n;
            Mat h0 = eigtest::random_hessenberg(n, 700 + 10 * n + variant, ilo, ihi);
            if (variant == 1 && n >= 7) {
                const int m = n / 2;
                h0(m, m - 1) = qiv::scale(1e-9, zcomplex{0.6, -0.8});
                h0(m + 1, m) = qiv::scale(1e-9, zcomplex{-0.8, 0.6});
            }
            for (int mode = 0; mode < 3; ++mode) {
                SCOPED_TRACE(testing::Message() << n << " variant " << variant << " mode " << mode);
                const bool wantt = mode < 2, wantz = mode == 0;
                const Result a = run(h0, wantt, wantz, ilo, ihi);
                const Result b = run(h0, wantt, wantz, ilo, ihi, nullptr, qivoracle::zlahqr_plain);
                EXPECT_EQ(a.info, b.info);
                EXPECT_TRUE(hhtest::same_block(a.h, b.h));
                EXPECT_TRUE(hhtest::same_block(a.z, b.z));
                EXPECT_LT(qivtest::first_difference(a.w.data(), b.w.data(), a.w.size()), 0);
            }
        }
    }
}

// The cyclic shift matrix (ones on the subdiagonal and in the top right
// corner, eigenvalues the N-th roots of unity) is orthogonal, and its
// Wilkinson shift is 0: plain shifted QR reproduces the matrix forever. Only
// the exceptional shifts get the iteration going.
TEST(Zlahqr, ExceptionalShiftsBreakAStall) {
    Worst worst;
    for (int n : {3, 4, 7, 16, 40})
        for (bool rotated : {false, true}) {
            SCOPED_TRACE(testing::Message() << n << " rotated " << rotated);
            // The rotated variant puts unit-modulus phases on the subdiagonal
            // (eigenvalues the roots of unity times the mean phase).
            Mat h0(n, n);
            const double pi = 3.141592653589793;
            std::vector<zcomplex> roots;
            double total = 0;
            for (int i = 1; i <= n; ++i) {
                const double theta = rotated ? 0.3 * i : 0.0;
                total += theta;
                const zcomplex e{std::cos(theta), std::sin(theta)};
                if (i < n)
                    h0(i + 1, i) = e;
                else
                    h0(1, n) = e;
            }
            for (int k = 0; k < n; ++k) {
                const double a = (2 * pi * k + total) / n;
                roots.push_back(zcomplex{std::cos(a), std::sin(a)});
            }
            const Result r = run(h0, true, true, 1, n);
            expect_schur(h0, r, 1, n, worst);
            const double err = eigtest::eigenvalue_error(r.w, roots, hhtest::norm1(h0), 1.0);
            EXPECT_LE(err, kThresh);
            worst.eig = std::max(worst.eig, err);
        }
    worst.report("cyclic");
}

// A NaN in the leading block, which is isolated from the trailing block by
// an exact zero: the trailing block converges, the leading one never
// deflates, and INFO reports the last unfinished row after the iteration
// limit. What was finished is a valid Schur factorisation of the trailing
// block.
TEST(Zlahqr, NaNNeverDeflatesAndEndsWithInfo) {
    const int n = 8, split = 5;
    Mat h0 = eigtest::random_hessenberg(n, 77);
    h0(split, split - 1) = zcomplex{0.0, 0.0};
    h0(1, 1).re = qnan;
    for (bool wantt : {true, false}) {
        SCOPED_TRACE(wantt);
        const Result r = run(h0, wantt, wantt, 1, n);
        EXPECT_EQ(r.info, split - 1);
        for (int i = 1; i < split; ++i)
            EXPECT_TRUE(same_bits(r.w[i - 1], qivtest::sentinel(7))) << i;
        for (int i = split; i <= n; ++i)
            EXPECT_TRUE(std::isfinite(r.w[i - 1].re) && std::isfinite(r.w[i - 1].im)) << i;
        if (!wantt) continue;
        // The trailing block on its own: T2 = Z2^H*H2*Z2.
        const int m = n - split + 1;
        Mat h2(m, m), t2(m, m), z2(m, m);
        std::vector<zcomplex> w2(r.w.begin() + (split - 1), r.w.end());
        for (int j = 1; j <= m; ++j)
            for (int i = 1; i <= m; ++i) {
                h2(i, j) = h0(split - 1 + i, split - 1 + j);
                t2(i, j) = r.h(split - 1 + i, split - 1 + j);
                z2(i, j) = r.z(split - 1 + i, split - 1 + j);
            }
        const eigtest::SchurCheck c = eigtest::check_schur(h2, t2, z2, w2);
        EXPECT_TRUE(c.triangular);
        EXPECT_TRUE(c.diagonal_is_w);
        EXPECT_LE(c.residual, kThresh);
        EXPECT_LE(c.orthogonality, kThresh);
    }
}

// A NaN imaginary part on the subdiagonal counts as non-zero: the set-up
// scaling multiplies by it, and through the next subdiagonal entry (which the
// column scaling reaches) it spreads down the whole subdiagonal, across an
// exact zero too. Nothing converges.
TEST(Zlahqr, NaNImaginarySubdiagonalSpreadsThroughTheSetUp) {
    const int n = 8;
    Mat h0 = eigtest::random_hessenberg(n, 78);
    h0(5, 4) = zcomplex{0.0, 0.0};
    h0(3, 2).im = qnan;
    for (bool wantt : {true, false}) {
        const Result r = run(h0, wantt, false, 1, n);
        EXPECT_EQ(r.info, n);
        for (int i = 1; i <= n; ++i) EXPECT_TRUE(same_bits(r.w[i - 1], qivtest::sentinel(7))) << i;
    }
}

// A subdiagonal entry far below ULP times the diagonal is not discarded when
// a neighbouring eigenvalue is smaller still: in [[1, 1], [1e-17, 1e-20]] the
// small eigenvalue is det/1 = 1e-20 - 1e-17, not 1e-20, and the careful
// deflation test keeps it to full relative accuracy. Scaled versions, and
// phases on the off-diagonal pair that leave the eigenvalues unchanged.
TEST(Zlahqr, CarefulDeflationKeepsTinyEigenvaluesAccurate) {
    for (double s : {1.0, 1e-150, 1e150})
        for (double phase : {0.0, 0.7}) {
            SCOPED_TRACE(testing::Message() << s << " " << phase);
            const zcomplex e{std::cos(phase), std::sin(phase)};
            Mat h0(2, 2);
            h0(1, 1) = zcomplex{s, 0.0};
            h0(1, 2) = qiv::scale(s, e);
            h0(2, 1) = qiv::scale(1e-17 * s, qiv::conj(e));
            h0(2, 2) = zcomplex{1e-20 * s, 0.0};
            const double expect = (1e-20 - 1e-17) * s;
            for (bool wantt : {true, false}) {
                const Result r = run(h0, wantt, wantt, 1, 2);
                ASSERT_EQ(r.info, 0);
                const zcomplex small =
                    std::fabs(r.w[0].re) < std::fabs(r.w[1].re) ? r.w[0] : r.w[1];
                EXPECT_LE(std::hypot(small.re - expect, small.im),
                          8 * eigtest::kEps * std::fabs(expect))
                    << small.re << " " << small.im;
            }
        }
}

// An upper triangular matrix (every subdiagonal entry exactly zero) deflates
// position by position without a QR step: H and Z come back bit for bit.
TEST(Zlahqr, ZeroSubdiagonalDeflatesWithoutAStep) {
    for (int n : {2, 9, 30})
        for (bool wantt : {true, false}) {
            SCOPED_TRACE(testing::Message() << n << " wantt " << wantt);
            Mat h0 = eigtest::random_hessenberg(n, 40 + n, 1, 1);  // no subdiagonal at all
            const Mat z0 = hhtest::random_mat(n, n, 41);
            const int ilo = n > 2 ? 2 : 1, ihi = n;
            const Result r = run(h0, wantt, true, ilo, ihi, &z0);
            ASSERT_EQ(r.info, 0);
            EXPECT_TRUE(hhtest::same_block(r.h, h0));
            EXPECT_TRUE(hhtest::same_block(r.z, z0));
            for (int i = ilo; i <= ihi; ++i) EXPECT_TRUE(same_bits(r.w[i - 1], h0(i, i))) << i;
        }
}

// Entries below the first subdiagonal are not data: the two just below it
// are cleared inside the block and the rest is never read or written. With
// NaN there, the result is bit for bit that of the clean matrix. The corner
// variants make a deflation test at the first or last row of the block
// depend on its neighbours (a zero 2-by-2 diagonal block with a tiny
// subdiagonal entry), which must be taken from inside ILO..IHI only.
TEST(Zlahqr, BelowTheSubdiagonalIsNeitherReadNorKept) {
    const int n = 20, ilo = 3, ihi = 17;
    for (int corner : {0, ilo + 1, ihi}) {
        SCOPED_TRACE(corner);
        Mat clean = eigtest::random_hessenberg(n, 55, ilo, ihi);
        if (corner != 0) {
            clean(corner - 1, corner - 1) = clean(corner, corner) = zcomplex{0.0, 0.0};
            clean(corner - 1, corner) = zcomplex{0.0, 0.0};
            clean(corner, corner - 1) = zcomplex{1e-20, 0.0};
        }
        Mat dirty = clean;
        for (int j = 1; j <= n; ++j)
            for (int i = j + 1; i <= n; ++i) {
                const bool data = i == j + 1 && j >= ilo && j < ihi;
                if (!data) dirty(i, j) = qivtest::sentinel(static_cast<std::size_t>(i + n * j));
            }
        const Result a = run(clean, true, true, ilo, ihi);
        const Result b = run(dirty, true, true, ilo, ihi);
        ASSERT_EQ(a.info, 0);
        ASSERT_EQ(b.info, 0);
        EXPECT_TRUE(hhtest::same_block(a.z, b.z));
        for (int i = 1; i <= n; ++i) EXPECT_TRUE(same_bits(a.w[i - 1], b.w[i - 1])) << i;
        for (int j = 1; j <= n; ++j)
            for (int i = 1; i <= n; ++i) {
                const bool cleared = j >= ilo && i <= ihi && (i == j + 2 || i == j + 3);
                const bool outside = i > j + 1 || (i == j + 1 && (j < ilo || j >= ihi));
                const zcomplex expect = cleared   ? zcomplex{0.0, 0.0}
                                        : outside ? dirty(i, j)
                                                  : a.h(i, j);
                EXPECT_TRUE(same_bits(b.h(i, j), expect)) << i << "," << j;
            }
    }
}

// Degenerate calls: N = 0 touches nothing; ILO = IHI only stores the
// diagonal entry; an empty block (IHI = 0) does nothing.
TEST(Zlahqr, DegenerateCalls) {
    const Mat h0 = eigtest::random_hessenberg(4, 9);
    Mat none(0, 0);
    const Result r0 = run(none, true, true, 1, 0);
    EXPECT_EQ(r0.info, 0);
    EXPECT_TRUE(same_bits(r0.w[0], qivtest::sentinel(7)));

    for (bool wantt : {true, false}) {
        Mat dirty = h0;
        dirty(4, 2) = zcomplex{qnan, 1.0};  // trash that ILO = IHI must not clear
        const Mat z0 = hhtest::random_mat(4, 4, 10);
        const Result r1 = run(dirty, wantt, true, 3, 3, &z0);
        EXPECT_EQ(r1.info, 0);
        EXPECT_TRUE(hhtest::same_block(r1.h, dirty));
        EXPECT_TRUE(hhtest::same_block(r1.z, z0));
        for (int i = 1; i <= 4; ++i)
            EXPECT_TRUE(same_bits(r1.w[i - 1], i == 3 ? h0(3, 3) : qivtest::sentinel(7)));

        const Result r2 = run(dirty, wantt, true, 1, 0, &z0);
        EXPECT_EQ(r2.info, 0);
        EXPECT_TRUE(hhtest::same_block(r2.h, dirty));
        EXPECT_TRUE(hhtest::same_block(r2.z, z0));
        for (int i = 1; i <= 4; ++i) EXPECT_TRUE(same_bits(r2.w[i - 1], qivtest::sentinel(7)));
    }
}

}  // namespace
