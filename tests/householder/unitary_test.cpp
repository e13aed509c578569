// Forming (ZUNG2R, ZUNGQR, ZUNGHR) and applying (ZUNM2R, ZUNMQR, ZUNMHR) the
// unitary factor given by reflectors.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "frame/complex.h"
#include "householder/householder.h"
#include "support/child.h"
#include "support/hh_support.h"
#include "support/matrix.h"

namespace {

using hhtest::kEps;
using hhtest::Mat;
using qiv::zcomplex;
using qivtest::same_bits;

const double qnan = std::numeric_limits<double>::quiet_NaN();

// An M-by-N array holding K reflectors of order M in the QR layout: vectors
// strictly below the diagonal of columns 1..K. Everything else (diagonal,
// upper part, columns K+1..N, padding) is NaN, since none of it may be read.
struct QrInput {
    hhtest::Reflectors r;
    Mat a;
};
QrInput qr_input(int m, int n, int k, std::uint64_t seed) {
    QrInput in{hhtest::random_reflectors(m, k, seed), Mat(m, n, m + 2)};
    hhtest::fill_nan(in.a);
    for (int j = 1; j <= k; ++j)
        for (int i = j + 1; i <= m; ++i) in.a(i, j) = in.r.v(i, j);
    return in;
}

// The first N columns of Q = H(1)...H(K), one reflector at a time.
Mat reference_q(const hhtest::Reflectors& r, int n) {
    Mat q = hhtest::identity(r.n);
    hhtest::apply_one_at_a_time(r, 'L', false, false, q);
    Mat out(r.n, n);
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= r.n; ++i) out(i, j) = q(i, j);
    return out;
}

struct Formed {
    Mat q;
    zcomplex work1{-1, -1};
    int info = -99;
};

Formed ungqr(const QrInput& in, int n, int k, int lwork, bool unblocked = false) {
    Formed f;
    f.q = in.a;
    const int m = in.a.m;
    std::vector<zcomplex> work(static_cast<std::size_t>(std::max({1, lwork, n})),
                               zcomplex{qnan, qnan});
    if (unblocked)
        qiv::ZUNG2R(&m, &n, &k, f.q.data(), &f.q.ld, in.r.tau.data(), work.data(), &f.info);
    else
        qiv::ZUNGQR(&m, &n, &k, f.q.data(), &f.q.ld, in.r.tau.data(), work.data(), &lwork, &f.info);
    f.work1 = work[0];
    return f;
}

TEST(Zungqr, FormsQBlockedAndUnblocked) {
    // (M, N, K): small, K at the crossover 128, K beyond it.
    const int cases[][3] = {{1, 1, 1},       {5, 3, 2},       {8, 8, 8},       {40, 33, 33},
                            {150, 140, 128}, {170, 160, 150}, {165, 160, 160}, {200, 200, 199}};
    for (const auto& c : cases) {
        const int m = c[0], n = c[1], k = c[2];
        const std::string what =
            std::to_string(m) + "x" + std::to_string(n) + " K=" + std::to_string(k);
        const QrInput in = qr_input(m, n, k, 7 * m + k);
        const Mat want = reference_q(in.r, n);
        const Formed u = ungqr(in, n, k, n, true);
        EXPECT_EQ(u.info, 0);
        EXPECT_LT(hhtest::diff_norm1(u.q, want) / (m * kEps), 10.0) << what;
        EXPECT_LT(hhtest::unitarity(u.q), 10.0) << what;

        const Formed b = ungqr(in, n, k, n * 32);
        EXPECT_EQ(b.info, 0);
        EXPECT_LT(hhtest::diff_norm1(b.q, want) / (m * kEps), 10.0) << what;
        EXPECT_LT(hhtest::unitarity(b.q), 10.0) << what;
        EXPECT_TRUE(same_bits(b.work1, zcomplex{static_cast<double>(k > 128 ? 32 * n : n), 0.0}))
            << what << " " << b.work1.re;
        // Up to K = 128 the blocked routine is ZUNG2R, bit for bit.
        EXPECT_EQ(hhtest::same_block(b.q, u.q), k <= 128) << what;

        // The minimum workspace makes the block size 1: unblocked throughout,
        // yet WORK(1) reports the workspace the blocked code would use.
        const Formed s = ungqr(in, n, k, std::max(1, n));
        EXPECT_TRUE(hhtest::same_block(s.q, u.q)) << what;
        EXPECT_EQ(s.work1.re, k > 128 ? 32.0 * n : n) << what;

        // A shorter block from a shorter workspace.
        if (k > 128) {
            const Formed h = ungqr(in, n, k, n * 16);
            EXPECT_FALSE(hhtest::same_block(h.q, u.q));
            EXPECT_LT(hhtest::diff_norm1(h.q, want) / (m * kEps), 10.0) << what;
        }
    }
}

