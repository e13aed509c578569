// The fast ZGEMV, ZGERC, ZTRMV and ZTRSV against the plain loops, bit for bit
// (any NaN equals any NaN): every instruction-set path the test machine has,
// every option, sizes around the register widths and column groups, padded
// leading dimensions, positive, negative and non-unit increments, special
// ALPHA and BETA, and data with signed zeros, infinities, NaNs and zero
// elements (which exercise the zero tests of ZGERC, ZTRMV and ZTRSV).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "frame/complex.h"
#include "kernels/engines/matvec/engine.h"
#include "kernels/matvec.h"
#include "kernels/simd/isa.h"
#include "oracle/matvec/matvec_plain.h"
#include "support/matrix.h"
#include "support/special_values.h"

namespace {

using qiv::Isa;
using qiv::zc;
using qiv::zcomplex;
using qivtest::Data;
using qivtest::Padded;
using qivtest::Rng;
using qivtest::signed_zero;

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

zcomplex draw(Data d, Rng& rng, double scale) { return qivtest::draw(d, rng, scale, 100); }

// A vector of logical length n stored with increment inc inside a padded
// buffer; everything outside its positions is a sentinel.
struct Vec {
    int n, inc;
    std::vector<zcomplex> buf;
    static constexpr int kMargin = 5;

    Vec(int n_, int inc_, Data d, Rng& rng, double scale = 1.0) : n(n_), inc(inc_) {
        const int len = n > 0 ? (n - 1) * std::abs(inc) + 1 : 1;
        buf.resize(static_cast<size_t>(len + 2 * kMargin));
        for (size_t s = 0; s < buf.size(); ++s) buf[s] = qivtest::sentinel(s);
        for (int i = 0; i < n; ++i)
            buf[kMargin + static_cast<size_t>(i) * std::abs(inc)] = draw(d, rng, scale);
    }
    zcomplex* data() { return buf.data() + kMargin; }
};

long diff(const std::vector<zcomplex>& a, const std::vector<zcomplex>& b) {
    return qivtest::first_difference(a.data(), b.data(), a.size());
}

zcomplex pick_scalar(Rng& rng, bool allow_zero) {
    for (;;) {
        switch (rng.below(7)) {
            case 0:
                if (allow_zero) return rng.below(2) ? zc(0.0, 0.0) : zc(-0.0, 0.0);
                break;
            case 1:
                return zc(1.0, 0.0);
            case 2:
                return zc(-1.0, 0.0);
            case 3:
                return rng.below(2) ? zc(kNaN, 0.0) : zc(0.0, kNaN);
            case 4:
                return zc(0.0, 1.0);
            default:
                return rng.z();
        }
    }
}

int pick_inc(Rng& rng) {
    const int incs[] = {1, 1, 1, -1, 2, -3};
    return incs[rng.below(6)];
}

qiv::MvOp op_of(const char* t) {
    return t[0] == 'N' ? qiv::MvOp::none : t[0] == 'T' ? qiv::MvOp::trans : qiv::MvOp::conj;
}

// Logical element 0 of a vector as the routines walk it.
template <class P>
P first(P p, int n, int inc) {
    return inc > 0 ? p : p - static_cast<std::ptrdiff_t>(n - 1) * inc;
}

class Level2Fast : public ::testing::TestWithParam<Isa> {
   protected:
    void SetUp() override {
        if (!qiv::isa_supported(GetParam()))
            GTEST_SKIP() << "processor lacks " << qiv::isa_name(GetParam());
    }

