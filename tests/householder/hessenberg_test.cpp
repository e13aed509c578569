// Hessenberg reduction (ZGEHRD, ZGEHD2, ZLAHR2) checked through the unitary
// factor that ZUNGHR forms from it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "frame/complex.h"
#include "householder/householder.h"
#include "support/child.h"
#include "support/hb_reader.h"
#include "support/hh_support.h"
#include "support/matrix.h"

namespace {

using hhtest::kEps;
using hhtest::Mat;
using qiv::zcomplex;
using qivtest::same_bits;

const double qnan = std::numeric_limits<double>::quiet_NaN();

int optimal_gehrd(int n) { return n * 32 + 4160; }

struct Reduced {
    Mat a;
    std::vector<zcomplex> tau;
    zcomplex work1{-1, -1};
    int info = -99;
};

// ZGEHRD with lwork elements of workspace (ZGEHD2 when unblocked is set).
Reduced reduce(const Mat& a0, int ilo, int ihi, int lwork, bool unblocked = false) {
    Reduced r;
    r.a = a0;
    const int n = a0.n;
    r.tau.assign(static_cast<std::size_t>(std::max(1, n - 1)), zcomplex{qnan, 5.0});
    std::vector<zcomplex> work(static_cast<std::size_t>(std::max(1, lwork)), zcomplex{qnan, qnan});
    if (unblocked)
        qiv::ZGEHD2(&n, &ilo, &ihi, r.a.data(), &r.a.ld, r.tau.data(), work.data(), &r.info);
    else
        qiv::ZGEHRD(&n, &ilo, &ihi, r.a.data(), &r.a.ld, r.tau.data(), work.data(), &lwork,
                    &r.info);
    r.work1 = work[0];
    return r;
}

// Q from the reduction, with ZUNGHR and the given workspace (0: optimal).
Mat form_q(const Reduced& r, int ilo, int ihi, int lwork = 0) {
    Mat q = r.a;
    const int n = q.n;
    if (lwork == 0) lwork = std::max(1, ihi - ilo) * 32;
    std::vector<zcomplex> work(static_cast<std::size_t>(lwork));
    int info = -99;
    qiv::ZUNGHR(&n, &ilo, &ihi, q.data(), &q.ld, r.tau.data(), work.data(), &lwork, &info);
    EXPECT_EQ(info, 0);
    return q;
}

// Bitwise equality of A and of TAU(first..last) (all of TAU by default).
bool same_reduction(const Reduced& x, const Reduced& y, int first = 1, int last = -1) {
    if (!hhtest::same_block(x.a, y.a)) return false;
    if (last < 0) last = static_cast<int>(x.tau.size());
    for (int i = first; i <= last; ++i)
        if (!same_bits(x.tau[i - 1], y.tau[i - 1])) return false;
    return true;
}

// Q^H*A*Q = H, Q unitary, the parts outside the active block untouched.
// Returns Q.
Mat check_reduction(const Mat& a0, int ilo, int ihi, const Reduced& r, const std::string& what) {
    const int n = a0.n;
    EXPECT_EQ(r.info, 0) << what;
    const Mat h = hhtest::hessenberg_part(r.a);
    const Mat q = form_q(r, ilo, ihi);
    const Mat qaq = hhtest::mul(hhtest::mul(q, 'C', a0, 'N'), 'N', q, 'N');
    const double anorm = std::max(hhtest::norm1(a0), 1e-300);
    EXPECT_LT(hhtest::diff_norm1(qaq, h) / (anorm * n * kEps), 10.0) << what;
    EXPECT_LT(hhtest::unitarity(q), 10.0) << what;
    int changed_outside = 0, q_not_identity = 0, tau_not_zero = 0;
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) {
            if ((i > ihi || j < ilo) && !same_bits(r.a(i, j), a0(i, j))) ++changed_outside;
            // Q is the identity outside rows and columns ILO+1..IHI.
            const bool inside = i > ilo && i <= ihi && j > ilo && j <= ihi;
            if (!inside && !same_bits(q(i, j), zcomplex{i == j ? 1.0 : 0.0, 0.0})) ++q_not_identity;
        }
    for (int i = 1; i <= n - 1; ++i)
        if ((i < ilo || i >= std::max(1, ihi)) && !same_bits(r.tau[i - 1], zcomplex{0.0, 0.0}))
            ++tau_not_zero;
    EXPECT_EQ(changed_outside, 0) << what;
    EXPECT_EQ(q_not_identity, 0) << what;
    EXPECT_EQ(tau_not_zero, 0) << what;
    return q;
}