TEST(Zungqr, NoReflectorsAndQueries) {
    // K = 0: the first N columns of the identity, all of A overwritten.
    QrInput in = qr_input(6, 4, 0, 1);
    for (bool unblocked : {false, true}) {
        const Formed f = ungqr(in, 4, 0, 4, unblocked);
        Mat id(6, 4);
        for (int i = 1; i <= 4; ++i) id(i, i) = zcomplex{1.0, 0.0};
        EXPECT_TRUE(hhtest::same_block(f.q, id));
    }
    // Queries: max(1, N)*32, A untouched.
    in = qr_input(9, 7, 3, 2);
    Formed f = ungqr(in, 7, 3, -1);
    EXPECT_EQ(f.info, 0);
    EXPECT_TRUE(same_bits(f.work1, zcomplex{224.0, 0.0}));
    EXPECT_TRUE(hhtest::same_block(f.q, in.a));
    in = qr_input(3, 0, 0, 3);
    f = ungqr(in, 0, 0, -1);
    EXPECT_TRUE(same_bits(f.work1, zcomplex{32.0, 0.0}));
    f = ungqr(in, 0, 0, 1);
    EXPECT_TRUE(same_bits(f.work1, zcomplex{1.0, 0.0}));
}

TEST(Zungqr, ArgumentChecks) {
    Mat a(6, 6);
    std::vector<zcomplex> tau(6), work(64);
    int info = 0;
    auto ungqr_ = [&](int m, int n, int k, int lda, int lwork) {
        qiv::ZUNGQR(&m, &n, &k, a.data(), &lda, tau.data(), work.data(), &lwork, &info);
    };
    auto ung2r_ = [&](int m, int n, int k, int lda) {
        qiv::ZUNG2R(&m, &n, &k, a.data(), &lda, tau.data(), work.data(), &info);
    };
    EXPECT_ILLEGAL("ZUNGQR", 1, ungqr_(-1, 0, 0, 1, 1));
    EXPECT_ILLEGAL("ZUNGQR", 2, ungqr_(3, -1, 0, 3, 1));
    EXPECT_ILLEGAL("ZUNGQR", 2, ungqr_(3, 4, 0, 3, 4));
    EXPECT_ILLEGAL("ZUNGQR", 3, ungqr_(4, 3, -1, 4, 3));
    EXPECT_ILLEGAL("ZUNGQR", 3, ungqr_(4, 3, 4, 4, 3));
    EXPECT_ILLEGAL("ZUNGQR", 5, ungqr_(4, 3, 3, 3, 3));
    EXPECT_ILLEGAL("ZUNGQR", 8, ungqr_(4, 3, 3, 4, 2));
    EXPECT_ILLEGAL("ZUNGQR", 5, ungqr_(4, 3, 3, 3, -1));
    EXPECT_ILLEGAL("ZUNG2R", 1, ung2r_(-1, 0, 0, 1));
    EXPECT_ILLEGAL("ZUNG2R", 2, ung2r_(3, 4, 0, 3));
    EXPECT_ILLEGAL("ZUNG2R", 3, ung2r_(4, 3, 4, 4));
    EXPECT_ILLEGAL("ZUNG2R", 5, ung2r_(4, 3, 3, 3));
    ungqr_(0, 0, 0, 1, 1);
    EXPECT_EQ(info, 0);
}

// Q*C, Q^H*C, C*Q or C*Q^H with the explicit Q.
Mat explicit_apply(const Mat& q, char side, char trans, const Mat& c) {
    const char op = trans == 'N' ? 'N' : 'C';
    return side == 'L' ? hhtest::mul(q, op, c, 'N') : hhtest::mul(c, 'N', q, op);
}

