#include "kernels/matvec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "frame/complex.h"
#include "support/child.h"
#include "support/matrix.h"

namespace {

using qiv::zc;
using qiv::zcomplex;
using qivtest::Padded;
using qivtest::Rng;
using qivtest::same_bits;

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kTwo53 = 9007199254740992.0;  // 2^53: 2^53 + 1 rounds back to 2^53

// A strided vector: a 1-by-len Padded with leading dimension |inc|, so the
// gaps between elements and the margins hold sentinels.
struct Vec {
    Padded store;
    int inc;
    Vec(int len, int inc_, std::uint64_t seed) : store(1, len, std::abs(inc_), seed), inc(inc_) {}
    int len() const { return store.cols(); }
    // Logical element i (from 1): a negative increment stores the vector backwards.
    zcomplex& operator()(int i) { return store(1, inc > 0 ? i : len() + 1 - i); }
    zcomplex operator()(int i) const { return store(1, inc > 0 ? i : len() + 1 - i); }
    zcomplex* data() { return store.data(); }
    const zcomplex* data() const { return store.data(); }
    std::vector<zcomplex> logical() const {
        std::vector<zcomplex> v;
        for (int i = 1; i <= len(); ++i) v.push_back((*this)(i));
        return v;
    }
};

zcomplex small_int(Rng& rng) { return zc(rng.below(9) - 4, rng.below(9) - 4); }

void fill_int(Padded& a, Rng& rng) {
    for (int j = 1; j <= a.cols(); ++j)
        for (int i = 1; i <= a.rows(); ++i) a(i, j) = small_int(rng);
}
void fill_int(Vec& v, Rng& rng) {
    for (int i = 1; i <= v.len(); ++i) v(i) = small_int(rng);
}

bool unchanged(const std::vector<zcomplex>& now, const std::vector<zcomplex>& before) {
    return now.size() == before.size() &&
           qivtest::first_difference(now.data(), before.data(), now.size()) == -1;
}

const int kIncs[] = {1, -1, 2, -3};

// ---------------------------------------------------------------- ZGEMV

void gemv(const char* t, int m, int n, zcomplex alpha, const Padded& a, const Vec& x, zcomplex beta,
          Vec& y) {
    const int lda = a.ld(), incx = x.inc, incy = y.inc;
    qiv::ZGEMV(t, &m, &n, &alpha, a.data(), &lda, x.data(), &incx, &beta, y.data(), &incy);
}

TEST(Zgemv, ExactIntegerResultsForEveryTransAndIncrement) {
    const int m = 4, n = 3;
    Rng rng(3);
    for (const char* t : {"N", "T", "C"}) {
        const bool notrans = t[0] == 'N';
        for (int incx : kIncs) {
            for (int incy : kIncs) {
                SCOPED_TRACE(std::string(t) + " " + std::to_string(incx) + " " +
                             std::to_string(incy));
                Padded a(m, n, m + 2, 1);
                Vec x(notrans ? n : m, incx, 2), y(notrans ? m : n, incy, 3);
                fill_int(a, rng);
                fill_int(x, rng);
                fill_int(y, rng);
                const zcomplex alpha = zc(2, -1), beta = zc(-1, 3);
                const auto a0 = a.block(), x0 = x.logical(), y0 = y.logical();
                gemv(t, m, n, alpha, a, x, beta, y);
                for (int i = 1; i <= y.len(); ++i) {
                    zcomplex s = zc(0, 0);
                    for (int l = 1; l <= x.len(); ++l) {
                        const zcomplex e = notrans ? a(i, l) : a(l, i);
                        s = s + (t[0] == 'C' ? qiv::conj(e) : e) * x0[l - 1];
                    }
                    const zcomplex want = alpha * s + beta * y0[i - 1];
                    EXPECT_EQ(y(i).re, want.re) << i;
                    EXPECT_EQ(y(i).im, want.im) << i;
                }
                EXPECT_TRUE(unchanged(a.block(), a0) && unchanged(x.logical(), x0));
                EXPECT_TRUE(a.sentinels_intact() && x.store.sentinels_intact() &&
                            y.store.sentinels_intact());
            }
        }
    }
}

TEST(Zgemv, ConjugateAndTransposeOfOneByOne) {
    Padded a(1, 1, 1, 1);
    a(1, 1) = zc(2, 3);
    Vec x(1, 1, 2), y(1, 1, 3);
    x(1) = zc(1, 0);
    y(1) = zc(1, 2);
    gemv("c", 1, 1, zc(1, 1), a, x, zc(2, 0), y);  // (2 + 4i) + (1 + i)(2 - 3i)
    EXPECT_TRUE(same_bits(y(1), zc(7, 3)));
    y(1) = zc(1, 2);
    gemv("Transpose", 1, 1, zc(1, 1), a, x, zc(2, 0), y);  // (2 + 4i) + (1 + i)(2 + 3i)
    EXPECT_TRUE(same_bits(y(1), zc(1, 9)));
}

TEST(Zgemv, ScalarsZeroOneAndNaN) {
    const int m = 3, n = 2;
    for (const char* t : {"N", "T", "C"}) {
        SCOPED_TRACE(t);
        const int leny = t[0] == 'N' ? m : n, lenx = t[0] == 'N' ? n : m;
        Padded a(m, n, m, 1);
        Vec x(lenx, 1, 2);

        // BETA = 0: the old y (NaN, Inf) leaves no trace.
        Vec dirty(leny, -2, 3), clean(leny, -2, 3);
        for (int i = 1; i <= leny; ++i) {
            dirty(i) = zc(kNaN, kInf);
            clean(i) = zc(0, 0);
        }
        gemv(t, m, n, zc(0.5, 1.5), a, x, zc(0, 0), dirty);
        gemv(t, m, n, zc(0.5, 1.5), a, x, zc(0, 0), clean);
        EXPECT_TRUE(unchanged(dirty.logical(), clean.logical()));
        for (const zcomplex& z : dirty.logical()) EXPECT_FALSE(std::isnan(z.re + z.im));

        // ALPHA = 0: neither A nor x is read; BETA = 2 doubles y, BETA = 1
        // leaves it bit for bit.
        Padded nan_a(m, n, m, 4);
        Vec nan_x(lenx, 1, 5);
        for (int j = 1; j <= n; ++j)
            for (int i = 1; i <= m; ++i) nan_a(i, j) = zc(kNaN, kNaN);
        for (int i = 1; i <= lenx; ++i) nan_x(i) = zc(kInf, kNaN);
        Vec y(leny, 1, 6);
        const auto y0 = y.logical();
        gemv(t, m, n, zc(0, 0), nan_a, nan_x, zc(2, 0), y);
        for (int i = 1; i <= leny; ++i)
            EXPECT_TRUE(same_bits(y(i), zc(2 * y0[i - 1].re, 2 * y0[i - 1].im)));
        y(1) = qivtest::sentinel(5);
        const auto y1 = y.logical();
        gemv(t, m, n, zc(-0.0, 0), nan_a, nan_x, zc(1, 0), y);
        EXPECT_TRUE(unchanged(y.logical(), y1));

        // A NaN ALPHA or BETA reaches every element.
        Vec z(leny, 1, 7);
        gemv(t, m, n, zc(kNaN, 0), a, x, zc(1, 0), z);
        for (const zcomplex& e : z.logical()) EXPECT_TRUE(std::isnan(e.re) && std::isnan(e.im));
        Vec w(leny, 1, 7);
        gemv(t, m, n, zc(1, 0), a, x, zc(0, kNaN), w);
        for (const zcomplex& e : w.logical()) EXPECT_TRUE(std::isnan(e.re) && std::isnan(e.im));
    }
}

TEST(Zgemv, InfinityInAReachesYThroughZeroX) {
    for (const char* t : {"N", "T", "C"}) {
        Padded a(2, 2, 2, 1);
        a(1, 1) = zc(kInf, 0);
        Vec x(2, 1, 2), y(2, 1, 3);
        x(1) = zc(0, 0);
        gemv(t, 2, 2, zc(1, 0), a, x, zc(1, 0), y);
        EXPECT_TRUE(std::isnan(y(1).re)) << t;
    }
}

TEST(Zgemv, EmptyMatrixLeavesYAlone) {
    Padded a(3, 3, 3, 1);
    Vec x(2, 1, 2), y(3, 1, 3);
    const auto y0 = y.logical();
    gemv("N", 3, 0, zc(1, 0), a, x, zc(0, 0), y);  // y has length M = 3
    gemv("T", 0, 3, zc(1, 0), a, x, zc(0, 0), y);  // y has length N = 3
    EXPECT_TRUE(unchanged(y.logical(), y0));
}

// The column form rounds y after every column; the dot form sums first and
// adds to y last.
TEST(Zgemv, ColumnAndDotFormsKeepTheirOrder) {
    Padded row(1, 2, 1, 1), col(2, 1, 2, 1);
    row(1, 1) = col(1, 1) = zc(kTwo53, 0);
    row(1, 2) = col(2, 1) = zc(-kTwo53, 0);
    Vec ones(2, 1, 2), y(1, 1, 3);
    ones(1) = ones(2) = zc(1, 0);
    y(1) = zc(1, 0);
    gemv("N", 1, 2, zc(1, 0), row, ones, zc(1, 0), y);  // (1 + 2^53) - 2^53
    EXPECT_TRUE(same_bits(y(1), zc(0, 0)));
    y(1) = zc(1, 0);
    gemv("T", 2, 1, zc(1, 0), col, ones, zc(1, 0), y);  // (2^53 - 2^53) + 1
    EXPECT_TRUE(same_bits(y(1), zc(1, 0)));
}

// ---------------------------------------------------------------- ZGERC

void gerc(int m, int n, zcomplex alpha, const Vec& x, const Vec& y, Padded& a) {
    const int incx = x.inc, incy = y.inc, lda = a.ld();
    qiv::ZGERC(&m, &n, &alpha, x.data(), &incx, y.data(), &incy, a.data(), &lda);
}

TEST(Zgerc, ExactIntegerUpdateForEveryIncrement) {
    const int m = 4, n = 3;
    Rng rng(9);
    for (int incx : kIncs) {
        for (int incy : kIncs) {
            SCOPED_TRACE(std::to_string(incx) + " " + std::to_string(incy));
            Padded a(m, n, m + 3, 1);
            Vec x(m, incx, 2), y(n, incy, 3);
            fill_int(a, rng);
            fill_int(x, rng);
            fill_int(y, rng);
            const zcomplex alpha = zc(-2, 1);
            const auto a0 = a.block();
            gerc(m, n, alpha, x, y, a);
            for (int j = 1; j <= n; ++j) {
                for (int i = 1; i <= m; ++i) {
                    const zcomplex want =
                        a0[(i - 1) + (j - 1) * m] + alpha * x(i) * qiv::conj(y(j));
                    EXPECT_EQ(a(i, j).re, want.re);
                    EXPECT_EQ(a(i, j).im, want.im);
                }
            }
            EXPECT_TRUE(a.sentinels_intact() && x.store.sentinels_intact() &&
                        y.store.sentinels_intact());
        }
    }
}

TEST(Zgerc, ZeroTestsOnAlphaAndOnY) {
    Padded a(2, 3, 2, 1);
    a(1, 2) = zc(kNaN, kInf);
    a(2, 2) = qivtest::sentinel(3);
    Vec x(2, -1, 2), y(3, 2, 3);
    y(2) = zc(-0.0, 0.0);
    x(1) = zc(kInf, kInf);
    const auto a0 = a.block();
    gerc(2, 3, zc(1, 0), x, y, a);
    EXPECT_TRUE(same_bits(a(1, 2), a0[2]) && same_bits(a(2, 2), a0[3]));  // column 2 untouched
    EXPECT_TRUE(std::isnan(a(1, 1).re) && std::isnan(a(1, 3).re));        // others updated

    // ALPHA = 0 reads neither vector.
    const auto a1 = a.block();
    for (int i = 1; i <= 3; ++i) y(i) = zc(kNaN, kNaN);
    gerc(2, 3, zc(0, 0), x, y, a);
    gerc(0, 3, zc(1, 0), x, y, a);
    gerc(2, 0, zc(1, 0), x, y, a);
    EXPECT_TRUE(unchanged(a.block(), a1));
}

// t = ALPHA*conj(y(j)) is formed first, then x(i)*t: with 2^600 and 2^-600
// the product stays normal, whereas x(i)*conj(y(j)) alone would underflow.
TEST(Zgerc, AlphaMultipliesYFirst) {
    const double tiny = std::ldexp(1.0, -600);
    Padded a(1, 1, 1, 1);
    a(1, 1) = zc(0, 0);
    Vec x(1, 1, 2), y(1, 1, 3);
    x(1) = zc(tiny, 0);
    y(1) = zc(tiny, 0);
    gerc(1, 1, zc(std::ldexp(1.0, 600), 0), x, y, a);
    EXPECT_TRUE(same_bits(a(1, 1), zc(tiny, 0)));
}

// ------------------------------------------------------ ZTRMV and ZTRSV

using TriKernel = void (*)(const char*, const char*, const char*, const int*, const zcomplex*,
                           const int*, zcomplex*, const int*);

struct Tri {
    const char* uplo;
    const char* trans;
    const char* diag;
    bool upper() const { return uplo[0] == 'U'; }
    bool unit() const { return diag[0] == 'U'; }
    std::string name() const { return std::string(uplo) + trans + diag; }
};

std::vector<Tri> all_tri() {
    std::vector<Tri> out;
    for (const char* u : {"U", "L"})
        for (const char* t : {"N", "T", "C"})
            for (const char* d : {"N", "U"}) out.push_back({u, t, d});
    return out;
}

void tri(TriKernel f, const Tri& c, const Padded& a, Vec& x) {
    const int n = x.len(), lda = a.ld(), incx = x.inc;
    f(c.uplo, c.trans, c.diag, &n, a.data(), &lda, x.data(), &incx);
}

bool in_triangle(const Tri& c, int i, int j) { return c.upper() ? i <= j : i >= j; }

void poison_unread(const Tri& c, Padded& a) {
    for (int j = 1; j <= a.cols(); ++j)
        for (int i = 1; i <= a.rows(); ++i)
            if (!in_triangle(c, i, j) || (i == j && c.unit())) a(i, j) = zc(kNaN, -kNaN);
}

// op(A)*v with the triangle written out.
std::vector<zcomplex> op_times(const Tri& c, const Padded& a, const std::vector<zcomplex>& v) {
    const int n = static_cast<int>(v.size());
    std::vector<zcomplex> out;
    for (int i = 1; i <= n; ++i) {
        zcomplex s = zc(0, 0);
        for (int l = 1; l <= n; ++l) {
            const int r = c.trans[0] == 'N' ? i : l, k = c.trans[0] == 'N' ? l : i;
            if (!in_triangle(c, r, k)) continue;
            zcomplex e = r == k && c.unit() ? zc(1, 0) : a(r, k);
            if (c.trans[0] == 'C') e = qiv::conj(e);
            s = s + e * v[l - 1];
        }
        out.push_back(s);
    }
    return out;
}

TEST(TriangularVector, ExactProductsAndRoundTrips) {
    const int n = 5;
    const zcomplex units[] = {zc(1, 0), zc(-1, 0), zc(0, 1), zc(0, -1)};
    Rng rng(17);
    for (const Tri& c : all_tri()) {
        for (int inc : kIncs) {
            SCOPED_TRACE(c.name() + " " + std::to_string(inc));
            Padded a(n, n, n + 2, 1);
            for (int j = 1; j <= n; ++j)
                for (int i = 1; i <= n; ++i)
                    a(i, j) = i == j ? units[rng.below(4)] : zc(rng.below(5) - 2, rng.below(5) - 2);
            poison_unread(c, a);
            const auto a0 = a.block();
            Vec x(n, inc, 2);
            fill_int(x, rng);
            const auto x0 = x.logical();

            tri(qiv::ZTRMV, c, a, x);
            const auto want = op_times(c, a, x0);
            for (int i = 1; i <= n; ++i) {
                EXPECT_EQ(x(i).re, want[i - 1].re) << i;
                EXPECT_EQ(x(i).im, want[i - 1].im) << i;
            }
            tri(qiv::ZTRSV, c, a, x);
            for (int i = 1; i <= n; ++i) {
                EXPECT_EQ(x(i).re, x0[i - 1].re) << i;
                EXPECT_EQ(x(i).im, x0[i - 1].im) << i;
            }
            EXPECT_TRUE(unchanged(a.block(), a0) && a.sentinels_intact() &&
                        x.store.sentinels_intact());
        }
    }
}

TEST(TriangularVector, RandomSolveResidualAndReversedStorage) {
    const int n = 6;
    for (const Tri& c : all_tri()) {
        SCOPED_TRACE(c.name());
        Padded a(n, n, n + 1, 7);
        for (int i = 1; i <= n; ++i) a(i, i) = a(i, i) + zc(3, -1);
        poison_unread(c, a);
        for (TriKernel f : {TriKernel{qiv::ZTRMV}, TriKernel{qiv::ZTRSV}}) {
            Vec fwd(n, 1, 8), bwd(n, -1, 9);
            for (int i = 1; i <= n; ++i) bwd(i) = fwd(i);  // same logical vector, stored reversed
            const auto b = fwd.logical();
            tri(f, c, a, fwd);
            tri(f, c, a, bwd);
            EXPECT_TRUE(unchanged(bwd.logical(), fwd.logical()));
            if (f == TriKernel{qiv::ZTRSV}) {
                const auto r = op_times(c, a, fwd.logical());
                for (int i = 0; i < n; ++i) {
                    EXPECT_NEAR(r[i].re, b[i].re, 1e-13);
                    EXPECT_NEAR(r[i].im, b[i].im, 1e-13);
                }
            }
        }
    }
}

// The zero test on x(j) exists only in the "N" forms: there a zero x(j)
// skips the (infinite or zero) diagonal; the transposed forms use it anyway.
TEST(TriangularVector, ZeroTestOnlyWithoutTranspose) {
    for (const Tri& c : all_tri()) {
        if (c.unit()) continue;
        SCOPED_TRACE(c.name());
        Padded a(1, 1, 1, 1);
        Vec x(1, 1, 2);
        const bool skips = c.trans[0] == 'N';
        a(1, 1) = zc(kInf, 0);
        x(1) = zc(0, 0);
        tri(qiv::ZTRMV, c, a, x);
        EXPECT_EQ(std::isnan(x(1).re), !skips);

        a(1, 1) = zc(0, 0);
        x(1) = zc(0, 0);
        tri(qiv::ZTRSV, c, a, x);
        EXPECT_EQ(std::isnan(x(1).re), !skips);
        x(1) = zc(2, 0);
        tri(qiv::ZTRSV, c, a, x);
        EXPECT_TRUE(std::isnan(x(1).re) && std::isnan(x(1).im));

        a(1, 1) = zc(0, 1);
        x(1) = zc(1, 0);
        tri(qiv::ZTRSV, c, a, x);  // 1/conj(i) = i, 1/i = -i
        EXPECT_EQ(x(1).re, 0.0);
        EXPECT_EQ(x(1).im, c.trans[0] == 'C' ? 1.0 : -1.0);
    }
}

// Each element receives its two updates in the order the loops define: the
// first one brings +2^53 next to the starting value 1, the second -2^53, so
// the right order gives (1 + 2^53) - 2^53 = 0 and the reverse order 1.
TEST(TriangularVector, UpdatesArriveInLoopOrder) {
    struct Probe {
        TriKernel f;
        const char* uplo;
        const char* trans;
        int recv, first, second;
    };
    const Probe probes[] = {
        {qiv::ZTRMV, "U", "N", 1, 2, 3}, {qiv::ZTRMV, "L", "N", 3, 2, 1},
        {qiv::ZTRMV, "U", "T", 3, 2, 1}, {qiv::ZTRMV, "L", "C", 1, 2, 3},
        {qiv::ZTRSV, "U", "N", 1, 3, 2}, {qiv::ZTRSV, "L", "N", 3, 1, 2},
        {qiv::ZTRSV, "U", "C", 3, 1, 2}, {qiv::ZTRSV, "L", "T", 1, 3, 2},
    };
    for (const Probe& p : probes) {
        const Tri c{p.uplo, p.trans, "U"};
        SCOPED_TRACE(c.name() + (p.f == TriKernel{qiv::ZTRMV} ? " ZTRMV" : " ZTRSV"));
        const double sign = p.f == TriKernel{qiv::ZTRMV} ? 1.0 : -1.0;
        Padded a(3, 3, 3, 1);
        for (int j = 1; j <= 3; ++j)
            for (int i = 1; i <= 3; ++i) a(i, j) = zc(0, 0);
        const bool notrans = p.trans[0] == 'N';
        auto coupling = [&](int k) -> zcomplex& { return notrans ? a(p.recv, k) : a(k, p.recv); };
        coupling(p.first) = zc(sign * kTwo53, 0);
        coupling(p.second) = zc(-sign * kTwo53, 0);
        Vec x(3, 1, 2);
        for (int i = 1; i <= 3; ++i) x(i) = zc(1, 0);
        tri(p.f, c, a, x);
        EXPECT_EQ(x(p.recv).re, 0.0);
    }
}

// --------------------------------------------------------- argument checks

TEST(MatrixVector, ArgumentChecksInOrder) {
    zcomplex buf[16] = {};
    const zcomplex one = zc(1, 0);
    const auto gemv_args = [&](const char* t, int m, int n, int lda, int incx, int incy) {
        qiv::ZGEMV(t, &m, &n, &one, buf, &lda, buf, &incx, &one, buf, &incy);
    };
    EXPECT_ILLEGAL("ZGEMV", 1, gemv_args("U", 1, 1, 1, 1, 1));
    EXPECT_ILLEGAL("ZGEMV", 1, gemv_args("x", -1, -1, 0, 0, 0));
    EXPECT_ILLEGAL("ZGEMV", 2, gemv_args("c", -1, -1, 0, 0, 0));
    EXPECT_ILLEGAL("ZGEMV", 3, gemv_args("t", 1, -1, 0, 0, 0));
    EXPECT_ILLEGAL("ZGEMV", 6, gemv_args("N", 0, 1, 0, 0, 0));
    EXPECT_ILLEGAL("ZGEMV", 6, gemv_args("T", 3, 1, 2, 1, 1));
    EXPECT_ILLEGAL("ZGEMV", 8, gemv_args("N", 2, 1, 2, 0, 0));
    EXPECT_ILLEGAL("ZGEMV", 11, gemv_args("N", 2, 1, 2, -1, 0));

    const auto gerc_args = [&](int m, int n, int incx, int incy, int lda) {
        qiv::ZGERC(&m, &n, &one, buf, &incx, buf, &incy, buf, &lda);
    };
    EXPECT_ILLEGAL("ZGERC", 1, gerc_args(-1, -1, 0, 0, 0));
    EXPECT_ILLEGAL("ZGERC", 2, gerc_args(1, -1, 0, 0, 0));
    EXPECT_ILLEGAL("ZGERC", 5, gerc_args(1, 1, 0, 0, 0));
    EXPECT_ILLEGAL("ZGERC", 7, gerc_args(1, 1, -2, 0, 0));
    EXPECT_ILLEGAL("ZGERC", 9, gerc_args(0, 1, 1, 1, 0));
    EXPECT_ILLEGAL("ZGERC", 9, gerc_args(3, 1, 1, 1, 2));

    for (TriKernel f : {TriKernel{qiv::ZTRMV}, TriKernel{qiv::ZTRSV}}) {
        const std::string name = f == TriKernel{qiv::ZTRMV} ? "ZTRMV" : "ZTRSV";
        const auto args = [&](const char* u, const char* t, const char* d, int n, int lda,
                              int incx) { f(u, t, d, &n, buf, &lda, buf, &incx); };
        EXPECT_ILLEGAL(name, 1, args("N", "N", "N", 1, 1, 1));
        EXPECT_ILLEGAL(name, 1, args("X", "X", "X", -1, 0, 0));
        EXPECT_ILLEGAL(name, 2, args("l", "U", "X", -1, 0, 0));
        EXPECT_ILLEGAL(name, 3, args("u", "c", "L", -1, 0, 0));
        EXPECT_ILLEGAL(name, 4, args("U", "T", "u", -1, 0, 0));
        EXPECT_ILLEGAL(name, 6, args("U", "T", "n", 0, 0, 0));
        EXPECT_ILLEGAL(name, 6, args("L", "N", "N", 3, 2, 1));
        EXPECT_ILLEGAL(name, 8, args("L", "N", "N", 3, 3, 0));
    }
}

}  // namespace