    // ZGEMV through the engine of the tested instruction set, with the quick
    // returns of the routine in front.
    // force_inc, when not zero, replaces the increments drawn.
    void gemv_case(const char* trans, int m, int n, Data d, std::uint64_t seed, int force_inc = 0) {
        Rng rng(seed);
        const bool nt = trans[0] == 'N';
        const int lenx = nt ? n : m, leny = nt ? m : n;
        const int pad = rng.below(3), lda = std::max(1, m + pad);
        int incx = pick_inc(rng), incy = pick_inc(rng);
        if (force_inc != 0) incx = incy = force_inc;
        const zcomplex alpha = pick_scalar(rng, true), beta = pick_scalar(rng, true);
        Padded a(m, n, lda, seed + 1);
        for (int j = 1; j <= n; ++j)
            for (int i = 1; i <= m; ++i) a(i, j) = draw(d, rng, 1.0);
        Vec x(lenx, incx, d, rng), y(leny, incy, rng.below(3) == 0 ? Data::specials : d, rng);
        Vec want = y;
        qivoracle::zgemv_plain(trans, &m, &n, &alpha, a.data(), &lda, x.data(), &incx, &beta,
                               want.data(), &incy);
        if (m > 0 && n > 0 && !(qiv::is_zero(alpha) && qiv::is_one(beta))) {
            const qiv::GemvArgs g{op_of(trans),
                                  m,
                                  n,
                                  alpha,
                                  a.data(),
                                  lda,
                                  {first<const zcomplex*>(x.data(), lenx, incx), incx},
                                  beta,
                                  {first(y.data(), leny, incy), incy}};
            qiv::gemv_engine(GetParam(), g);
        }
        const long k = diff(y.buf, want.buf);
        EXPECT_EQ(k, -1) << "ZGEMV TRANS=" << trans << " M=" << m << " N=" << n << " incx=" << incx
                         << " incy=" << incy << " alpha=(" << alpha.re << "," << alpha.im
                         << ") beta=(" << beta.re << "," << beta.im << ") seed=" << seed
                         << " at slot " << k;
    }

    void gerc_case(int m, int n, Data d, std::uint64_t seed, int force_inc = 0) {
        Rng rng(seed);
        const int lda = std::max(1, m + rng.below(3));
        int incx = pick_inc(rng), incy = pick_inc(rng);
        if (force_inc != 0) incx = incy = force_inc;
        const zcomplex alpha = pick_scalar(rng, false);
        Padded a(m, n, lda, seed + 1);
        for (int j = 1; j <= n; ++j)
            for (int i = 1; i <= m; ++i)
                a(i, j) = draw(rng.below(4) ? d : Data::specials, rng, 1.0);
        Vec x(m, incx, d, rng), y(n, incy, d, rng);
        Padded want = a;
        qivoracle::zgerc_plain(&m, &n, &alpha, x.data(), &incx, y.data(), &incy, want.data(), &lda);
        if (m > 0 && n > 0) {
            const qiv::GercArgs g{m,
                                  n,
                                  alpha,
                                  {first<const zcomplex*>(x.data(), m, incx), incx},
                                  {first<const zcomplex*>(y.data(), n, incy), incy},
                                  a.data(),
                                  lda};
            qiv::gerc_engine(GetParam(), g);
        }
        EXPECT_TRUE(a.sentinels_intact()) << "ZGERC wrote outside A, seed=" << seed;
        const long k = diff(a.block(), want.block());
        EXPECT_EQ(k, -1) << "ZGERC M=" << m << " N=" << n << " incx=" << incx << " incy=" << incy
                         << " seed=" << seed << " at " << k;
    }

    // ZTRMV (solve = false) or ZTRSV.
    void tr_case(bool solve, const char* uplo, const char* trans, const char* diag, int n, Data d,
                 std::uint64_t seed) {
        Rng rng(seed);
        const int lda = std::max(1, n + rng.below(3));
        const int incx = pick_inc(rng);
        Padded a(n, n, lda, seed + 1);
        const double off = 1.0 / std::max(1, n);
        for (int j = 1; j <= n; ++j)
            for (int i = 1; i <= n; ++i)
                a(i, j) = i == j ? (d == Data::sparse && rng.below(8) == 0
                                        ? signed_zero(rng)
                                        : zc(1.0 + 0.5 * rng.uniform(), 0.5 * rng.uniform()))
                                 : draw(d, rng, off);
        Vec x(n, incx, d, rng), want = x;
        const auto plain = solve ? qivoracle::ztrsv_plain : qivoracle::ztrmv_plain;
        plain(uplo, trans, diag, &n, a.data(), &lda, want.data(), &incx);
        if (n > 0) {
            const qiv::TrmvArgs t{uplo[0] == 'U',
                                  op_of(trans),
                                  diag[0] == 'U',
                                  n,
                                  a.data(),
                                  lda,
                                  {first(x.data(), n, incx), incx}};
            if (solve)
                qiv::trsv_engine(GetParam(), t);
            else
                qiv::trmv_engine(GetParam(), t);
        }
        const long k = diff(x.buf, want.buf);
        EXPECT_EQ(k, -1) << (solve ? "ZTRSV" : "ZTRMV") << " UPLO=" << uplo << " TRANS=" << trans
                         << " DIAG=" << diag << " N=" << n << " incx=" << incx << " seed=" << seed
                         << " at slot " << k;
    }

