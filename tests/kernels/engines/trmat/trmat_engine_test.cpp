// The fast ZTRSM and ZTRMM against the plain loops, bit for bit (any NaN equals
// any NaN): every instruction-set path the test machine has, all eight cases of
// each routine with both diagonals, sizes on both sides of the vector widths,
// register tiles, groups and pieces, padded leading dimensions, special ALPHA
// and data with signed zeros, infinities, NaNs and zero rows and columns (which
// exercise the zero tests).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "frame/complex.h"
#include "kernels/engines/trmat/engine.h"
#include "kernels/simd/cpu.h"
#include "kernels/simd/isa.h"
#include "kernels/trmat.h"
#include "oracle/trmat/trmat_plain.h"
#include "support/matrix.h"
#include "support/special_values.h"

namespace {

using qiv::Isa;
using qiv::Tuning;
using qiv::zc;
using qiv::zcomplex;
using qivtest::Data;
using qivtest::Padded;
using qivtest::Rng;
using qivtest::signed_zero;

const double kNaN = std::numeric_limits<double>::quiet_NaN();

zcomplex draw(Data d, Rng& rng, double scale) { return qivtest::draw(d, rng, scale, 200); }

// The triangular matrix: off-diagonal entries of size about 1/order so that
// solves stay finite, a diagonal away from zero (it is still read only when
// stored), and with sparse data some zero entries.
void fill_a(Padded& a, Data d, Rng& rng) {
    const int n = a.rows();
    const double off = 1.0 / std::max(1, n);
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= n; ++i) {
            if (i == j) {
                a(i, j) = d == Data::sparse && rng.below(8) == 0
                              ? signed_zero(rng)
                              : zc((rng.below(2) ? 1 : -1) * (1.0 + rng.uniform() * 0.5),
                                   rng.uniform() * 0.5);
            } else {
                a(i, j) = draw(d, rng, off);
            }
        }
}

void fill_b(Padded& b, Data d, Rng& rng) {
    for (int j = 1; j <= b.cols(); ++j)
        for (int i = 1; i <= b.rows(); ++i) b(i, j) = draw(d, rng, 1.0);
    if (d == Data::uniform || b.rows() == 0 || b.cols() == 0) return;
    for (int t = rng.below(3); t > 0; --t) {
        const int j = 1 + rng.below(b.cols());
        for (int i = 1; i <= b.rows(); ++i) b(i, j) = signed_zero(rng);
    }
    for (int t = rng.below(3); t > 0; --t) {
        const int i = 1 + rng.below(b.rows());
        for (int j = 1; j <= b.cols(); ++j) b(i, j) = signed_zero(rng);
    }
}

zcomplex pick_alpha(Rng& rng) {
    switch (rng.below(6)) {
        case 0:
            return zc(1.0, 0.0);
        case 1:
            return zc(-1.0, 0.0);
        case 2:
            return rng.below(2) ? zc(kNaN, 0.0) : zc(0.0, kNaN);
        case 3:
            return zc(0.0, 1.0);
        default:
            return rng.z();
    }
}

struct Options {
    const char *side, *uplo, *trans, *diag;
};

// The 24 option combinations.
std::vector<Options> all_options() {
    std::vector<Options> o;
    for (const char* s : {"L", "R"})
        for (const char* u : {"U", "L"})
            for (const char* t : {"N", "T", "C"})
                for (const char* d : {"U", "N"}) o.push_back({s, u, t, d});
    return o;
}

struct Case {
    bool solve;  // ZTRSM, else ZTRMM
    Options o;
    int m, n;
    zcomplex alpha;
    Data data;
    int pad;
    std::uint64_t seed;

    std::string describe() const {
        std::ostringstream s;
        s << (solve ? "ZTRSM" : "ZTRMM") << " SIDE=" << o.side << " UPLO=" << o.uplo
          << " TRANSA=" << o.trans << " DIAG=" << o.diag << " M=" << m << " N=" << n << " alpha=("
          << alpha.re << "," << alpha.im << ") data=" << static_cast<int>(data) << " pad=" << pad
          << " seed=" << seed;
        return s.str();
    }
};

using Routine = void (*)(const char*, const char*, const char*, const char*, const int*, const int*,
                         const zcomplex*, const zcomplex*, const int*, zcomplex*, const int*);

