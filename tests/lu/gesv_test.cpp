#include <dlfcn.h>
#include <gtest/gtest.h>

#include <vector>

#include "frame/complex.h"
#include "lu/lu.h"
#include "lu/lu_support.h"
#include "qivlapackdll2.h"
#include "support/child.h"
#include "support/matrix.h"

namespace {

using qiv::zcomplex;

std::vector<zcomplex> random_matrix(int m, int n, int ld, std::uint64_t seed) {
    std::vector<zcomplex> a(static_cast<std::size_t>(ld) * std::max(n, 1));
    qivtest::Rng rng(seed);
    rng.fill(a.data(), m, n, ld);
    return a;
}

TEST(Gesv, WorkedExamples) {
    int n = 2, nrhs = 1, lda = 2, ldb = 2, info = -1;
    std::vector<int> ipiv(2);
    std::vector<zcomplex> a = {{0, 0}, {1, 0}, {1, 0}, {0, 0}}, b = {{3, 0}, {5, 0}};
    qiv::ZGESV(&n, &nrhs, a.data(), &lda, ipiv.data(), b.data(), &ldb, &info);
    EXPECT_EQ(info, 0);
    EXPECT_EQ(ipiv, (std::vector<int>{2, 2}));
    EXPECT_EQ(b[0].re, 5.0);
    EXPECT_EQ(b[1].re, 3.0);

    // Singular: INFO = 2, factors kept, B untouched.
    a = {{1, 0}, {2, 0}, {2, 0}, {4, 0}};
    b = {{7, 1}, {8, 2}};
    qiv::ZGESV(&n, &nrhs, a.data(), &lda, ipiv.data(), b.data(), &ldb, &info);
    EXPECT_EQ(info, 2);
    EXPECT_EQ(a[1].re, 0.5);
    EXPECT_EQ(b[0].re, 7.0);
    EXPECT_EQ(b[1].im, 2.0);

    // NRHS = 0 factors A and leaves B alone; N = 0 touches nothing.
    a = {{1, 0}, {2, 0}, {2, 0}, {4, 0}};
    nrhs = 0;
    qiv::ZGESV(&n, &nrhs, a.data(), &lda, ipiv.data(), b.data(), &ldb, &info);
    EXPECT_EQ(info, 2);
    EXPECT_EQ(a[0].re, 2.0);
    n = 0;
    nrhs = 1;
    ipiv = {-5, -5};
    qiv::ZGESV(&n, &nrhs, a.data(), &lda, ipiv.data(), b.data(), &ldb, &info);
    EXPECT_EQ(info, 0);
    EXPECT_EQ(ipiv[0], -5);
}

TEST(Getrs, ConjugateTransposeOfImaginaryUnit) {
    // Factors of [[i]] are itself; solving conj(i) x = 1 gives x = i.
    int n = 1, nrhs = 1, lda = 1, ldb = 1, info = -1;
    const std::vector<int> ipiv = {1};
    const zcomplex a{0, 1};
    zcomplex b{1, 0};
    qiv::ZGETRS("C", &n, &nrhs, &a, &lda, ipiv.data(), &b, &ldb, &info);
    EXPECT_EQ(info, 0);
    EXPECT_EQ(b.re, 0.0);
    EXPECT_EQ(b.im, 1.0);
    b = {1, 0};
    qiv::ZGETRS("t", &n, &nrhs, &a, &lda, ipiv.data(), &b, &ldb, &info);
    EXPECT_EQ(b.im, -1.0);  // i x = 1 gives x = -i
}

TEST(Getrs, ResidualForAllTransposesAndShapes) {
    for (int n : {1, 2, 3, 64, 65, 129, 200}) {
        for (int nrhs : {1, 5, 33}) {
            const int lda = n + 2, ldb = n + 1;
            const auto a = random_matrix(n, n, lda, n * 7 + nrhs);
            auto f = a;
            std::vector<int> ipiv(n);
            int info = -1;
            qiv::ZGETRF(&n, &n, f.data(), &lda, ipiv.data(), &info);
            ASSERT_EQ(info, 0);
            const auto b = random_matrix(n, nrhs, ldb, n * 11 + nrhs);
            for (const char* trans : {"N", "T", "C"}) {
                auto x = b;
                qiv::ZGETRS(trans, &n, &nrhs, f.data(), &lda, ipiv.data(), x.data(), &ldb, &info);
                EXPECT_EQ(info, 0);
                EXPECT_LT(qivtest::solve_residual(trans[0], a, n, lda, x, b, nrhs, ldb), 10.0)
                    << n << " " << nrhs << " " << trans;
            }
        }
    }
}

TEST(Solve, ArgumentChecks) {
    std::vector<zcomplex> a(16), b(16);
    std::vector<int> ipiv(4);
    int info = 0;
    auto gesv = [&](int n, int nrhs, int lda, int ldb) {
        qiv::ZGESV(&n, &nrhs, a.data(), &lda, ipiv.data(), b.data(), &ldb, &info);
    };
    auto getrs = [&](const char* t, int n, int nrhs, int lda, int ldb) {
        qiv::ZGETRS(t, &n, &nrhs, a.data(), &lda, ipiv.data(), b.data(), &ldb, &info);
    };
    EXPECT_ILLEGAL("ZGESV", 1, gesv(-1, 1, 1, 1));
    EXPECT_ILLEGAL("ZGESV", 2, gesv(1, -1, 1, 1));
    EXPECT_ILLEGAL("ZGESV", 4, gesv(3, 1, 2, 3));
    EXPECT_ILLEGAL("ZGESV", 7, gesv(3, 1, 3, 2));
    EXPECT_ILLEGAL("ZGESV", 7, gesv(0, 1, 1, 0));
    EXPECT_ILLEGAL("ZGETRS", 1, getrs("X", 1, 1, 1, 1));
    EXPECT_ILLEGAL("ZGETRS", 2, getrs("N", -1, 1, 1, 1));
    EXPECT_ILLEGAL("ZGETRS", 3, getrs("c", 1, -1, 1, 1));
    EXPECT_ILLEGAL("ZGETRS", 5, getrs("T", 2, 1, 1, 2));
    EXPECT_ILLEGAL("ZGETRS", 8, getrs("N", 2, 1, 2, 1));
}

// The exports of the built module, bound by name as a host binds them.
class Module : public ::testing::Test {
   protected:
    void SetUp() override {
        handle_ = dlopen(QIV_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
        getrf_ = reinterpret_cast<decltype(getrf_)>(dlsym(handle_, "qivlapackdll2_zgetrf"));
        gesv_ = reinterpret_cast<decltype(gesv_)>(dlsym(handle_, "qivlapackdll2_zgesv"));
        test_ =
            reinterpret_cast<decltype(test_)>(dlsym(handle_, "qivcppdlltemplate_exportedtestfn"));
        ASSERT_TRUE(getrf_ && gesv_ && test_);
    }
    void TearDown() override {
        if (handle_) dlclose(handle_);
    }
    void* handle_ = nullptr;
    decltype(&qivlapackdll2_zgetrf) getrf_ = nullptr;
    decltype(&qivlapackdll2_zgesv) gesv_ = nullptr;
    decltype(&qivcppdlltemplate_exportedtestfn) test_ = nullptr;
};

TEST_F(Module, ExportsEqualDirectCallsBitForBit) {
    test_();
    for (int n : {5, 64, 130}) {
        const int lda = n + 3, ldb = n + 2, nrhs = 3;
        qivtest::Padded a1(n, n, lda, n), b1(n, nrhs, ldb, n + 1);
        qivtest::Padded a2(n, n, lda, n), b2(n, nrhs, ldb, n + 1);
        std::vector<int> p1(n), p2(n);
        int i1 = -1, i2 = -1;
        qiv::ZGESV(&n, &nrhs, a1.data(), &lda, p1.data(), b1.data(), &ldb, &i1);
        gesv_(&n, &nrhs, reinterpret_cast<qivlapackdll2_complex*>(a2.data()), &lda, p2.data(),
              reinterpret_cast<qivlapackdll2_complex*>(b2.data()), &ldb, &i2);
        EXPECT_EQ(i1, i2);
        EXPECT_EQ(p1, p2);
        EXPECT_EQ(
            qivtest::first_difference(a1.block().data(), a2.block().data(), a1.block().size()), -1);
        EXPECT_EQ(
            qivtest::first_difference(b1.block().data(), b2.block().data(), b1.block().size()), -1);
        EXPECT_TRUE(a2.sentinels_intact());
        EXPECT_TRUE(b2.sentinels_intact());

        const int m = n + 7;
        qivtest::Padded c1(m, n, m + 1, 3 * n), c2(m, n, m + 1, 3 * n);
        const int ldc = m + 1;
        qiv::ZGETRF(&m, &n, c1.data(), &ldc, p1.data(), &i1);
        getrf_(&m, &n, reinterpret_cast<qivlapackdll2_complex*>(c2.data()), &ldc, p2.data(), &i2);
        EXPECT_EQ(i1, i2);
        EXPECT_EQ(p1, p2);
        EXPECT_EQ(
            qivtest::first_difference(c1.block().data(), c2.block().data(), c1.block().size()), -1);
        EXPECT_TRUE(c2.sentinels_intact());
    }
}

TEST_F(Module, IllegalArgumentsReportedAsAHostSeesThem) {
    std::vector<qivlapackdll2_complex> a(16), b(16);
    std::vector<int> ipiv(4);
    int info = 0;
    const int neg = -1, one = 1, two = 2, three = 3, zero = 0;
    EXPECT_ILLEGAL("ZGETRF", 1, getrf_(&neg, &one, a.data(), &one, ipiv.data(), &info));
    EXPECT_ILLEGAL("ZGETRF", 2, getrf_(&one, &neg, a.data(), &one, ipiv.data(), &info));
    EXPECT_ILLEGAL("ZGETRF", 4, getrf_(&three, &one, a.data(), &two, ipiv.data(), &info));
    EXPECT_ILLEGAL("ZGESV", 1,
                   gesv_(&neg, &one, a.data(), &one, ipiv.data(), b.data(), &one, &info));
    EXPECT_ILLEGAL("ZGESV", 2,
                   gesv_(&one, &neg, a.data(), &one, ipiv.data(), b.data(), &one, &info));
    EXPECT_ILLEGAL("ZGESV", 4,
                   gesv_(&two, &one, a.data(), &one, ipiv.data(), b.data(), &two, &info));
    EXPECT_ILLEGAL("ZGESV", 7,
                   gesv_(&zero, &one, a.data(), &one, ipiv.data(), b.data(), &zero, &info));
}

}  // namespace