struct Applied {
    Mat c;
    zcomplex work1{-1, -1};
    int info = -99;
};

Applied unmqr(char side, char trans, const Mat& a, int k, const std::vector<zcomplex>& tau,
              const Mat& c0, int lwork, bool unblocked = false) {
    Applied r;
    r.c = c0;
    const char sd[2] = {side, 0}, tr[2] = {trans, 0};
    std::vector<zcomplex> work(static_cast<std::size_t>(std::max({1, lwork, c0.m, c0.n})),
                               zcomplex{qnan, qnan});
    if (unblocked)
        qiv::ZUNM2R(sd, tr, &r.c.m, &r.c.n, &k, a.data(), &a.ld, tau.data(), r.c.data(), &r.c.ld,
                    work.data(), &r.info);
    else
        qiv::ZUNMQR(sd, tr, &r.c.m, &r.c.n, &k, a.data(), &a.ld, tau.data(), r.c.data(), &r.c.ld,
                    work.data(), &lwork, &r.info);
    r.work1 = work[0];
    return r;
}

TEST(Zunmqr, AllSidesAndTransposesMatchExplicitQ) {
    // (order NQ, other dimension of C, K): K <= 32 never blocks; K > 32 does.
    const int cases[][3] = {{1, 3, 1}, {7, 5, 4}, {20, 9, 20}, {60, 13, 45}, {100, 40, 90}};
    for (const auto& c : cases) {
        const int nq = c[0], other = c[1], k = c[2];
        const QrInput in = qr_input(nq, k, k, 11 * nq + k);
        const Mat q = reference_q(in.r, nq);
        for (char side : {'L', 'R'})
            for (char trans : {'N', 'C'}) {
                const std::string what = std::string(1, side) + trans +
                                         " NQ=" + std::to_string(nq) + " K=" + std::to_string(k);
                const int m = side == 'L' ? nq : other, n = side == 'L' ? other : nq;
                const int nw = side == 'L' ? n : m;
                const Mat c0 = hhtest::random_mat(m, n, 5 * m + n, m + 1);
                const Mat want = explicit_apply(q, side, trans, c0);
                const double scale = hhtest::norm1(c0) * nq * kEps;

                const Applied u = unmqr(side, trans, in.a, k, in.r.tau, c0, 0, true);
                EXPECT_EQ(u.info, 0);
                EXPECT_LT(hhtest::diff_norm1(u.c, want) / scale, 10.0) << what;
                const Applied b = unmqr(side, trans, in.a, k, in.r.tau, c0, nw * 32 + 4160);
                EXPECT_EQ(b.info, 0);
                EXPECT_LT(hhtest::diff_norm1(b.c, want) / scale, 10.0) << what;
                EXPECT_TRUE(same_bits(b.work1, zcomplex{nw * 32.0 + 4160.0, 0.0})) << what;
                EXPECT_EQ(hhtest::same_block(b.c, u.c), k <= 32) << what;
                // A shorter workspace, blocks of 8.
                const Applied s = unmqr(side, trans, in.a, k, in.r.tau, c0, nw * 8 + 4160);
                EXPECT_LT(hhtest::diff_norm1(s.c, want) / scale, 10.0) << what;
                EXPECT_TRUE(same_bits(s.work1, b.work1)) << what;
                // The minimum workspace: unblocked, bit for bit.
                EXPECT_TRUE(
                    hhtest::same_block(unmqr(side, trans, in.a, k, in.r.tau, c0, nw).c, u.c))
                    << what;
                // Applying Q^H after Q (or the other way round) restores C.
                const Applied back =
                    unmqr(side, trans == 'N' ? 'C' : 'N', in.a, k, in.r.tau, b.c, nw * 32 + 4160);
                EXPECT_LT(hhtest::diff_norm1(back.c, c0) / scale, 10.0) << what;
            }
    }
}