TEST(Zgehrd, ReducesAndZunghrFormsQ) {
    // (N, ILO, IHI): small cases, the crossover at an active part of 128/129/130
    // rows, three blocked panels for NH = 200, and a large one.
    const int cases[][3] = {{1, 1, 1},     {2, 1, 2},      {3, 1, 3},     {5, 2, 4},
                            {6, 3, 3},     {10, 1, 10},    {17, 1, 17},   {40, 5, 33},
                            {64, 1, 64},   {128, 1, 128},  {131, 2, 130}, {133, 3, 131},
                            {140, 1, 140}, {230, 11, 210}, {300, 1, 300}};
    for (const auto& c : cases) {
        const int n = c[0], ilo = c[1], ihi = c[2];
        const std::string what = "N=" + std::to_string(n) + " ILO=" + std::to_string(ilo) +
                                 " IHI=" + std::to_string(ihi);
        const Mat a0 = hhtest::hessenberg_input(n, ilo, ihi, 1000 + n + ilo);
        const Reduced blocked = reduce(a0, ilo, ihi, optimal_gehrd(n));
        const Mat qb = check_reduction(a0, ilo, ihi, blocked, what + " blocked");
        EXPECT_EQ(blocked.work1.re, ihi - ilo + 1 <= 1 ? 1.0 : optimal_gehrd(n)) << what;
        EXPECT_EQ(blocked.work1.im, 0.0);

        // The minimum workspace sends everything to the unblocked code: the
        // same H and the same Q to rounding. (For the large orders the
        // comparison with the checked blocked result stands in for a full
        // check of its own, to keep the test fast.)
        const Reduced unblocked = reduce(a0, ilo, ihi, n);
        const Mat qu = n <= 150 ? check_reduction(a0, ilo, ihi, unblocked, what + " unblocked")
                                : form_q(unblocked, ilo, ihi);
        const double anorm = std::max(hhtest::norm1(a0), 1e-300);
        EXPECT_LT(hhtest::diff_norm1(hhtest::hessenberg_part(blocked.a),
                                     hhtest::hessenberg_part(unblocked.a)) /
                      (anorm * n * kEps),
                  10.0)
            << what;
        // Q's forward error grows along the reduction (its later columns are
        // more sensitive than H), hence the wider margin.
        EXPECT_LT(hhtest::diff_norm1(qb, qu) / (n * kEps), 1000.0) << what;
        // ZGEHD2 itself gives the minimum-workspace result bit for bit (it
        // leaves TAU outside ILO..IHI-1 alone).
        EXPECT_TRUE(same_reduction(unblocked, reduce(a0, ilo, ihi, n, true), ilo, ihi - 1)) << what;
        // Active parts of at most 129 rows never reach the blocked loop.
        EXPECT_EQ(same_reduction(blocked, unblocked), ihi - ilo + 1 <= 129) << what;
    }
}

TEST(Zgehrd, ShortWorkspaceShrinksTheBlock) {
    const int n = 150;
    const Mat a0 = hhtest::hessenberg_input(n, 1, n, 77);
    const Reduced unblocked = reduce(a0, 1, n, n);
    // Below N*NBMIN + 4160 the block size would be 1: unblocked, bit for bit.
    EXPECT_TRUE(same_reduction(reduce(a0, 1, n, n * 2 + 4160 - 1), unblocked));
    // From there on blocks of (LWORK - 4160)/N columns.
    for (int lwork : {n * 2 + 4160, n * 7 + 4160 + 5, n * 16 + 4160}) {
        const Reduced r = reduce(a0, 1, n, lwork);
        EXPECT_FALSE(same_reduction(r, unblocked)) << lwork;
        check_reduction(a0, 1, n, r, "LWORK=" + std::to_string(lwork));
        EXPECT_EQ(r.work1.re, optimal_gehrd(n));
    }
}

TEST(Zgehrd, NeverReadsOrChangesRowsBelowIhiOrColumnsBeforeIlo) {
    for (const auto& c : {std::array<int, 3>{200, 15, 190}, std::array<int, 3>{60, 7, 51}}) {
        const int n = c[0], ilo = c[1], ihi = c[2];
        const Mat a0 = hhtest::hessenberg_input(n, ilo, ihi, 4242);
        Mat poisoned = a0;
        for (int j = 1; j <= n; ++j)
            for (int i = 1; i <= n; ++i)
                if (i > ihi || j < ilo) poisoned(i, j) = zcomplex{qnan, -qnan};
        for (int lwork : {n, optimal_gehrd(n)}) {
            const Reduced clean = reduce(a0, ilo, ihi, lwork);
            const Reduced r = reduce(poisoned, ilo, ihi, lwork);
            for (int j = 1; j <= n; ++j)
                for (int i = 1; i <= n; ++i) {
                    const bool outside = i > ihi || j < ilo;
                    const zcomplex want = outside ? poisoned(i, j) : clean.a(i, j);
                    ASSERT_TRUE(std::memcmp(&r.a(i, j), &want, sizeof want) == 0)
                        << n << " " << i << "," << j;
                }
        }
    }
}