    void tr_all(const std::vector<int>& sizes, int reps, std::uint64_t seed) {
        Rng rng(seed);
        for (const bool solve : {false, true})
            for (const char* u : {"U", "L"})
                for (const char* t : {"N", "T", "C"})
                    for (const char* dg : {"U", "N"})
                        for (const int n : sizes)
                            for (int r = 0; r < reps; ++r) {
                                tr_case(solve, u, t, dg, n, static_cast<Data>(rng.below(3)),
                                        rng.engine()());
                                if (HasFailure()) return;
                            }
    }
};

const char* const kTrans[] = {"N", "T", "C"};

TEST_P(Level2Fast, GemvSmallSizes) {
    Rng rng(1);
    for (const char* t : kTrans)
        for (int m = 0; m <= 9; ++m)
            for (int n = 0; n <= 9; ++n) {
                gemv_case(t, m, n, static_cast<Data>(rng.below(3)), rng.engine()());
                if (HasFailure()) return;
            }
}

TEST_P(Level2Fast, GemvLargerSizes) {
    Rng rng(2);
    const int sizes[] = {15, 16, 17, 31, 32, 33, 63, 64, 65, 127, 129, 255, 257, 1100};
    for (const char* t : kTrans)
        for (const int m : sizes)
            for (int r = 0; r < 2; ++r) {
                const int n = sizes[rng.below(13)];
                gemv_case(t, m, n, static_cast<Data>(rng.below(3)), rng.engine()());
                if (HasFailure()) return;
            }
}

// Non-unit increments longer than the on-stack chunk of the column forms.
TEST_P(Level2Fast, LongStridedVectors) {
    Rng rng(9);
    for (const int inc : {2, -3}) {
        gemv_case("N", 1100 + 300 * (inc > 0), 5, Data::uniform, rng.engine()(), inc);
        gerc_case(1030 + 300 * (inc > 0), 6, Data::sparse, rng.engine()(), inc);
    }
}

// TRANS = "N" with a zero x(j) and an infinity in column j: not skipped, so
// the infinity times zero reaches y as NaN.
TEST_P(Level2Fast, GemvZeroTimesInfinityReachesY) {
    const int m = 9, n = 5, lda = 9, inc = 1;
    std::vector<zcomplex> a(45, zc(1, 0)), x(5, zc(1, 0)), y(9, zc(0, 0));
    a[2 * 9 + 4] = zc(kInf, 0);
    x[2] = zc(0, 0);
    const qiv::GemvArgs g{qiv::MvOp::none, m, n, zc(1, 0), a.data(), lda, {x.data(), inc}, zc(1, 0),
                          {y.data(), inc}};
    qiv::gemv_engine(GetParam(), g);
    EXPECT_TRUE(std::isnan(y[4].re));
    EXPECT_EQ(y[3].re, 4.0);
}

TEST_P(Level2Fast, Gerc) {
    Rng rng(3);
    for (int m = 0; m <= 9; ++m)
        for (int n = 0; n <= 6; ++n) {
            gerc_case(m, n, static_cast<Data>(rng.below(3)), rng.engine()());
            if (HasFailure()) return;
        }
    const int sizes[] = {15, 16, 17, 33, 64, 129, 1030};
    for (const int m : sizes)
        for (int r = 0; r < 3; ++r) {
            gerc_case(m, 1 + rng.below(40), static_cast<Data>(rng.below(3)), rng.engine()());
            if (HasFailure()) return;
        }
}

TEST_P(Level2Fast, TriangularSmallSizes) { tr_all({0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 2, 4); }

TEST_P(Level2Fast, TriangularLargerSizes) {
    tr_all({15, 16, 17, 31, 32, 33, 63, 64, 65, 127, 128, 129, 255, 256, 257}, 1, 5);
    tr_all({600}, 1, 6);
}

// Several dot products at once, each continued from its own start value: each
// column's chain equals the single ZDOTC/ZDOTU loop over its rows in order.
TEST_P(Level2Fast, DotsContinueEachColumnsChain) {
    Rng rng(11);
    for (int r = 0; r < 120; ++r) {
        const int m = rng.below(4) == 0 ? rng.below(9) : rng.below(300);
        const int nc = rng.below(20), lda = std::max(1, m + rng.below(3));
        const bool conj = rng.below(2) != 0;
        const Data d = static_cast<Data>(rng.below(3));
        std::vector<zcomplex> a(static_cast<size_t>(lda) * std::max(nc, 1)), x(std::max(m, 1));
        for (auto& v : a) v = draw(d, rng, 1.0);
        for (auto& v : x) v = draw(d, rng, 1.0);
        std::vector<zcomplex> got(static_cast<size_t>(nc));
        for (auto& v : got) v = rng.below(2) ? signed_zero(rng) : draw(d, rng, 1.0);
        std::vector<zcomplex> want = got;
        for (int c = 0; c < nc; ++c)
            for (int i = 0; i < m; ++i) {
                const zcomplex e = a[static_cast<size_t>(i) + static_cast<size_t>(c) * lda];
                want[c] = want[c] + (conj ? qiv::conj(e) : e) * x[i];
            }
        if (m > 0 && nc > 0)
            qiv::dots_engine(GetParam(),
                             qiv::DotsArgs{conj, m, nc, a.data(), lda, x.data(), got.data()});
        ASSERT_EQ(diff(got, want), -1) << "m=" << m << " ncols=" << nc << " conj=" << conj;
    }
}

INSTANTIATE_TEST_SUITE_P(Isa, Level2Fast, ::testing::ValuesIn(qiv::all_isas),
                         [](const ::testing::TestParamInfo<Isa>& p) {
                             return std::string(qiv::isa_name(p.param));
                         });

// The routines themselves (argument checks, quick returns, then the engine of
// the best instruction set) against the plain loops, ALPHA = 0 included.
TEST(Level2FastRoutines, WholeRoutinesMatchPlainLoops) {
    Rng rng(7);
    for (int r = 0; r < 60; ++r) {
        const int m = rng.below(40), n = rng.below(40);
        const int lda = std::max(1, m + rng.below(2));
        const int incx = pick_inc(rng), incy = pick_inc(rng);
        const char* t = kTrans[rng.below(3)];
        const bool nt = t[0] == 'N';
        const zcomplex alpha = pick_scalar(rng, true), beta = pick_scalar(rng, true);
        const Data d = static_cast<Data>(rng.below(3));
        Padded a(m, n, lda, 9);
        for (int j = 1; j <= n; ++j)
            for (int i = 1; i <= m; ++i) a(i, j) = draw(d, rng, 1.0);
        Vec x(nt ? n : m, incx, d, rng), y(nt ? m : n, incy, d, rng), want = y;
        qivoracle::zgemv_plain(t, &m, &n, &alpha, a.data(), &lda, x.data(), &incx, &beta,
                               want.data(), &incy);
        qiv::ZGEMV(t, &m, &n, &alpha, a.data(), &lda, x.data(), &incx, &beta, y.data(), &incy);
        ASSERT_EQ(diff(y.buf, want.buf), -1) << "ZGEMV case " << r;

        Vec u(m, incx, d, rng), v(n, incy, d, rng);
        Padded b = a, bwant = a;
        qivoracle::zgerc_plain(&m, &n, &alpha, u.data(), &incx, v.data(), &incy, bwant.data(),
                               &lda);
        qiv::ZGERC(&m, &n, &alpha, u.data(), &incx, v.data(), &incy, b.data(), &lda);
        ASSERT_EQ(diff(b.block(), bwant.block()), -1) << "ZGERC case " << r;

        const char* uplo = rng.below(2) ? "U" : "L";
        const char* diag = rng.below(2) ? "U" : "N";
        const int ld = std::max(1, n);
        Padded tri(n, n, ld, 11);
        for (int j = 1; j <= n; ++j)
            for (int i = 1; i <= n; ++i) tri(i, j) = i == j ? zc(2, 0.5) : draw(d, rng, 0.05);
        Vec s(n, incx, d, rng), swant = s, p = s, pwant = s;
        qivoracle::ztrsv_plain(uplo, t, diag, &n, tri.data(), &ld, swant.data(), &incx);
        qiv::ZTRSV(uplo, t, diag, &n, tri.data(), &ld, s.data(), &incx);
        ASSERT_EQ(diff(s.buf, swant.buf), -1) << "ZTRSV case " << r;
        qivoracle::ztrmv_plain(uplo, t, diag, &n, tri.data(), &ld, pwant.data(), &incx);
        qiv::ZTRMV(uplo, t, diag, &n, tri.data(), &ld, p.data(), &incx);
        ASSERT_EQ(diff(p.buf, pwant.buf), -1) << "ZTRMV case " << r;
    }
}

}  // namespace
