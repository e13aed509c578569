#include "kernels/vector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "kernels/simd/isa.h"
#include "kernels/vector_engine.h"
#include "oracle/vector/vector_plain.h"
#include "support/matrix.h"
#include "support/special_values.h"

namespace {

using qiv::zcomplex;
using qivtest::same_bits;
using V = std::vector<zcomplex>;

const double inf = std::numeric_limits<double>::infinity();
const double nan = std::numeric_limits<double>::quiet_NaN();
const int one = 1, two = 2, three = 3;

bool identical(const zcomplex& a, const zcomplex& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
// |Re| + |Im| of element i, as the library's CABS1 forms it.
double magnitude_at(const V& v, int i) { return std::fabs(v[i].re) + std::fabs(v[i].im); }

bool same(const V& a, const V& b) {
    return qivtest::first_difference(a.data(), b.data(), a.size()) < 0;
}

// n elements stored with increment inc among sentinels. Element k of the walk
// (k = 0 … n-1) sits at offset k*inc, or (n-1-k)*|inc| for a negative inc.
struct Strided {
    Strided(const V& walk, int inc) : n(static_cast<int>(walk.size())), inc(inc) {
        buf.resize(n * std::abs(inc) + 9);
        for (std::size_t k = 0; k < buf.size(); ++k) buf[k] = qivtest::sentinel(k);
        for (int k = 0; k < n; ++k) at(k) = walk[k];
    }
    zcomplex& at(int k) { return buf[4 + (inc >= 0 ? k * inc : (n - 1 - k) * -inc)]; }
    zcomplex* p() { return &buf[4]; }
    V walk() {
        V v;
        for (int k = 0; k < n; ++k) v.push_back(at(k));
        return v;
    }
    bool gaps_intact() {
        std::vector<bool> used(buf.size());
        for (int k = 0; k < n; ++k) used[&at(k) - buf.data()] = true;
        for (std::size_t k = 0; k < buf.size(); ++k)
            if (!used[k] && !identical(buf[k], qivtest::sentinel(k))) return false;
        return true;
    }
    int n, inc;
    V buf;
};

V random_vector(int n, std::uint64_t seed) {
    qivtest::Rng rng(seed);
    V v(n);
    for (auto& z : v) z = rng.z();
    return v;
}

// Each any-increment routine gives, on a strided vector (negative and zero
// increments included), the bits its unit-stride loop gives on the elements
// in walk order, and writes nothing between them.
TEST(VectorKernels, StridedWalksMatchUnitStride) {
    const int n = 7;
    const zcomplex za{0.75, -1.25}, s{0.48, -0.64};
    const double c = 0.6;
    for (int incx : {-3, -1, 0, 2}) {
        for (int incy : {-2, 1, 3}) {
            SCOPED_TRACE(testing::Message() << "incx " << incx << " incy " << incy);
            V x = random_vector(n, 20 + incx), y = random_vector(n, 40 + incy);
            if (incx == 0) x.assign(n, x[0]);
            Strided xs(x, incx), ys(y, incy);
            qiv::ZAXPY(&n, &za, xs.p(), &incx, ys.p(), &incy);
            qiv::ZAXPY(&n, &za, x.data(), &one, y.data(), &one);
            EXPECT_TRUE(same(ys.walk(), y));
            EXPECT_TRUE(same_bits(qiv::ZDOTC(&n, xs.p(), &incx, ys.p(), &incy),
                                  qiv::ZDOTC(&n, x.data(), &one, y.data(), &one)));
            EXPECT_TRUE(same_bits(qiv::ZDOTU(&n, xs.p(), &incx, ys.p(), &incy),
                                  qiv::ZDOTU(&n, x.data(), &one, y.data(), &one)));
            EXPECT_TRUE(same_bits(qiv::DZNRM2(&n, xs.p(), &incx), qiv::DZNRM2(&n, x.data(), &one)));
            if (incx != 0) {  // the routines that write x
                qiv::ZROT(&n, xs.p(), &incx, ys.p(), &incy, &c, &s);
                qiv::ZROT(&n, x.data(), &one, y.data(), &one, &c, &s);
                qiv::ZSWAP(&n, xs.p(), &incx, ys.p(), &incy);
                qiv::ZSWAP(&n, x.data(), &one, y.data(), &one);
                qiv::ZLACGV(&n, xs.p(), &incx);
                qiv::ZLACGV(&n, x.data(), &one);
                EXPECT_TRUE(same(xs.walk(), x) && same(ys.walk(), y));
            }
            qiv::ZCOPY(&n, xs.p(), &incx, ys.p(), &incy);
            EXPECT_TRUE(same(ys.walk(), xs.walk()));
            EXPECT_TRUE(xs.gaps_intact() && ys.gaps_intact());
        }
    }
}

// Positive-increment-only routines: stride 2 equals unit stride; zero or
// negative increments do nothing and give 0.
TEST(VectorKernels, PositiveIncrementOnly) {
    const int n = 6;
    V x = random_vector(n, 3);
    x[4] = {9, -9};
    Strided xs(x, 2);
    const zcomplex za{-0.5, 2.0};
    const double da = -3.0;
    qiv::ZSCAL(&n, &za, xs.p(), &two);
    qiv::ZSCAL(&n, &za, x.data(), &one);
    qiv::ZDSCAL(&n, &da, xs.p(), &two);
    qiv::ZDSCAL(&n, &da, x.data(), &one);
    EXPECT_TRUE(same(xs.walk(), x) && xs.gaps_intact());
    EXPECT_TRUE(same_bits(qiv::DZASUM(&n, xs.p(), &two), qiv::DZASUM(&n, x.data(), &one)));
    EXPECT_EQ(qiv::IZAMAX(&n, xs.p(), &two), 5);
    const double dx[6] = {1, 0, -4, 0, 4, 0};
    EXPECT_EQ(qiv::IDAMAX(&n, dx, &one), 3);
    EXPECT_EQ(qiv::IDAMAX(&three, dx, &two), 2);
    for (int inc : {0, -1}) {
        const V before = x;
        double d[2] = {1, 2};
        qiv::ZSCAL(&n, &za, x.data(), &inc);
        qiv::ZDSCAL(&n, &da, x.data(), &inc);
        qiv::DSCAL(&two, &da, d, &inc);
        EXPECT_TRUE(same(x, before) && d[0] == 1.0);
        EXPECT_EQ(qiv::DZASUM(&n, x.data(), &inc), 0.0);
        EXPECT_EQ(qiv::IZAMAX(&n, x.data(), &inc), 0);
        EXPECT_EQ(qiv::IDAMAX(&n, dx, &inc), 0);
    }
}

TEST(VectorKernels, IndexOfLargestTiesAndNaN) {
    const V ties{{1, 2}, {3, 0}, {-2, -1}}, later{{1, 0}, {2, 2}, {0, 4}};
    EXPECT_EQ(qiv::IZAMAX(&three, ties.data(), &one), 1);
    EXPECT_EQ(qiv::IZAMAX(&three, later.data(), &one), 2);
    const V nan_first{{nan, 0}, {5, 0}}, nan_mid{{1, 0}, {nan, 0}, {0.5, 0}};
    EXPECT_EQ(qiv::IZAMAX(&two, nan_first.data(), &one), 1);
    EXPECT_EQ(qiv::IZAMAX(&three, nan_mid.data(), &one), 1);
    const double d[3] = {nan, -7, 7};
    EXPECT_EQ(qiv::IDAMAX(&three, d, &one), 1);
    EXPECT_EQ(qiv::IDAMAX(&two, d + 1, &one), 1);
}

// Only an exact unit factor is skipped; a zero factor is multiplied in.
TEST(VectorKernels, ScalingConjugatingAndSums) {
    const zcomplex payload = qivtest::sentinel(77), unit{1, 0}, zero{0, 0};
    V x{payload, {inf, 0}};
    qiv::ZSCAL(&two, &unit, x.data(), &one);
    EXPECT_TRUE(identical(x[0], payload));
    qiv::ZSCAL(&two, &zero, x.data(), &one);
    EXPECT_TRUE(std::isnan(x[1].re) && std::isnan(x[1].im));
    V y{{inf, 1}, {-2, 3}};
    const double dzero = 0.0, dthree = 3.0;
    qiv::ZDSCAL(&two, &dzero, y.data(), &one);
    EXPECT_TRUE(std::isnan(y[0].re) && same_bits(y[0].im, 0.0) && same_bits(y[1].re, -0.0));
    // DSCAL: n mod 5 single steps, then groups of five; exactly n scaled.
    for (int n = 0; n <= 11; ++n) {
        double d[13];
        for (int k = 0; k < 13; ++k) d[k] = k + 1;
        qiv::DSCAL(&n, &dthree, d, &one);
        for (int k = 0; k < 13; ++k) EXPECT_EQ(d[k], k < n ? 3.0 * (k + 1) : k + 1) << n;
    }
    // ZLACGV flips the sign bit only: +0 to -0, NaN payload kept.
    V z{{1, 0.0}, payload};
    qiv::ZLACGV(&two, z.data(), &one);
    std::uint64_t before, after;
    std::memcpy(&before, &payload.im, 8);
    std::memcpy(&after, &z[1].im, 8);
    EXPECT_TRUE(same_bits(z[0].im, -0.0) && (before ^ after) == 0x8000000000000000ull);
    const V s{{1, -2}, {-3, 4}};
    EXPECT_EQ(qiv::DZASUM(&two, s.data(), &one), 10.0);
}

TEST(VectorKernels, AxpyDotRotArithmetic) {
    // A zero factor returns before reading x; a NaN part does not.
    V y{{1, 2}, {3, 4}, {0, 0}};
    const V x{{nan, nan}, {1, 1}, {1, 0}};
    const zcomplex negzero{-0.0, 0.0}, nanfac{nan, 0}, inffac{inf, 0};
    qiv::ZAXPY(&two, &negzero, x.data(), &one, y.data(), &one);
    EXPECT_EQ(y[0].re, 1.0);
    qiv::ZAXPY(&two, &nanfac, x.data(), &one, y.data(), &one);
    EXPECT_TRUE(std::isnan(y[1].re) && std::isnan(y[1].im));
    // All four products formed: (inf + 0i)(1 + 0i) has imaginary part inf*0.
    qiv::ZAXPY(&one, &inffac, &x[2], &one, &y[2], &one);
    EXPECT_TRUE(y[2].re == inf && std::isnan(y[2].im));

    const zcomplex i{0, 1}, m1{-1, 0}, z0{0, 0};
    EXPECT_TRUE(same_bits(qiv::ZDOTC(&one, &i, &one, &i, &one), {1, 0}));
    EXPECT_TRUE(same_bits(qiv::ZDOTU(&one, &i, &one, &i, &one), {-1, 0}));
    // The sum starts at +0: a single product -0 + 0i gives +0.
    EXPECT_TRUE(same_bits(qiv::ZDOTU(&one, &m1, &one, &z0, &one), {0, 0}));

    // ZROT with c = 0, s = i: x := i*y, y := -conj(i)*x = i*x (old x). Then
    // c = 1, s = 0: c*x is a full complex product, so (inf, 1) gains a NaN.
    V rx{{1, 2}, {inf, 1}}, ry{{3, -4}, {0, 0}};
    const double c0 = 0.0, c1 = 1.0;
    const zcomplex si{0, 1}, s0{0, 0};
    qiv::ZROT(&one, rx.data(), &one, ry.data(), &one, &c0, &si);
    EXPECT_TRUE(same_bits(rx[0], {4, 3}) && same_bits(ry[0], {-2, 1}));
    qiv::ZROT(&two, rx.data(), &one, ry.data(), &one, &c1, &s0);
    EXPECT_TRUE(same_bits(rx[0], {4, 3}) && rx[1].re == inf && std::isnan(rx[1].im));
}

TEST(VectorKernels, NormAcrossTheExponentRange) {
    const int four = 4, zero = 0;
    const V v345{{3, 4}};
    EXPECT_EQ(qiv::DZNRM2(&one, v345.data(), &one), 5.0);
    EXPECT_EQ(qiv::DZNRM2(&four, v345.data(), &zero), 10.0);  // element 1 four times
    const V big{{0x1p600, 0}, {0, 0x1p600}}, small{{0x1p-600, 0x1p-600}};
    EXPECT_EQ(qiv::DZNRM2(&two, big.data(), &one), std::sqrt(2.0) * 0x1p600);
    EXPECT_EQ(qiv::DZNRM2(&one, small.data(), &one), std::sqrt(2.0) * 0x1p-600);
    const V small_and_mid{{3 * 0x1p-513, 4 * 0x1p-513}};  // one part in each bin
    EXPECT_EQ(qiv::DZNRM2(&one, small_and_mid.data(), &one), 5 * 0x1p-513);
    const V withinf{{1, 2}, {3, -inf}}, withnan{{0x1p-600, 1}, {0x1p700, nan}};
    EXPECT_EQ(qiv::DZNRM2(&two, withinf.data(), &one), inf);
    EXPECT_TRUE(std::isnan(qiv::DZNRM2(&two, withnan.data(), &one)));

    // Parts falling in one, two or all three bins, against long double (whose
    // exponent range holds every square).
    qivtest::Rng rng(99);
    const double scales[] = {0x1p-700, 0x1p-510, 1.0, 0x1p490, 0x1p700};
    for (int trial = 0; trial < 200; ++trial) {
        const int n = 1 + rng.below(9);
        V v(n);
        long double sum = 0;
        for (auto& z : v) {
            z = {rng.uniform() * scales[rng.below(5)], rng.uniform() * scales[rng.below(5)]};
            sum += (long double)z.re * z.re + (long double)z.im * z.im;
        }
        const double ref = static_cast<double>(std::sqrt(sum));
        EXPECT_LE(std::fabs(qiv::DZNRM2(&n, v.data(), &one) - ref), 4 * 0x1p-53 * ref) << trial;
    }
}

// The vector engine against the plain loops, bit for bit (any NaN for any
// NaN), on every instruction-set path the processor has: lengths around the
// register widths, uniform data, data with infinities, NaNs and signed zeros,
// and sparse data (zeros and ties of magnitude), special factors, and walks
// with unit, negative and matrix-row increments (two rows of one matrix
// interleave). Sentinels around the vectors catch stray writes.
class VectorFast : public testing::TestWithParam<qiv::Isa> {
   protected:
    void SetUp() override {
        if (!qiv::isa_supported(GetParam()))
            GTEST_SKIP() << "processor lacks " << qiv::isa_name(GetParam());
    }
};

using qivtest::Data;

V drawn(int len, Data d, qivtest::Rng& rng) {
    V v(len);
    for (auto& z : v) z = qivtest::draw(d, rng, 1.0, 6);
    return v;
}

// A buffer of len drawn elements between sentinels: the kernels work on
// p() = &buf[4] .. and must leave the sentinels alone.
V padded(int len, Data d, qivtest::Rng& rng) {
    V v = drawn(len, d, rng);
    V buf(len + 8);
    for (std::size_t k = 0; k < buf.size(); ++k) buf[k] = qivtest::sentinel(k);
    std::copy(v.begin(), v.end(), buf.begin() + 4);
    return buf;
}

zcomplex factor(qivtest::Rng& rng) {
    switch (rng.below(6)) {
        case 0:
            return {qivtest::special_part(rng), rng.uniform()};
        case 1:
            return {rng.uniform(), qivtest::special_part(rng)};
        case 2:
            return qivtest::signed_zero(rng);
        default:
            return rng.z();
    }
}

TEST_P(VectorFast, UnitStrideKernelsMatchPlainLoops) {
    const qiv::Isa isa = GetParam();
    qivtest::Rng rng(1800);
    for (Data d : {Data::uniform, Data::specials, Data::sparse}) {
        for (int n = 1; n <= 40; n += (n < 20 ? 1 : 7)) {
            SCOPED_TRACE(testing::Message() << "n " << n << " data " << static_cast<int>(d));
            const zcomplex a = factor(rng);
            const double da = rng.below(4) == 0 ? qivtest::special_part(rng) : rng.uniform();
            const V x = padded(n, d, rng);
            V y = padded(n, d, rng), want = y;
            qiv::zaxpy_unit(isa, n, a, &x[4], &y[4]);
            qivoracle::zaxpy_plain(n, a, &x[4], &want[4]);
            EXPECT_TRUE(same(y, want));
            qiv::zscal_unit(isa, n, a, &y[4]);
            qivoracle::zscal_plain(n, a, &want[4]);
            EXPECT_TRUE(same(y, want));
            qiv::zdscal_unit(isa, n, da, &y[4]);
            qivoracle::zdscal_plain(n, da, &want[4]);
            EXPECT_TRUE(same(y, want));
            EXPECT_TRUE(
                same_bits(qiv::dzasum_unit(isa, n, &x[4]), qivoracle::dzasum_plain(n, &x[4])));
            if (n >= 2) {
                EXPECT_EQ(qiv::izamax_unit(isa, n, &x[4]), qivoracle::izamax_plain(n, &x[4]));
            }
            // The update and the magnitude of IZAMAX's new element in one pass.
            const double got = qiv::zaxpy_izamax_magnitude(isa, n, a, &x[4], &y[4]);
            qivoracle::zaxpy_plain(n, a, &x[4], &want[4]);
            EXPECT_TRUE(same(y, want));
            EXPECT_TRUE(
                same_bits(got, magnitude_at(want, 4 + qivoracle::izamax_plain(n, &want[4]) - 1)));
        }
    }
}

// The first index of the largest magnitude: equal magnitudes in different
// lanes and units, a NaN first element, NaNs and infinities elsewhere.
TEST_P(VectorFast, IndexOfLargestKeepsTheFirstOfEqualMagnitudes) {
    const qiv::Isa isa = GetParam();
    qivtest::Rng rng(1801);
    for (int trial = 0; trial < 300; ++trial) {
        const int n = 2 + rng.below(37);
        V x(n);
        for (auto& z : x) z = {0.25 * rng.below(4), -0.25 * rng.below(3)};
        for (int k = rng.below(4); k > 0; --k) {
            const double p = rng.below(3) == 0 ? nan : (rng.below(2) ? inf : 2.0);
            x[rng.below(n)] = {p, -0.5};
        }
        EXPECT_EQ(qiv::izamax_unit(isa, n, x.data()), qivoracle::izamax_plain(n, x.data()))
            << "trial " << trial;
        // The magnitude picked after an update that adds zeros (x unchanged).
        const V zeros(n, zcomplex{0.0, 0.0});
        V y = x;
        EXPECT_TRUE(same_bits(
            qiv::zaxpy_izamax_magnitude(isa, n, zcomplex{0.5, -2.0}, zeros.data(), y.data()),
            magnitude_at(x, qivoracle::izamax_plain(n, x.data()) - 1)))
            << "trial " << trial;
    }
}

TEST_P(VectorFast, RotationsAndReflectorsMatchPlainLoops) {
    const qiv::Isa isa = GetParam();
    qivtest::Rng rng(1802);
    for (Data d : {Data::uniform, Data::specials}) {
        for (int n = 1; n <= 13; ++n) {
            SCOPED_TRACE(testing::Message() << "n " << n << " data " << static_cast<int>(d));
            const double c = rng.below(5) == 0 ? qivtest::special_part(rng) : rng.uniform();
            const zcomplex s = factor(rng);
            // Separate vectors with unit, negative and strided walks.
            for (int incx : {1, -1, 3}) {
                for (int incy : {1, -2}) {
                    const int lx = (n - 1) * std::abs(incx) + 1, ly = (n - 1) * std::abs(incy) + 1;
                    V x = padded(lx, d, rng), y = padded(ly, d, rng), wx = x, wy = y;
                    const std::ptrdiff_t ox = 4 + qiv::walk_start(n, incx);
                    const std::ptrdiff_t oy = 4 + qiv::walk_start(n, incy);
                    qiv::zrot_walk(isa, qiv::RotArgs{n, &x[ox], incx, &y[oy], incy, c, s});
                    qivoracle::zrot_plain(n, &wx[ox], incx, &wy[oy], incy, c, s);
                    EXPECT_TRUE(same(x, wx) && same(y, wy)) << incx << " " << incy;
                }
            }
            // Two rows of a matrix with leading dimension 5.
            const int ld = 5;
            V m = padded(ld * n, d, rng), wm = m;
            qiv::zrot_walk(isa, qiv::RotArgs{n, &m[5], ld, &m[6], ld, c, s});
            qivoracle::zrot_plain(n, &wm[5], ld, &wm[6], ld, c, s);
            EXPECT_TRUE(same(m, wm));

            // Reflectors: three columns of n rows (step 1), three rows of n
            // columns (step ld).
            const zcomplex s2 = factor(rng), s3 = rng.z(), t1 = rng.z(), t2 = factor(rng),
                           t3 = rng.z();
            V h = padded(ld * (n + 2), d, rng), wh = h;
            qiv::refl3_apply(
                isa, qiv::Refl3Args{n, &h[4], &h[4 + ld], &h[4 + 2 * ld], 1, s2, s3, t1, t2, t3});
            qivoracle::refl3_plain(n, &wh[4], &wh[4 + ld], &wh[4 + 2 * ld], 1, s2, s3, t1, t2, t3);
            EXPECT_TRUE(same(h, wh));
            qiv::refl3_apply(isa, qiv::Refl3Args{n, &h[5], &h[6], &h[7], ld, s2, s3, t1, t2, t3});
            qivoracle::refl3_plain(n, &wh[5], &wh[6], &wh[7], ld, s2, s3, t1, t2, t3);
            EXPECT_TRUE(same(h, wh));
            // Two-element reflectors likewise, with a real factor on x2.
            const double r = rng.below(5) == 0 ? qivtest::special_part(rng) : rng.uniform();
            qiv::refl2_apply(isa, qiv::Refl2Args{n, &h[4], &h[4 + ld], 1, s2, r, t1});
            qivoracle::refl2_plain(n, &wh[4], &wh[4 + ld], 1, s2, r, t1);
            EXPECT_TRUE(same(h, wh));
            qiv::refl2_apply(isa, qiv::Refl2Args{n, &h[5], &h[6], ld, t2, r, s3});
            qivoracle::refl2_plain(n, &wh[5], &wh[6], ld, t2, r, s3);
            EXPECT_TRUE(same(h, wh));
        }
    }
}

// Chains of reflectors as the sweep's bulges apply them, from the left to
// columns and from the right to rows, with lanes that join the chain late.
TEST_P(VectorFast, ReflectorChainsMatchPlainLoops) {
    const qiv::Isa isa = GetParam();
    qivtest::Rng rng(1804);
    for (int trial = 0; trial < 120; ++trial) {
        const int nb = 1 + rng.below(6), n = 1 + rng.below(19);
        const bool left = trial % 2 == 0;
        const int rows = left ? 2 * nb + 1 : n, cols = left ? n : 2 * nb + 1, ld = rows + 1;
        const Data d = trial % 3 == 0 ? Data::specials : Data::uniform;
        V a = padded(ld * cols, d, rng), want = a;
        V v = drawn(3 * nb, d, rng);
        const std::ptrdiff_t vstep = trial % 4 < 2 ? 3 : -3;
        const zcomplex* v0 = vstep > 0 ? v.data() : v.data() + 3 * (nb - 1);
        const int fmin = rng.below(n + 1), f0 = rng.below(n + 2 * nb + 1);
        const std::ptrdiff_t step = left ? ld : 1, across = left ? 1 : ld;
        const std::ptrdiff_t base = 4 + 2 * (nb - 1) * across;
        qiv::refl3_chain(
            isa, qiv::Refl3ChainArgs{n, &a[base], step, across, nb, v0, vstep, fmin, f0, left});
        qivoracle::refl3_chain_plain(n, &want[base], step, across, nb, v0, vstep, fmin, f0, left);
        EXPECT_TRUE(same(a, want)) << "trial " << trial;
    }
}

INSTANTIATE_TEST_SUITE_P(Isas, VectorFast, testing::ValuesIn(qiv::all_isas),
                         [](const testing::TestParamInfo<qiv::Isa>& i) {
                             return std::string(qiv::isa_name(i.param));
                         });

// The public kernels take the fast path only where elements are independent:
// vectors that overlap with a shift run the plain loop, whose order decides.
TEST(VectorKernels, OverlappingVectorsKeepThePlainOrder) {
    const int n = 9;
    const zcomplex a{0.5, -0.25}, s{0.48, -0.64};
    const double c = 0.6;
    V buf = random_vector(n + 2, 5), want = buf;
    qiv::ZAXPY(&n, &a, &buf[0], &one, &buf[1], &one);
    qivoracle::zaxpy_plain(n, a, &want[0], &want[1]);
    EXPECT_TRUE(same(buf, want));
    qiv::ZROT(&n, &buf[0], &one, &buf[2], &one, &c, &s);
    qivoracle::zrot_plain(n, &want[0], 1, &want[2], 1, c, s);
    EXPECT_TRUE(same(buf, want));
    V same_vec = random_vector(n, 6), want_same = same_vec;
    qiv::ZAXPY(&n, &a, same_vec.data(), &one, same_vec.data(), &one);
    qivoracle::zaxpy_plain(n, a, want_same.data(), want_same.data());
    EXPECT_TRUE(same(same_vec, want_same));
}

}  // namespace