TEST(Zunmqr, QuickReturnsQueriesAndOptionSpelling) {
    const QrInput in = qr_input(8, 3, 3, 4);
    const Mat c0 = hhtest::random_mat(8, 5, 6);
    // K = 0 leaves C alone and answers 1.
    Applied r = unmqr('L', 'N', in.a, 0, in.r.tau, c0, 5);
    EXPECT_TRUE(hhtest::same_block(r.c, c0));
    EXPECT_TRUE(same_bits(r.work1, zcomplex{1.0, 0.0}));
    // Query: NW*32 + 4160, C untouched.
    r = unmqr('L', 'C', in.a, 3, in.r.tau, c0, -1);
    EXPECT_EQ(r.info, 0);
    EXPECT_TRUE(same_bits(r.work1, zcomplex{5 * 32.0 + 4160.0, 0.0}));
    EXPECT_TRUE(hhtest::same_block(r.c, c0));
    // "left" and "l" mean "L".
    Applied lower = r;
    lower.c = c0;
    std::vector<zcomplex> work(5);
    int m = 8, n = 5, k = 3, lwork = 5;
    qiv::ZUNMQR("left", "conjugate", &m, &n, &k, in.a.data(), &in.a.ld, in.r.tau.data(),
                lower.c.data(), &lower.c.ld, work.data(), &lwork, &lower.info);
    EXPECT_TRUE(hhtest::same_block(lower.c, unmqr('L', 'C', in.a, 3, in.r.tau, c0, 5).c));
}

TEST(Zunmqr, ArgumentChecks) {
    Mat a(6, 6), c(6, 6);
    std::vector<zcomplex> tau(6), work(64);
    int info = 0;
    auto unmqr_ = [&](const char* side, const char* trans, int m, int n, int k, int lda, int ldc,
                      int lwork) {
        qiv::ZUNMQR(side, trans, &m, &n, &k, a.data(), &lda, tau.data(), c.data(), &ldc,
                    work.data(), &lwork, &info);
    };
    auto unm2r_ = [&](const char* side, const char* trans, int m, int n, int k, int lda, int ldc) {
        qiv::ZUNM2R(side, trans, &m, &n, &k, a.data(), &lda, tau.data(), c.data(), &ldc,
                    work.data(), &info);
    };
    EXPECT_ILLEGAL("ZUNMQR", 1, unmqr_("X", "N", 4, 4, 2, 4, 4, 4));
    EXPECT_ILLEGAL("ZUNMQR", 2, unmqr_("L", "T", 4, 4, 2, 4, 4, 4));
    EXPECT_ILLEGAL("ZUNMQR", 3, unmqr_("L", "N", -1, 4, 0, 1, 1, 4));
    EXPECT_ILLEGAL("ZUNMQR", 4, unmqr_("R", "N", 4, -1, 0, 1, 4, 4));
    EXPECT_ILLEGAL("ZUNMQR", 5, unmqr_("L", "N", 4, 6, 5, 4, 4, 6));
    EXPECT_ILLEGAL("ZUNMQR", 5, unmqr_("R", "C", 6, 4, 5, 4, 6, 6));
    EXPECT_ILLEGAL("ZUNMQR", 5, unmqr_("R", "C", 6, 4, -1, 4, 6, 6));
    EXPECT_ILLEGAL("ZUNMQR", 7, unmqr_("R", "C", 2, 4, 2, 3, 2, 2));
    EXPECT_ILLEGAL("ZUNMQR", 10, unmqr_("R", "C", 3, 4, 2, 4, 2, 3));
    EXPECT_ILLEGAL("ZUNMQR", 12, unmqr_("L", "N", 4, 5, 2, 4, 4, 4));
    EXPECT_ILLEGAL("ZUNMQR", 12, unmqr_("R", "N", 5, 4, 2, 4, 5, 4));
    EXPECT_ILLEGAL("ZUNM2R", 1, unm2r_("C", "N", 4, 4, 2, 4, 4));
    EXPECT_ILLEGAL("ZUNM2R", 2, unm2r_("R", "L", 4, 4, 2, 4, 4));
    EXPECT_ILLEGAL("ZUNM2R", 3, unm2r_("L", "N", -2, 4, 0, 1, 1));
    EXPECT_ILLEGAL("ZUNM2R", 4, unm2r_("L", "N", 4, -2, 0, 4, 4));
    EXPECT_ILLEGAL("ZUNM2R", 5, unm2r_("L", "N", 4, 4, 5, 4, 4));
    EXPECT_ILLEGAL("ZUNM2R", 7, unm2r_("L", "N", 4, 4, 2, 3, 4));
    EXPECT_ILLEGAL("ZUNM2R", 10, unm2r_("L", "N", 4, 4, 2, 4, 3));
    unmqr_("R", "N", 0, 0, 0, 1, 1, 1);
    EXPECT_EQ(info, 0);
}