// Runs one case through the plain loops and through `fast` and compares the
// whole of B, padding and margins included; A must be left untouched.
template <class Fast>
void check(const Case& t, Fast&& fast) {
    Rng rng(t.seed);
    const int na = t.o.side[0] == 'L' ? t.m : t.n;
    Padded a(na, na, std::max(1, na + t.pad), t.seed + 1);
    Padded b(t.m, t.n, std::max(1, t.m + t.pad), t.seed + 2);
    fill_a(a, t.data, rng);
    fill_b(b, t.data, rng);
    const Padded a0 = a;
    Padded want = b;
    const int lda = a.ld(), ldb = b.ld();
    const Routine plain = t.solve ? qivoracle::ztrsm_plain : qivoracle::ztrmm_plain;
    plain(t.o.side, t.o.uplo, t.o.trans, t.o.diag, &t.m, &t.n, &t.alpha, a.data(), &lda,
          want.data(), &ldb);
    fast(t.solve, t.o, &t.m, &t.n, &t.alpha, a.data(), &lda, b.data(), &ldb);
    ASSERT_TRUE(b.sentinels_intact()) << "wrote outside B: " << t.describe();
    ASSERT_EQ(qivtest::first_difference(a.data(), a0.data(), a.ld() * std::max(1, na)), -1)
        << "changed A: " << t.describe();
    const std::vector<zcomplex> got = b.block(), exp = want.block();
    const long d = qivtest::first_difference(got.data(), exp.data(), got.size());
    if (d >= 0) {
        const zcomplex g = got[static_cast<size_t>(d)], w = exp[static_cast<size_t>(d)];
        FAIL() << t.describe() << "\n  first difference at B(" << d % std::max(1, t.m) + 1 << ","
               << d / std::max(1, t.m) + 1 << "): got (" << g.re << "," << g.im << ") want ("
               << w.re << "," << w.im << ")";
    }
}

qiv::TrOp op_of(const char* t) {
    return t[0] == 'N' ? qiv::TrOp::none : t[0] == 'T' ? qiv::TrOp::trans : qiv::TrOp::conj;
}

// The engine of one instruction set, called where ZTRSM and ZTRMM call it
// (no empty B, ALPHA not zero).
auto engine_of(Isa isa, Tuning tuning) {
    return [isa, tuning](bool solve, const Options& o, const int* m, const int* n,
                         const zcomplex* alpha, const zcomplex* a, const int* lda, zcomplex* b,
                         const int* ldb) {
        if (*m == 0 || *n == 0) return;
        const qiv::TrmatArgs g{o.side[0] == 'L',
                               o.uplo[0] == 'U',
                               op_of(o.trans),
                               o.diag[0] == 'U',
                               *m,
                               *n,
                               *alpha,
                               a,
                               *lda,
                               b,
                               *ldb};
        if (solve)
            qiv::trsm_engine(isa, tuning, g);
        else
            qiv::trmm_engine(isa, tuning, g);
    };
}

// Every instruction set with every tuning table: the tables change only
// which outputs are computed together, so each one must match the plain
// loops bit for bit, whichever processor the tests run on.
class TrmatFast : public ::testing::TestWithParam<std::tuple<Isa, Tuning>> {
   protected:
    static Isa isa() { return std::get<0>(GetParam()); }
    static Tuning tuning() { return std::get<1>(GetParam()); }

    void SetUp() override {
        if (!qiv::isa_supported(isa())) GTEST_SKIP() << "processor lacks " << qiv::isa_name(isa());
    }

    // Random cases of every routine and option combination with sizes drawn
    // from the lists given for M and N.
    void sweep(const std::vector<int>& ms, const std::vector<int>& ns, int per_combination,
               std::uint64_t seed) {
        Rng rng(seed);
        const auto engine = engine_of(isa(), tuning());
        const auto pick = [&](const std::vector<int>& v) {
            return v[static_cast<size_t>(rng.below(static_cast<int>(v.size())))];
        };
        for (const bool solve : {true, false})
            for (const Options& o : all_options())
                for (int r = 0; r < per_combination; ++r) {
                    Case t{solve,
                           o,
                           pick(ms),
                           pick(ns),
                           pick_alpha(rng),
                           static_cast<Data>(rng.below(3)),
                           rng.below(3) == 0 ? 0 : 1 + rng.below(5),
                           rng.engine()()};
                    check(t, engine);
                    if (HasFailure()) return;
                }
    }
};

