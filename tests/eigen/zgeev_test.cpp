// The eigen driver ZGEEV and its export: residuals of left and right
// eigenvectors for random, structured and real matrices from practice, the
// normalisation of every vector, exactly known spectra, badly scaled input,
// agreement between the paths (vectors or not, minimum or optimal workspace,
// with or without the trailing lengths), and bad input as a host sees it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "eigen/eigen.h"
#include "eigen_test_support.h"
#include "env/machine.h"
#include "frame/complex.h"
#include "support/child.h"
#include "support/hb_reader.h"
#include "support/matrix.h"

namespace {

using qiv::zcomplex;
using qivtest::same_bits;
constexpr double kEps = 2.220446049250313e-16;

using eigtest::geev;
using Result = eigtest::GeevResult;

double norm1(const std::vector<zcomplex>& a, int n) { return qivtest::norm1(a.data(), n, n, n); }

// max_j ||A v_j - w_j v_j||_1 (right) or ||u_j^H A - w_j u_j^H||_1 (left),
// over ||A||_1 * N * eps; the vectors have norm 1.
double residual(const std::vector<zcomplex>& a, int n, const std::vector<zcomplex>& w,
                const std::vector<zcomplex>& v, bool left) {
    double worst = 0.0;
    for (int j = 0; j < n; ++j) {
        double r = 0.0;
        for (int i = 0; i < n; ++i) {
            zcomplex s{0, 0};
            for (int l = 0; l < n; ++l) {
                if (left)
                    s = s + qiv::conj(v[l + j * n]) * a[l + i * n];
                else
                    s = s + a[i + l * n] * v[l + j * n];
            }
            const zcomplex vi = left ? qiv::conj(v[i + j * n]) : v[i + j * n];
            r += qiv::DCABS1(&(s = s - w[j] * vi));
        }
        worst = std::max(worst, r);
    }
    const double scale = norm1(a, n) * std::max(1, n) * kEps;
    return scale > 0 ? worst / scale : worst;
}

// Every column has Euclidean norm 1 and its component of largest modulus is
// real and positive with an imaginary part of exactly 0.
void expect_normalised(const std::vector<zcomplex>& v, int n, const char* what) {
    for (int j = 0; j < n; ++j) {
        double sum = 0.0, big = -1.0;
        int k = 0;
        for (int i = 0; i < n; ++i) {
            const zcomplex x = v[i + j * n];
            const double m2 = x.re * x.re + x.im * x.im;
            sum += m2;
            if (m2 > big) big = m2, k = i;
        }
        EXPECT_NEAR(sum, 1.0, 8 * n * kEps) << what << " column " << j;
        EXPECT_EQ(v[k + j * n].im, 0.0) << what << " column " << j;
        EXPECT_GT(v[k + j * n].re, 0.0) << what << " column " << j;
    }
}

std::vector<zcomplex> random_matrix(int n, std::uint64_t seed) {
    qivtest::Rng rng(seed);
    std::vector<zcomplex> a(std::max(1, n * n));
    rng.fill(a.data(), n, n, n);
    return a;
}

// Both residuals and the normalisation, with both kinds of vectors.
double check_pairs(const std::vector<zcomplex>& a, int n, const std::string& what) {
    const Result r = geev(a, n, true, true);
    EXPECT_EQ(r.info, 0) << what;
    expect_normalised(r.vl, n, what.c_str());
    expect_normalised(r.vr, n, what.c_str());
    const double worst =
        std::max(residual(a, n, r.w, r.vr, false), residual(a, n, r.w, r.vl, true));
    EXPECT_LT(worst, 10.0) << what;
    return worst;
}

TEST(Zgeev, ResidualsOfRandomAndStructuredMatrices) {
    double worst = 0.0;
    for (int n : {1, 2, 3, 7, 16, 40, 75, 76, 130, 200}) {
        worst = std::max(worst,
                         check_pairs(random_matrix(n, 100 + n), n, "random " + std::to_string(n)));
    }
    // Structured: a Jordan-like block (defective: eigenvectors nearly parallel,
    // residuals still small), a matrix with a graded spectrum, and real input
    // with rows and columns that balancing isolates by permutations.
    const int n = 60;
    std::vector<zcomplex> jordan(n * n, zcomplex{0, 0}), graded = random_matrix(n, 7),
                                                         isolated = random_matrix(n, 8);
    for (int i = 0; i < n; ++i) {
        jordan[i + i * n] = zcomplex{2.0, -1.0};
        if (i + 1 < n) jordan[i + (i + 1) * n] = zcomplex{1.0, 0.0};
        for (int j = 0; j < n; ++j) {
            graded[i + j * n] = qiv::scale(std::pow(10.0, (i - j) / 6.0), graded[i + j * n]);
            isolated[i + j * n].im = 0.0;
            // Rows 0, 7, 14, ... hold only their diagonal; so do columns 3, 10, 17, ...
            if ((i % 7 == 0 && j != i) || (j % 7 == 3 && j != i))
                isolated[i + j * n] = zcomplex{0, 0};
        }
    }
    jordan[(n - 1)] = zcomplex{1e-8, 0};  // a small perturbation in the corner
    worst = std::max(worst, check_pairs(jordan, n, "jordan"));
    worst = std::max(worst, check_pairs(graded, n, "graded"));
    worst = std::max(worst, check_pairs(isolated, n, "isolated by balancing"));
    std::printf("largest residual over ||A|| N eps: %.3f\n", worst);
}

TEST(Zgeev, MatricesFromPracticeAndLargeOrder) {
    qivtest::HbMatrix hb;
    std::string error;
    ASSERT_TRUE(qivtest::read_hb(qivtest::test_data_file("pde225.rua"), &hb, &error)) << error;
    const int n = hb.nrow;
    const std::vector<zcomplex> a = qivtest::hb_dense(hb, n);
    const double worst = check_pairs(a, n, "pde225");
    // Real input: the eigenvalues come in conjugate pairs, to rounding.
    const Result r = geev(a, n, false, false);
    ASSERT_EQ(r.info, 0);
    const double tol = 1e3 * n * kEps * norm1(a, n);
    for (int j = 0; j < n; ++j) {
        double nearest = HUGE_VAL;
        for (int k = 0; k < n; ++k)
            nearest = std::min(nearest,
                               std::fabs(r.w[k].re - r.w[j].re) + std::fabs(r.w[k].im + r.w[j].im));
        EXPECT_LT(nearest, tol) << "eigenvalue " << j << " has no conjugate partner";
    }
    // A random order-500 matrix, right vectors only (the largest order tested).
    const int big = 500;
    const std::vector<zcomplex> b = random_matrix(big, 500);
    const Result rb = geev(b, big, false, true);
    ASSERT_EQ(rb.info, 0);
    expect_normalised(rb.vr, big, "order 500");
    const double rbig = residual(b, big, rb.w, rb.vr, false);
    EXPECT_LT(rbig, 10.0);
    std::printf("pde225 residual %.3f, order 500 residual %.3f (units of ||A|| N eps)\n", worst,
                rbig);
}

TEST(Zgeev, KnownSpectraComeBackExactlyOrAccurately) {
    // Diagonal: balancing isolates every eigenvalue; W is the diagonal and every
    // vector a unit coordinate vector with the component exactly 1.
    const int n = 9;
    std::vector<zcomplex> d(n * n, zcomplex{0, 0});
    qivtest::Rng rng(3);
    for (int i = 0; i < n; ++i) d[i + i * n] = rng.z();
    Result r = geev(d, n, true, true);
    ASSERT_EQ(r.info, 0);
    for (int j = 0; j < n; ++j) {
        EXPECT_TRUE(same_bits(r.w[j], d[j + j * n])) << j;
        for (int i = 0; i < n; ++i) {
            const double want = i == j ? 1.0 : 0.0;
            EXPECT_EQ(r.vr[i + j * n].re, want);
            EXPECT_EQ(r.vl[i + j * n].re, want);
            EXPECT_EQ(r.vr[i + j * n].im, 0.0);
        }
    }
    // A permuted upper triangular matrix: the eigenvalues are its diagonal,
    // bit for bit (as a set), found by permutations alone.
    const int m = 12;
    std::vector<zcomplex> t(m * m, zcomplex{0, 0}), p(m * m);
    for (int j = 0; j < m; ++j)
        for (int i = 0; i <= j; ++i) t[i + j * m] = rng.z();
    std::vector<int> perm(m);
    for (int i = 0; i < m; ++i) perm[i] = (i * 5 + 3) % m;
    for (int j = 0; j < m; ++j)
        for (int i = 0; i < m; ++i) p[perm[i] + perm[j] * m] = t[i + j * m];
    r = geev(p, m, false, true);
    ASSERT_EQ(r.info, 0);
    for (int i = 0; i < m; ++i) {
        const zcomplex want = t[i + i * m];
        EXPECT_TRUE(
            std::any_of(r.w.begin(), r.w.end(), [&](zcomplex z) { return same_bits(z, want); }))
            << "diagonal entry " << i << " missing";
    }
    EXPECT_LT(residual(p, m, r.w, r.vr, false), 10.0);
}

TEST(Zgeev, PrescribedSpectraThroughTheWholeDriver) {
    double worst = 0.0;
    for (auto kind : {eigtest::Spectrum::distinct, eigtest::Spectrum::clustered,
                      eigtest::Spectrum::repeated, eigtest::Spectrum::graded}) {
        for (int n : {40, 120}) {
            const auto eig = eigtest::make_spectrum(kind, n, 60 + n);
            for (const eigtest::Known& k :
                 {eigtest::normal_with_spectrum(eig, n), eigtest::similar_with_spectrum(eig, n)}) {
                const Result r = geev(k.a.a, n, false, false);
                ASSERT_EQ(r.info, 0);
                const double err =
                    eigtest::eigenvalue_error(r.w, k.eig, hhtest::norm1(k.a), k.cond);
                EXPECT_LT(err, 10.0) << "order " << n;
                worst = std::max(worst, err);
            }
        }
    }
    std::printf("largest eigenvalue error over N eps ||A|| cond: %.3f\n", worst);
}

TEST(Zgeev, TinyAndHugeMatricesAreScaledIntoRange) {
    const int n = 30;
    const std::vector<zcomplex> a = random_matrix(n, 42);
    const Result ref = geev(a, n, false, true);
    ASSERT_EQ(ref.info, 0);
    for (double s : {1e-300, 1e300}) {
        std::vector<zcomplex> b(a);
        for (auto& x : b) x = qiv::scale(s, x);
        const Result r = geev(b, n, false, true);
        ASSERT_EQ(r.info, 0) << s;
        for (int j = 0; j < n; ++j) {
            // The same spectrum, scaled: compare each eigenvalue with the nearest.
            double nearest = HUGE_VAL;
            for (int k = 0; k < n; ++k) {
                const zcomplex d = qiv::scale(1.0 / s, r.w[j]) - ref.w[k];
                nearest = std::min(nearest, qiv::DCABS1(&d));
            }
            EXPECT_LT(nearest, 1e3 * n * kEps * norm1(a, n)) << s << " eigenvalue " << j;
            EXPECT_TRUE(std::isfinite(r.w[j].re) && std::isfinite(r.w[j].im));
        }
        expect_normalised(r.vr, n, "scaled");
    }
}

TEST(Zgeev, PathsAgree) {
    for (int n : {5, 90}) {
        const std::vector<zcomplex> a = random_matrix(n, 900 + n);
        const Result right = geev(a, n, false, true);
        const Result both = geev(a, n, true, true);
        const Result none = geev(a, n, false, false);
        const Result minimal = geev(a, n, true, true, 2 * n);
        // Both kinds of vectors: the same eigenvalues and right vectors, bit for bit.
        for (int k = 0; k < n; ++k) EXPECT_TRUE(same_bits(right.w[k], both.w[k])) << k;
        EXPECT_EQ(qivtest::first_difference(right.vr.data(), both.vr.data(), right.vr.size()), -1);
        // Eigenvalues alone, and the minimum workspace: the same to rounding.
        for (int k = 0; k < n; ++k) {
            zcomplex d = none.w[k] - right.w[k];
            EXPECT_LT(qiv::DCABS1(&d), 1e3 * n * kEps * norm1(a, n)) << k;
            d = minimal.w[k] - both.w[k];
            EXPECT_LT(qiv::DCABS1(&d), 1e3 * n * kEps * norm1(a, n)) << k;
        }
        for (std::size_t k = 0; k < both.vr.size(); ++k) {
            zcomplex d = minimal.vr[k] - both.vr[k];
            EXPECT_LT(qiv::DCABS1(&d), 1e6 * kEps) << k;
            d = minimal.vl[k] - both.vl[k];
            EXPECT_LT(qiv::DCABS1(&d), 1e6 * kEps) << k;
        }
    }
}

TEST(Zgeev, QueryAndEmptyMatrixTouchOnlyWhatTheyReport) {
    const int n = 20, ld = 20;
    std::vector<zcomplex> a = random_matrix(n, 5), a0 = a, w(n, qivtest::sentinel(1)),
                          vl(n * n, qivtest::sentinel(2)), vr(n * n, qivtest::sentinel(3)),
                          work(8, qivtest::sentinel(4));
    std::vector<double> rwork(2 * n, -7.0);
    int lwork = -1, info = -99;
    qiv::ZGEEV("V", "V", &n, a.data(), &ld, w.data(), vl.data(), &ld, vr.data(), &ld, work.data(),
               &lwork, rwork.data(), &info);
    EXPECT_EQ(info, 0);
    EXPECT_GE(work[0].re, 130.0 * n);
    EXPECT_EQ(qivtest::first_difference(a.data(), a0.data(), a.size()), -1);
    for (int k = 1; k < 8; ++k) EXPECT_TRUE(same_bits(work[k], qivtest::sentinel(4)));
    for (int k = 1; k < 2 * n; ++k) EXPECT_EQ(rwork[k], -7.0);
    for (int k = 0; k < n * n; ++k)
        ASSERT_TRUE(same_bits(vl[k], qivtest::sentinel(2)) &&
                    same_bits(vr[k], qivtest::sentinel(3)));
    for (int k = 0; k < n; ++k) ASSERT_TRUE(same_bits(w[k], qivtest::sentinel(1)));

    const int zero = 0, one = 1;
    lwork = 1;
    qiv::ZGEEV("V", "V", &zero, a.data(), &one, w.data(), vl.data(), &one, vr.data(), &one,
               work.data(), &lwork, rwork.data(), &info);
    EXPECT_EQ(info, 0);
    EXPECT_EQ(work[0].re, 1.0);
    EXPECT_TRUE(same_bits(w[0], qivtest::sentinel(1)));
}

// The export, as a host loading the module by name sees it.
class ZgeevExport : public ::testing::Test {
   protected:
    using Fn = void (*)(const char*, const char*, const int*, zcomplex*, const int*, zcomplex*,
                        zcomplex*, const int*, zcomplex*, const int*, zcomplex*, const int*,
                        double*, int*);
    using FnLen = void (*)(const char*, const char*, const int*, zcomplex*, const int*, zcomplex*,
                           zcomplex*, const int*, zcomplex*, const int*, zcomplex*, const int*,
                           double*, int*, qiv::charlen, qiv::charlen);
    void SetUp() override {
        handle_ = dlopen(QIV_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
        // The same symbol seen through both prototypes a host may use.
        fn_ = reinterpret_cast<Fn>(dlsym(handle_, "qivlapackdll2_zgeev"));
        fn_len_ = reinterpret_cast<FnLen>(dlsym(handle_, "qivlapackdll2_zgeev"));
        ASSERT_NE(fn_, nullptr);
    }
    void TearDown() override {
        if (handle_) dlclose(handle_);
    }
    void* handle_ = nullptr;
    Fn fn_ = nullptr;
    FnLen fn_len_ = nullptr;
};

TEST_F(ZgeevExport, SameBitsWithAndWithoutTrailingLengthsAndAsTheRoutine) {
    const int n = 80, ld = 80, lwork = 130 * n;
    const std::vector<zcomplex> a0 = random_matrix(n, 77);
    struct Out {
        std::vector<zcomplex> a, w, vl, vr, work;
        std::vector<double> rwork;
        int info = -99;
    };
    auto fresh = [&] {
        return Out{a0,
                   std::vector<zcomplex>(n),
                   std::vector<zcomplex>(n * n),
                   std::vector<zcomplex>(n * n),
                   std::vector<zcomplex>(lwork),
                   std::vector<double>(2 * n),
                   -99};
    };
    Out x = fresh(), y = fresh(), z = fresh();
    fn_("Vectors", "v", &n, x.a.data(), &ld, x.w.data(), x.vl.data(), &ld, x.vr.data(), &ld,
        x.work.data(), &lwork, x.rwork.data(), &x.info);
    fn_len_("Vectors", "v", &n, y.a.data(), &ld, y.w.data(), y.vl.data(), &ld, y.vr.data(), &ld,
            y.work.data(), &lwork, y.rwork.data(), &y.info, 7, 1);
    qiv::ZGEEV("V", "V", &n, z.a.data(), &ld, z.w.data(), z.vl.data(), &ld, z.vr.data(), &ld,
               z.work.data(), &lwork, z.rwork.data(), &z.info);
    EXPECT_EQ(x.info, 0);
    for (const Out* o : {&y, &z}) {
        EXPECT_EQ(o->info, x.info);
        EXPECT_EQ(qivtest::first_difference(o->w.data(), x.w.data(), n), -1);
        EXPECT_EQ(qivtest::first_difference(o->vl.data(), x.vl.data(), n * n), -1);
        EXPECT_EQ(qivtest::first_difference(o->vr.data(), x.vr.data(), n * n), -1);
    }
}

TEST_F(ZgeevExport, BadInputIsReportedInCheckOrder) {
    std::vector<zcomplex> a(64, zcomplex{1, 0}), w(8), v(64), work(64);
    std::vector<double> rwork(16);
    int info = 0;
    // Call with JOBVL, JOBVR, N, LDA, LDVL, LDVR, LWORK; every case makes the
    // named argument illegal and possibly later ones too.
    auto call = [&](const char* jl, const char* jr, int n, int lda, int ldvl, int ldvr, int lwork) {
        fn_(jl, jr, &n, a.data(), &lda, w.data(), v.data(), &ldvl, v.data(), &ldvr, work.data(),
            &lwork, rwork.data(), &info);
    };
    EXPECT_ILLEGAL("ZGEEV", 1, call("X", "Q", -1, 0, 0, 0, 0));
    EXPECT_ILLEGAL("ZGEEV", 2, call("n", "Q", -1, 0, 0, 0, 0));
    EXPECT_ILLEGAL("ZGEEV", 3, call("V", "V", -1, 0, 0, 0, 0));
    EXPECT_ILLEGAL("ZGEEV", 5, call("V", "V", 5, 4, 4, 4, 1));
    EXPECT_ILLEGAL("ZGEEV", 8, call("V", "N", 5, 5, 1, 0, 1));
    EXPECT_ILLEGAL("ZGEEV", 10, call("N", "V", 5, 5, 1, 4, 1));
    EXPECT_ILLEGAL("ZGEEV", 12, call("N", "N", 5, 5, 1, 1, 9));
    // Legal: LDVL = 1 when no left vectors are asked for, LWORK = -1 below 2N.
    call("N", "V", 5, 5, 1, 5, -1);
    EXPECT_EQ(info, 0);
    // A NaN in the matrix ends with the balancing report.
    a.assign(64, zcomplex{0.5, 0});
    a[9] = zcomplex{std::nan(""), 0};
    EXPECT_ILLEGAL("ZGEBAL", 3, call("N", "V", 5, 5, 1, 5, 20));
}

}  // namespace