// A Hessenberg reduction of a random matrix, for the ZUNMHR/ZUNGHR tests.
struct Hess {
    int n, ilo, ihi;
    Mat a;
    std::vector<zcomplex> tau;
    Mat q;
};
Hess hessenberg(int n, int ilo, int ihi, std::uint64_t seed) {
    Hess h{n, ilo, ihi, hhtest::hessenberg_input(n, ilo, ihi, seed), {}, {}};
    h.tau.assign(static_cast<std::size_t>(std::max(1, n - 1)), zcomplex{0.0, 0.0});
    int lwork = n * 32 + 4160, info = -1;
    std::vector<zcomplex> work(static_cast<std::size_t>(lwork));
    qiv::ZGEHRD(&n, &ilo, &ihi, h.a.data(), &h.a.ld, h.tau.data(), work.data(), &lwork, &info);
    EXPECT_EQ(info, 0);
    h.q = h.a;
    qiv::ZUNGHR(&n, &ilo, &ihi, h.q.data(), &h.q.ld, h.tau.data(), work.data(), &lwork, &info);
    EXPECT_EQ(info, 0);
    return h;
}

Applied unmhr(char side, char trans, const Hess& h, const Mat& c0, int lwork) {
    Applied r;
    r.c = c0;
    const char sd[2] = {side, 0}, tr[2] = {trans, 0};
    std::vector<zcomplex> work(static_cast<std::size_t>(std::max(1, lwork)), zcomplex{qnan, qnan});
    qiv::ZUNMHR(sd, tr, &r.c.m, &r.c.n, &h.ilo, &h.ihi, h.a.data(), &h.a.ld, h.tau.data(),
                r.c.data(), &r.c.ld, work.data(), &lwork, &r.info);
    r.work1 = work[0];
    return r;
}

TEST(Zunmhr, MatchesExplicitQAndLeavesOtherRowsAlone) {
    const int cases[][3] = {{1, 1, 1}, {6, 2, 5}, {30, 1, 30}, {50, 4, 44}, {160, 3, 158}};
    for (const auto& c : cases) {
        const Hess h = hessenberg(c[0], c[1], c[2], 300 + c[0]);
        const int n = h.n;
        for (char side : {'L', 'R'})
            for (char trans : {'N', 'C'}) {
                const std::string what = std::string(1, side) + trans + " N=" + std::to_string(n);
                const int rows = side == 'L' ? n : 9, cols = side == 'L' ? 7 : n;
                const int nw = side == 'L' ? cols : rows;
                const Mat c0 = hhtest::random_mat(rows, cols, 17 * n + side, rows + 2);
                const Mat want = explicit_apply(h.q, side, trans, c0);
                const double scale = std::max(1.0, hhtest::norm1(c0)) * n * kEps;
                for (int lwork : {nw * 32, nw * 32 + 4160, nw}) {
                    const Applied r = unmhr(side, trans, h, c0, lwork);
                    EXPECT_EQ(r.info, 0);
                    EXPECT_LT(hhtest::diff_norm1(r.c, want) / scale, 10.0) << what << " " << lwork;
                    // Rows (columns) outside ILO+1..IHI are untouched.
                    int changed = 0;
                    for (int j = 1; j <= cols; ++j)
                        for (int i = 1; i <= rows; ++i) {
                            const int idx = side == 'L' ? i : j;
                            if ((idx <= h.ilo || idx > h.ihi) && !same_bits(r.c(i, j), c0(i, j)))
                                ++changed;
                        }
                    EXPECT_EQ(changed, 0) << what;
                    const double answer = h.ihi == h.ilo ? 1.0 : nw * 32.0;
                    EXPECT_TRUE(same_bits(r.work1, zcomplex{answer, 0.0})) << what;
                }
            }
    }
}

