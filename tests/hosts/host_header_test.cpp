// The C++ host header include/qivlapackdll2.hpp: loading and binding, results
// identical to the raw exports, INFO in words, and every kind of illegal
// argument stopped with std::invalid_argument naming it, so that the module's
// report line (which ends the process) never appears. Each illegal call runs
// in a child process whose output and way of ending are checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "qivlapackdll2.hpp"
#include "support/child.h"

namespace {

namespace q = qivlapackdll2;
using q::zcomplex;

const q::Module& lib() {
    static const q::Module module(QIV_MODULE_PATH);
    return module;
}

q::Matrix random_matrix(int rows, int cols, unsigned seed) {
    std::mt19937_64 gen(seed);
    std::uniform_real_distribution<double> d(-1.0, 1.0);
    q::Matrix a(rows, cols);
    for (int j = 0; j < cols; ++j)
        for (int i = 0; i < rows; ++i) a(i, j) = zcomplex(d(gen), d(gen));
    return a;
}

bool same_bits(const zcomplex* x, const zcomplex* y, std::size_t n) {
    return std::memcmp(x, y, n * sizeof(zcomplex)) == 0;
}

TEST(HostHeader, LoadsByPathBindsAndRefusesWhatIsNotThere) {
    EXPECT_NO_THROW(lib().test_entry());
    EXPECT_EQ(q::Module::export_names().size(), 4u);
    EXPECT_NE(lib().path().find("qivlapackdll2"), std::string::npos);
    EXPECT_THROW(q::Module("/nonexistent/libqivlapackdll2.so"), q::LoadError);
    // A library that loads but lacks the exports cannot be bound.
    EXPECT_THROW(q::Module("libz.so.1"), q::LoadError);
}

TEST(HostHeader, ResultsAreTheRawExportsBitForBit) {
    const auto raw = lib().raw();
    // LU of a wide, a tall and a blocked square matrix, with a leading
    // dimension larger than the rows: the view is passed as it is.
    for (auto [m, n, ld] : {std::tuple{5, 8, 7}, std::tuple{9, 4, 9}, std::tuple{70, 70, 75}}) {
        q::Matrix buf = random_matrix(ld, n, static_cast<unsigned>(m * n));
        q::Matrix copy = buf;
        const q::LuResult r = lib().getrf(q::MatrixView{buf.data(), m, n, ld});
        std::vector<int> ipiv(static_cast<std::size_t>(std::min(m, n)));
        int info = -1;
        raw.zgetrf(&m, &n, reinterpret_cast<qivlapackdll2_complex*>(copy.data()), &ld, ipiv.data(),
                   &info);
        EXPECT_EQ(r.info, info);
        EXPECT_EQ(r.ipiv, ipiv);
        EXPECT_TRUE(same_bits(buf.data(), copy.data(), static_cast<std::size_t>(ld) * n));
    }
    // A solve through a block of a larger matrix.
    q::Matrix big = random_matrix(12, 12, 5), rhs = random_matrix(12, 3, 6);
    q::Matrix big2 = big, rhs2 = rhs;
    const q::SolveResult s = lib().gesv(big.view().block(1, 2, 8, 8), rhs.view().block(2, 0, 8, 2));
    int n = 8, nrhs = 2, ld = 12, info = -1;
    std::vector<int> ipiv(8);
    raw.zgesv(&n, &nrhs, reinterpret_cast<qivlapackdll2_complex*>(&big2(1, 2)), &ld, ipiv.data(),
              reinterpret_cast<qivlapackdll2_complex*>(&rhs2(2, 0)), &ld, &info);
    EXPECT_EQ(s.info, 0);
    EXPECT_EQ(s.ipiv, ipiv);
    EXPECT_TRUE(same_bits(big.data(), big2.data(), 144));
    EXPECT_TRUE(same_bits(rhs.data(), rhs2.data(), 36));
}

TEST(HostHeader, InfoIsExplainedWithTheZeroPivotColumn) {
    q::Matrix a = random_matrix(6, 6, 9);
    for (int i = 0; i < 6; ++i) a(i, 3) = 0.0;
    q::Matrix b(6, 1, 1.0);
    const q::Matrix b0 = b;
    q::Matrix lu_copy = a;
    const q::LuResult lu = lib().getrf(lu_copy.view());
    EXPECT_TRUE(lu.singular());
    EXPECT_EQ(lu.zero_pivot_column(), 4);
    EXPECT_NE(lu.explanation.find("column 4"), std::string::npos) << lu.explanation;
    const q::SolveResult s = lib().gesv(a.view(), b.view());
    EXPECT_FALSE(s.solved());
    EXPECT_EQ(s.zero_pivot_column(), 4);
    EXPECT_NE(s.explanation.find("U(4,4) is exactly zero"), std::string::npos) << s.explanation;
    EXPECT_TRUE(same_bits(b.data(), b0.data(), 6));  // B is left as it was
    q::Matrix ok = random_matrix(4, 4, 10), rhs(4, 1, 1.0);
    EXPECT_EQ(lib().gesv(ok.view(), rhs.view()).explanation, "solved: every pivot is nonzero");
}

TEST(HostHeader, EigenvaluesAndVectorsWithExplainedInfo) {
    const int n = 30;
    const q::Matrix a0 = random_matrix(n, n, 11);
    q::Matrix a = a0;
    const q::EigResult r = lib().eig(a.view(), q::Vectors::both);
    ASSERT_EQ(r.info, 0) << r.explanation;
    EXPECT_EQ(r.explanation, "all eigenvalues converged");
    EXPECT_GE(r.lwork, 2 * n);
    double worst = 0.0, anorm = 0.0;
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) anorm = std::max(anorm, std::abs(a0(i, j)));
    for (int k = 0; k < n; ++k)
        for (int i = 0; i < n; ++i) {
            zcomplex av(0.0, 0.0), ua(0.0, 0.0);
            for (int l = 0; l < n; ++l) {
                av += a0(i, l) * r.vr(l, k);
                ua += std::conj(r.vl(l, k)) * a0(l, i);
            }
            worst = std::max(worst, std::abs(av - r.w[static_cast<std::size_t>(k)] * r.vr(i, k)));
            worst = std::max(
                worst, std::abs(ua - r.w[static_cast<std::size_t>(k)] * std::conj(r.vl(i, k))));
        }
    EXPECT_LT(worst, 50 * n * anorm * std::numeric_limits<double>::epsilon());
    // The same call through the raw export gives the same bits.
    q::Matrix a2 = a0, vl(n, n), vr(n, n), w(n, 1);
    std::vector<zcomplex> work(static_cast<std::size_t>(r.lwork));
    std::vector<double> rwork(2 * n);
    int nn = n, lw = r.lwork, info = -1;
    auto c = [](zcomplex* z) { return reinterpret_cast<qivlapackdll2_complex*>(z); };
    lib().raw().zgeev("V", "V", &nn, c(a2.data()), &nn, c(w.data()), c(vl.data()), &nn,
                      c(vr.data()), &nn, c(work.data()), &lw, rwork.data(), &info);
    EXPECT_EQ(info, 0);
    EXPECT_TRUE(same_bits(r.w.data(), w.data(), n));
    EXPECT_TRUE(same_bits(r.vl.data(), vl.data(), static_cast<std::size_t>(n) * n));
    EXPECT_TRUE(same_bits(r.vr.data(), vr.data(), static_cast<std::size_t>(n) * n));
}