// Every M and N from 0 to 9: partial units, tiles and strips.
TEST_P(TrmatFast, SmallSizesExhaustive) {
    Rng rng(11);
    const auto engine = engine_of(isa(), tuning());
    for (const bool solve : {true, false})
        for (const Options& o : all_options())
            for (int m = 0; m <= 9; ++m)
                for (int n = 0; n <= 9; ++n) {
                    Case t{solve,
                           o,
                           m,
                           n,
                           pick_alpha(rng),
                           static_cast<Data>(rng.below(3)),
                           rng.below(3),
                           rng.engine()()};
                    check(t, engine);
                    if (HasFailure()) return;
                }
}

// Sizes just below, at and above the vector widths, tiles and groups.
TEST_P(TrmatFast, MediumSizes) {
    const std::vector<int> s = {15, 16, 17, 31, 32, 33, 63, 64, 65};
    sweep(s, s, 6, 22);
}

// Several groups and pieces of far rows, several column blocks.
TEST_P(TrmatFast, BlockBoundaries) {
    sweep({127, 128, 129, 255, 256, 257}, {1, 7, 13, 25}, 2, 33);
    sweep({3, 12, 40}, {127, 129, 255, 257}, 2, 34);
}

// A few larger problems of every case.
TEST_P(TrmatFast, Larger) { sweep({300, 530}, {130, 61}, 1, 44); }

// A right-hand side that is an identity block: long runs of zero B(k, j)
// (whole steps skipped, partial steps done element by element).
TEST_P(TrmatFast, IdentityRightHandSides) {
    const auto engine = engine_of(isa(), tuning());
    for (const bool solve : {true, false})
        for (const Options& o : all_options()) {
            if (o.side[0] != 'L') continue;
            const int m = 150, n = 40;
            Rng rng(8);
            Padded a(m, m, m + 1, 3), b(m, n, m, 4);
            fill_a(a, Data::uniform, rng);
            for (int j = 1; j <= n; ++j)
                for (int i = 1; i <= m; ++i) b(i, j) = zc(i == j + 50 ? 1.0 : 0.0, 0.0);
            Padded want = b;
            const zcomplex alpha = zc(1.0, 0.0);
            const int lda = a.ld(), ldb = b.ld();
            (solve ? qivoracle::ztrsm_plain : qivoracle::ztrmm_plain)(
                o.side, o.uplo, o.trans, o.diag, &m, &n, &alpha, a.data(), &lda, want.data(), &ldb);
            engine(solve, o, &m, &n, &alpha, a.data(), &lda, b.data(), &ldb);
            const auto got = b.block(), exp = want.block();
            EXPECT_EQ(qivtest::first_difference(got.data(), exp.data(), got.size()), -1)
                << (solve ? "ZTRSM " : "ZTRMM ") << o.side << o.uplo << o.trans << o.diag;
        }
}

INSTANTIATE_TEST_SUITE_P(IsaTuning, TrmatFast,
                         ::testing::Combine(::testing::ValuesIn(qiv::all_isas),
                                            ::testing::ValuesIn(qiv::all_tunings)),
                         [](const ::testing::TestParamInfo<std::tuple<Isa, Tuning>>& p) {
                             return std::string(qiv::isa_name(std::get<0>(p.param))) + "_" +
                                    qiv::tuning_name(std::get<1>(p.param));
                         });

// ZTRSM and ZTRMM themselves (argument checks, quick returns, ALPHA = 0, then
// the engine of the best instruction set) against the plain loops.
TEST(TrmatFastRoutines, WholeRoutinesMatchPlainLoops) {
    Rng rng(66);
    const int sizes[] = {0, 1, 2, 7, 8, 9, 17, 33, 130};
    const auto routine = [](bool solve, const Options& o, const int* m, const int* n,
                            const zcomplex* alpha, const zcomplex* a, const int* lda, zcomplex* b,
                            const int* ldb) {
        (solve ? qiv::ZTRSM : qiv::ZTRMM)(o.side, o.uplo, o.trans, o.diag, m, n, alpha, a, lda, b,
                                          ldb);
    };
    for (const bool solve : {true, false})
        for (const Options& o : all_options())
            for (int r = 0; r < 3; ++r) {
                Case t{solve,
                       o,
                       sizes[rng.below(9)],
                       sizes[rng.below(9)],
                       rng.below(4) == 0 ? zc(rng.below(2) ? 0.0 : -0.0, 0.0) : pick_alpha(rng),
                       static_cast<Data>(rng.below(3)),
                       rng.below(3),
                       rng.engine()()};
                check(t, routine);
                if (HasFailure()) return;
            }
}

}  // namespace