TEST(Zunmhr, OwnWorkspaceAnswerFallsBackWhenSmall) {
    // Given exactly its own answer NW*32, ZUNMQR shrinks the block to
    // (32*NW - 4160)/NW: below 2 for NW < 130, so ZUNM2R does the work.
    const Hess h = hessenberg(80, 1, 80, 21);
    const Mat c0 = hhtest::random_mat(80, 20, 22);
    const Applied r = unmhr('L', 'N', h, c0, 20 * 32);
    Applied u;
    u.c = c0;
    std::vector<zcomplex> work(20);
    int m = 79, n = 20, k = 79;
    qiv::ZUNM2R("L", "N", &m, &n, &k, &h.a(2, 1), &h.a.ld, h.tau.data(), &u.c(2, 1), &u.c.ld,
                work.data(), &u.info);
    EXPECT_TRUE(hhtest::same_block(r.c, u.c));
}

TEST(Zunmhr, EmptyReflectorSetAndQueries) {
    const Hess h = hessenberg(5, 3, 3, 1);
    const Mat c0 = hhtest::random_mat(5, 4, 2);
    Applied r = unmhr('L', 'N', h, c0, 4);
    EXPECT_TRUE(hhtest::same_block(r.c, c0));
    EXPECT_TRUE(same_bits(r.work1, zcomplex{1.0, 0.0}));
    r = unmhr('R', 'C', h, hhtest::random_mat(3, 5, 3), -1);
    EXPECT_TRUE(same_bits(r.work1, zcomplex{96.0, 0.0}));
    const Hess g = hessenberg(12, 2, 10, 5);
    r = unmhr('L', 'C', g, hhtest::random_mat(12, 4, 6), -1);
    EXPECT_TRUE(same_bits(r.work1, zcomplex{128.0, 0.0}));
}

TEST(Zunmhr, ArgumentChecks) {
    Mat a(6, 6), c(6, 6);
    std::vector<zcomplex> tau(6), work(64);
    int info = 0;
    auto unmhr_ = [&](const char* side, const char* trans, int m, int n, int ilo, int ihi, int lda,
                      int ldc, int lwork) {
        qiv::ZUNMHR(side, trans, &m, &n, &ilo, &ihi, a.data(), &lda, tau.data(), c.data(), &ldc,
                    work.data(), &lwork, &info);
    };
    EXPECT_ILLEGAL("ZUNMHR", 1, unmhr_("X", "N", 4, 4, 1, 4, 4, 4, 4));
    EXPECT_ILLEGAL("ZUNMHR", 2, unmhr_("L", "T", 4, 4, 1, 4, 4, 4, 4));
    EXPECT_ILLEGAL("ZUNMHR", 3, unmhr_("L", "N", -1, 4, 1, 0, 1, 1, 4));
    EXPECT_ILLEGAL("ZUNMHR", 4, unmhr_("L", "N", 4, -1, 1, 4, 4, 4, 4));
    EXPECT_ILLEGAL("ZUNMHR", 5, unmhr_("L", "N", 4, 4, 0, 4, 4, 4, 4));
    EXPECT_ILLEGAL("ZUNMHR", 5, unmhr_("R", "N", 6, 4, 5, 4, 4, 6, 6));
    EXPECT_ILLEGAL("ZUNMHR", 6, unmhr_("L", "N", 4, 4, 2, 1, 4, 4, 4));
    EXPECT_ILLEGAL("ZUNMHR", 6, unmhr_("R", "N", 6, 4, 1, 5, 4, 6, 6));
    EXPECT_ILLEGAL("ZUNMHR", 8, unmhr_("L", "N", 4, 4, 1, 4, 3, 4, 4));
    EXPECT_ILLEGAL("ZUNMHR", 11, unmhr_("R", "N", 4, 4, 1, 4, 4, 3, 4));
    EXPECT_ILLEGAL("ZUNMHR", 13, unmhr_("L", "N", 4, 5, 1, 4, 4, 4, 4));
    unmhr_("l", "c", 0, 0, 1, 0, 1, 1, 1);
    EXPECT_EQ(info, 0);
}