// Runs body in a child; it must throw IllegalArgument naming argument, and
// the child must print nothing else and return normally (status 77 from the
// child runner), so no report line ended it.
void expect_refused(const std::string& argument, const std::function<void()>& body) {
    const qivtest::ChildResult r = qivtest::run_in_child([&] {
        try {
            body();
            std::printf("returned\n");
        } catch (const q::IllegalArgument& e) {
            const std::invalid_argument& base = e;  // what a host catches
            std::printf("refused %s: %s\n", e.argument().c_str(), base.what());
        }
    });
    EXPECT_TRUE(r.exited);
    EXPECT_EQ(r.status, 77) << "the child did not return: " << r.out;
    EXPECT_EQ(r.out.rfind("refused " + argument + ": ", 0), 0u) << r.out;
    EXPECT_EQ(r.out.find("On entry to"), std::string::npos) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
}

TEST(HostHeader, EveryIllegalArgumentIsRefusedBeforeTheModuleSeesIt) {
    q::Matrix a = random_matrix(4, 4, 12), b = random_matrix(4, 2, 13), v(4, 4);
    q::Matrix wide = random_matrix(3, 5, 14);
    const q::MatrixView A = a.view(), B = b.view();
    auto with = [](q::MatrixView m, int rows, int cols, int ld) {
        return q::MatrixView{m.data, rows, cols, ld};
    };

    // LU
    expect_refused("M", [&] { lib().getrf(with(A, -1, 4, 4)); });
    expect_refused("N", [&] { lib().getrf(with(A, 4, -3, 4)); });
    expect_refused("A", [&] { lib().getrf(q::MatrixView{nullptr, 2, 2, 2}); });
    expect_refused("LDA", [&] { lib().getrf(with(A, 4, 4, 3)); });
    expect_refused("LDA", [&] { lib().getrf(with(A, 0, 4, 0)); });
    // Solve
    expect_refused("N", [&] { lib().gesv(with(A, -2, -2, 4), B); });
    expect_refused("A", [&] { lib().gesv(wide.view(), B); });
    expect_refused("NRHS", [&] { lib().gesv(A, with(B, 4, -1, 4)); });
    expect_refused("LDA", [&] { lib().gesv(with(A, 4, 4, 2), B); });
    expect_refused("B", [&] { lib().gesv(A, with(B, 3, 2, 4)); });
    expect_refused("B", [&] { lib().gesv(A, q::MatrixView{nullptr, 4, 1, 4}); });
    expect_refused("LDB", [&] { lib().gesv(A, with(B, 4, 2, 1)); });
    expect_refused("LDB", [&] { lib().gesv(with(A, 0, 0, 1), q::MatrixView{B.data, 0, 1, 0}); });
    // Eigenvalues
    const q::MatrixView V = v.view(), none{};
    expect_refused("JOBVL", [&] { lib().geev("X", "N", A, none, none); });
    expect_refused("JOBVL", [&] { lib().geev(nullptr, "N", A, none, none); });
    expect_refused("JOBVR", [&] { lib().geev("n", "", A, none, none); });
    expect_refused("N", [&] { lib().geev("N", "N", with(A, -1, -1, 4), none, none); });
    expect_refused("A", [&] { lib().geev("N", "N", wide.view(), none, none); });
    expect_refused("LDA", [&] { lib().geev("N", "N", with(A, 4, 4, 3), none, none); });
    expect_refused("LDVL", [&] { lib().geev("V", "N", A, with(V, 4, 4, 3), none); });
    expect_refused("LDVL", [&] { lib().geev("N", "N", A, with(V, 4, 4, 0), none); });
    expect_refused("VL", [&] { lib().geev("v", "N", A, with(V, 4, 3, 4), none); });
    expect_refused("VL", [&] { lib().geev("V", "N", A, q::MatrixView{nullptr, 4, 4, 4}, none); });
    expect_refused("LDVR", [&] { lib().geev("N", "V", A, none, with(V, 4, 4, 2)); });
    expect_refused("VR", [&] { lib().geev("N", "V", A, none, with(V, 2, 4, 4)); });
    expect_refused("LWORK", [&] { lib().geev("N", "V", A, none, V, 7); });
    expect_refused("N", [&] { lib().geev_optimal_lwork("N", "N", -5); });
    // A NaN or an infinity would end the process in the balancing step.
    for (double bad : {std::nan(""), std::numeric_limits<double>::infinity()}) {
        q::Matrix poisoned = a;
        poisoned(2, 1) = zcomplex(1.0, bad);
        expect_refused("A", [&] { lib().geev("N", "N", poisoned.view(), none, none); });
        expect_refused("A", [&] { lib().eig(poisoned.view()); });
    }
}