TEST(Zgehrd, EmptyAndTrivialActiveParts) {
    // N = 0, ILO = 1, IHI = 0 is legal and only sets WORK(1) = 1.
    Reduced r = reduce(Mat(0, 0), 1, 0, 1);
    EXPECT_EQ(r.info, 0);
    EXPECT_TRUE(same_bits(r.work1, zcomplex{1.0, 0.0}));

    // ILO = IHI: A unchanged, all of TAU zero, WORK(1) = 1.
    const Mat a0 = hhtest::hessenberg_input(7, 4, 4, 3);
    r = reduce(a0, 4, 4, 7);
    EXPECT_TRUE(hhtest::same_block(r.a, a0));
    for (const zcomplex& t : r.tau) EXPECT_TRUE(same_bits(t, zcomplex{0.0, 0.0}));
    EXPECT_TRUE(same_bits(r.work1, zcomplex{1.0, 0.0}));
}

TEST(Zgehrd, WorkspaceQuery) {
    const Mat a0 = hhtest::random_mat(10, 10, 8);
    for (const auto& c : {std::array<int, 3>{1, 10, 4480}, std::array<int, 3>{3, 3, 1},
                          std::array<int, 3>{2, 3, 4480}}) {
        const Reduced r = reduce(a0, c[0], c[1], -1);
        EXPECT_EQ(r.info, 0);
        EXPECT_TRUE(same_bits(r.work1, zcomplex{static_cast<double>(c[2]), 0.0}));
        EXPECT_TRUE(hhtest::same_block(r.a, a0));
        for (const zcomplex& t : r.tau) EXPECT_TRUE(same_bits(t, zcomplex{qnan, 5.0}));
    }
}

TEST(Zgehrd, ArgumentChecks) {
    Mat a(4, 4, 5);
    std::vector<zcomplex> tau(4), work(8);
    int info = 0;
    auto gehrd = [&](int n, int ilo, int ihi, int lda, int lwork) {
        qiv::ZGEHRD(&n, &ilo, &ihi, a.data(), &lda, tau.data(), work.data(), &lwork, &info);
    };
    auto gehd2 = [&](int n, int ilo, int ihi, int lda) {
        qiv::ZGEHD2(&n, &ilo, &ihi, a.data(), &lda, tau.data(), work.data(), &info);
    };
    EXPECT_ILLEGAL("ZGEHRD", 1, gehrd(-1, 1, 0, 1, 1));
    EXPECT_ILLEGAL("ZGEHRD", 1, gehrd(-1, 0, 9, 0, 0));  // first failure wins
    EXPECT_ILLEGAL("ZGEHRD", 2, gehrd(4, 0, 4, 4, 4));
    EXPECT_ILLEGAL("ZGEHRD", 2, gehrd(4, 5, 4, 4, 4));
    EXPECT_ILLEGAL("ZGEHRD", 3, gehrd(4, 2, 1, 4, 4));
    EXPECT_ILLEGAL("ZGEHRD", 3, gehrd(4, 1, 5, 4, 4));
    EXPECT_ILLEGAL("ZGEHRD", 5, gehrd(4, 1, 4, 3, 4));
    EXPECT_ILLEGAL("ZGEHRD", 8, gehrd(4, 1, 4, 4, 3));
    EXPECT_ILLEGAL("ZGEHRD", 8, gehrd(4, 1, 4, 4, 0));
    EXPECT_ILLEGAL("ZGEHRD", 2, gehrd(4, 0, 4, 4, -1));  // a query is checked too
    EXPECT_ILLEGAL("ZGEHD2", 1, gehd2(-1, 1, 0, 1));
    EXPECT_ILLEGAL("ZGEHD2", 2, gehd2(4, 0, 4, 4));
    EXPECT_ILLEGAL("ZGEHD2", 3, gehd2(4, 1, 5, 4));
    EXPECT_ILLEGAL("ZGEHD2", 5, gehd2(4, 1, 4, 3));
    // Legal edge values.
    gehrd(0, 1, 0, 1, 1);
    EXPECT_EQ(info, 0);
    gehd2(1, 1, 1, 1);
    EXPECT_EQ(info, 0);
}