TEST(Zunghr, ReadsOnlyTheReflectors) {
    // Only A(i+2:IHI, i) and TAU(i), i = ILO..IHI-1, carry information; with
    // NaN everywhere else ZUNGHR gives the same Q bit for bit.
    for (const auto& c : {std::array<int, 3>{9, 2, 7}, std::array<int, 3>{150, 4, 145}}) {
        const Hess h = hessenberg(c[0], c[1], c[2], 50 + c[0]);
        const int n = h.n;
        Mat a = h.a;
        hhtest::fill_nan(a);
        std::vector<zcomplex> tau(h.tau.size(), zcomplex{qnan, qnan});
        for (int i = h.ilo; i <= h.ihi - 1; ++i) {
            tau[i - 1] = h.tau[i - 1];
            for (int r = i + 2; r <= h.ihi; ++r) a(r, i) = h.a(r, i);
        }
        int lwork = n * 32, info = -1;
        std::vector<zcomplex> work(static_cast<std::size_t>(lwork));
        qiv::ZUNGHR(&n, &h.ilo, &h.ihi, a.data(), &a.ld, tau.data(), work.data(), &lwork, &info);
        EXPECT_EQ(info, 0);
        EXPECT_TRUE(hhtest::same_block(a, h.q)) << n;
    }
}

TEST(Zunghr, IdentityCasesQueriesAndChecks) {
    // ILO = IHI: the identity, ZUNGQR not called, WORK(1) = 32.
    Mat a = hhtest::random_mat(5, 5, 8);
    std::vector<zcomplex> tau(4, zcomplex{qnan, qnan}), work(40);
    int n = 5, ilo = 2, ihi = 2, lwork = 1, info = -1;
    qiv::ZUNGHR(&n, &ilo, &ihi, a.data(), &a.ld, tau.data(), work.data(), &lwork, &info);
    EXPECT_EQ(info, 0);
    EXPECT_TRUE(hhtest::same_block(a, hhtest::identity(5)));
    EXPECT_TRUE(same_bits(work[0], zcomplex{32.0, 0.0}));
    // N = 0: WORK(1) = 1, and the query answers 32.
    n = 0, ilo = 1, ihi = 0;
    qiv::ZUNGHR(&n, &ilo, &ihi, a.data(), &a.ld, tau.data(), work.data(), &lwork, &info);
    EXPECT_TRUE(same_bits(work[0], zcomplex{1.0, 0.0}));
    lwork = -1;
    qiv::ZUNGHR(&n, &ilo, &ihi, a.data(), &a.ld, tau.data(), work.data(), &lwork, &info);
    EXPECT_TRUE(same_bits(work[0], zcomplex{32.0, 0.0}));
    // Query for NH = 9 leaves A alone.
    Mat b = hhtest::random_mat(12, 12, 9);
    const Mat b0 = b;
    n = 12, ilo = 2, ihi = 11;
    qiv::ZUNGHR(&n, &ilo, &ihi, b.data(), &b.ld, tau.data(), work.data(), &lwork, &info);
    EXPECT_TRUE(same_bits(work[0], zcomplex{288.0, 0.0}));
    EXPECT_TRUE(hhtest::same_block(b, b0));

    auto unghr_ = [&](int n_, int ilo_, int ihi_, int lda, int lw) {
        qiv::ZUNGHR(&n_, &ilo_, &ihi_, a.data(), &lda, tau.data(), work.data(), &lw, &info);
    };
    EXPECT_ILLEGAL("ZUNGHR", 1, unghr_(-1, 1, 0, 1, 1));
    EXPECT_ILLEGAL("ZUNGHR", 2, unghr_(4, 0, 4, 4, 4));
    EXPECT_ILLEGAL("ZUNGHR", 2, unghr_(4, 5, 4, 4, 4));
    EXPECT_ILLEGAL("ZUNGHR", 3, unghr_(4, 2, 1, 4, 4));
    EXPECT_ILLEGAL("ZUNGHR", 3, unghr_(4, 1, 5, 4, 4));
    EXPECT_ILLEGAL("ZUNGHR", 5, unghr_(4, 1, 4, 3, 4));
    EXPECT_ILLEGAL("ZUNGHR", 8, unghr_(4, 1, 4, 4, 2));
    unghr_(4, 1, 4, 4, 3);  // LWORK = NH is enough
    EXPECT_EQ(info, 0);
}

}  // namespace