TEST(HostHeader, TheSameCallsThroughTheRawExportsDoEndTheProcess) {
    // The control for the test above: what the header refuses, the module
    // reports on standard output and then ends the process with status 0.
    const auto raw = lib().raw();
    zcomplex a[16] = {}, w[4] = {}, work[16] = {};
    double rwork[8];
    int ipiv[4], info = 0;
    const int m = -1, n = 4, lda = 3, one = 1;
    EXPECT_ILLEGAL(
        "ZGETRF", 1,
        raw.zgetrf(&m, &n, reinterpret_cast<qivlapackdll2_complex*>(a), &n, ipiv, &info));
    EXPECT_ILLEGAL("ZGESV", 4,
                   raw.zgesv(&n, &one, reinterpret_cast<qivlapackdll2_complex*>(a), &lda, ipiv,
                             reinterpret_cast<qivlapackdll2_complex*>(a), &n, &info));
    auto c = [](zcomplex* z) { return reinterpret_cast<qivlapackdll2_complex*>(z); };
    const int lwork = 7;
    EXPECT_ILLEGAL("ZGEEV", 12,
                   raw.zgeev("N", "V", &n, c(a), &n, c(w), c(a), &one, c(a), &n, c(work), &lwork,
                             rwork, &info));
}

}  // namespace