TEST(Zlahr2, PanelFactorsReproduceTheUpdate) {
    // One panel of NB columns of an N-row block with offset K: the reflectors
    // must zero A below the K-th subdiagonal of the panel, and Y = A*V*T with
    // A taken as on entry.
    const int n = 23, k = 4, nb = 6;
    const Mat a0 = hhtest::random_mat(n, n - k + 1, 99, n + 2);
    Mat a = a0;
    std::vector<zcomplex> tau(nb);
    Mat t(nb, nb, nb + 1), y(n, nb, n + 1);
    hhtest::fill_nan(t);
    qiv::ZLAHR2(&n, &k, &nb, a.data(), &a.ld, tau.data(), t.data(), &t.ld, y.data(), &y.ld);

    // V: (N-K)-by-NB, reflector i with its unit element in row K+i.
    Mat v(n, nb);
    for (int i = 1; i <= nb; ++i) {
        v(k + i, i) = zcomplex{1.0, 0.0};
        for (int r = k + i + 1; r <= n; ++r) v(r, i) = a(r, i);
    }
    Mat tu(nb, nb);
    for (int j = 1; j <= nb; ++j)
        for (int i = 1; i <= j; ++i) tu(i, j) = t(i, j);
    // Y = A(1:N, 2:N-K+1) * V(K+1:N, :) * T
    Mat a2(n, n - k), vk(n - k, nb);
    for (int j = 1; j <= n - k; ++j)
        for (int i = 1; i <= n; ++i) a2(i, j) = a0(i, j + 1);
    for (int j = 1; j <= nb; ++j)
        for (int i = 1; i <= n - k; ++i) vk(i, j) = v(k + i, j);
    const Mat want_y = hhtest::mul(hhtest::mul(a2, 'N', vk, 'N'), 'N', tu, 'N');
    Mat got_y(n, nb);
    for (int j = 1; j <= nb; ++j)
        for (int i = 1; i <= n; ++i) got_y(i, j) = y(i, j);
    EXPECT_LT(hhtest::diff_norm1(got_y, want_y) / (hhtest::norm1(a0) * n * kEps), 10.0);

    // (I - V*T*V^H)^H applied to the panel columns of rows K+1..N gives the
    // reduced panel (after the right-hand update by Y, which the caller does
    // for the trailing columns; for the panel itself it is built in).
    Mat hq = hhtest::identity(n - k);
    const Mat vtv = hhtest::mul(hhtest::mul(vk, 'N', tu, 'N'), 'N', vk, 'C');
    for (int j = 1; j <= n - k; ++j)
        for (int i = 1; i <= n - k; ++i) hq(i, j) = hq(i, j) - vtv(i, j);
    EXPECT_LT(hhtest::unitarity(hq), 10.0);
    // Rows 1..K and columns beyond the panel are left alone.
    int changed = 0;
    for (int j = 1; j <= n - k + 1; ++j)
        for (int i = 1; i <= n; ++i)
            if ((i <= k || j > nb) && !same_bits(a(i, j), a0(i, j))) ++changed;
    EXPECT_EQ(changed, 0);
    // The panel's part on and above the K-th subdiagonal, row K+i of column i
    // holding beta, is real there.
    for (int i = 1; i <= nb; ++i) EXPECT_EQ(a(k + i, i).im, 0.0);
}

TEST(Zgehrd, RealMatrixFromPractice) {
    qivtest::HbMatrix hb;
    std::string error;
    ASSERT_TRUE(qivtest::read_hb(qivtest::test_data_file("pde225.rua"), &hb, &error)) << error;
    ASSERT_EQ(hb.nrow, 225);
    const int n = hb.nrow;
    Mat a0(n, n);
    a0.a = qivtest::hb_dense(hb, n);

    // 225 rows: three blocked panels, then ZGEHD2.
    const Reduced r = reduce(a0, 1, n, optimal_gehrd(n));
    const Mat q = check_reduction(a0, 1, n, r, "pde225");
    // A real matrix stays real: every imaginary part of H, TAU and Q is zero.
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) {
            ASSERT_EQ(r.a(i, j).im, 0.0) << i << "," << j;
            ASSERT_EQ(q(i, j).im, 0.0) << i << "," << j;
        }
    for (const zcomplex& t : r.tau) EXPECT_EQ(t.im, 0.0);
    // The unblocked code gives an equally good reduction. (The two H differ by
    // more than rounding here: the later columns of a Hessenberg reduction of
    // this matrix are sensitive, so only the residuals are compared.)
    const Reduced u = reduce(a0, 1, n, n);
    check_reduction(a0, 1, n, u, "pde225 unblocked");
}

}  // namespace
