// The fast ZGEMM against the plain loops, bit for bit (any NaN equals any NaN):
// every instruction-set path the test machine has, every TRANSA/TRANSB
// combination, sizes on both sides of the vector widths and cache blocks,
// padded leading dimensions, special scalars and data with signed zeros,
// infinities, NaNs and zero columns.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "frame/complex.h"
#include "kernels/engines/gemm/engine.h"
#include "kernels/gemm.h"
#include "kernels/simd/cpu.h"
#include "kernels/simd/isa.h"
#include "oracle/gemm/gemm_plain.h"
#include "support/matrix.h"
#include "support/special_values.h"

namespace {

using qiv::GemmOp;
using qiv::Isa;
using qiv::Tuning;
using qiv::zc;
using qiv::zcomplex;
using qivtest::Padded;
using qivtest::Rng;

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const char* const kOps[] = {"N", "T", "C"};

GemmOp op_of(const char* t) {
    return t[0] == 'N' ? GemmOp::none : t[0] == 'T' ? GemmOp::trans : GemmOp::conj;
}

// How the entries of a matrix are drawn.
enum class Data {
    uniform,   // uniform parts in [-1, 1)
    specials,  // uniform, with a few infinities, NaNs and signed zeros
    integers,  // small integers and signed zeros: many exact zero sums
};

// Fills the stored block of x; with a few columns (and for integer data also
// rows) set entirely to zeros of random signs.
void fill(Padded& x, Data d, Rng& rng) {
    const int rows = x.rows(), cols = x.cols();
    for (int j = 1; j <= cols; ++j) {
        for (int i = 1; i <= rows; ++i) {
            zcomplex v;
            if (d == Data::integers) {
                const int r = rng.below(7) - 3, s = rng.below(7) - 3;
                v = zc(r == 0 && rng.below(2) ? -0.0 : r, s == 0 && rng.below(2) ? -0.0 : s);
            } else {
                v = rng.z();
                if (d == Data::specials && rng.below(4 * rows * cols + 1) < 12) {
                    if (rng.below(2))
                        v.re = qivtest::special_part(rng);
                    else
                        v.im = qivtest::special_part(rng);
                }
            }
            x(i, j) = v;
        }
    }
    if (d == Data::uniform || cols == 0) return;
    for (int t = rng.below(3); t > 0; --t) {
        const int j = 1 + rng.below(cols);
        for (int i = 1; i <= rows; ++i)
            x(i, j) = zc(rng.below(2) ? 0.0 : -0.0, rng.below(2) ? 0.0 : -0.0);
    }
    if (d == Data::integers && rows > 0) {
        const int i = 1 + rng.below(rows);
        for (int j = 1; j <= cols; ++j) x(i, j) = zc(-0.0, 0.0);
    }
}

zcomplex pick_scalar(Rng& rng, bool allow_zero) {
    for (;;) {
        switch (rng.below(7)) {
            case 0:
                if (allow_zero) return zc(0.0, 0.0);
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

struct Case {
    const char* ta;
    const char* tb;
    int m, n, k;
    zcomplex alpha, beta;
    Data data;
    int pad;  // extra rows in every leading dimension
    std::uint64_t seed;

    std::string describe() const {
        std::ostringstream s;
        s << "TRANSA=" << ta << " TRANSB=" << tb << " M=" << m << " N=" << n << " K=" << k
          << " alpha=(" << alpha.re << "," << alpha.im << ") beta=(" << beta.re << "," << beta.im
          << ") data=" << static_cast<int>(data) << " pad=" << pad << " seed=" << seed;
        return s.str();
    }
};

// A case of the given shape with a random ALPHA, a BETA from the special
// scalars, random data and seed, drawn from rng in that order.
Case drawn_case(const char* ta, const char* tb, int m, int n, int k, int pad, Rng& rng) {
    const zcomplex alpha = rng.z();
    const zcomplex beta = pick_scalar(rng, true);
    const Data data = static_cast<Data>(rng.below(3));
    return Case{ta, tb, m, n, k, alpha, beta, data, pad, rng.engine()()};
}

// Runs one case through the plain loops and through `fast` (which receives
// the arguments by address like ZGEMM) and compares the whole of C, padding
// and margins included.
template <class Fast>
void check(const Case& t, Fast&& fast) {
    Rng rng(t.seed);
    const bool nota = t.ta[0] == 'N', notb = t.tb[0] == 'N';
    const int arows = nota ? t.m : t.k, acols = nota ? t.k : t.m;
    const int brows = notb ? t.k : t.n, bcols = notb ? t.n : t.k;
    Padded a(arows, acols, std::max(1, arows + t.pad), t.seed + 1);
    Padded b(brows, bcols, std::max(1, brows + t.pad), t.seed + 2);
    Padded c(t.m, t.n, std::max(1, t.m + t.pad), t.seed + 3);
    fill(a, t.data, rng);
    fill(b, t.data, rng);
    fill(c, rng.below(3) == 0 ? Data::specials : t.data, rng);
    Padded c_plain = c;
    const int lda = a.ld(), ldb = b.ld(), ldc = c.ld();
    qivoracle::zgemm_plain(t.ta, t.tb, &t.m, &t.n, &t.k, &t.alpha, a.data(), &lda, b.data(), &ldb,
                           &t.beta, c_plain.data(), &ldc);
    fast(t.ta, t.tb, &t.m, &t.n, &t.k, &t.alpha, a.data(), &lda, b.data(), &ldb, &t.beta, c.data(),
         &ldc);
    ASSERT_TRUE(c.sentinels_intact()) << "wrote outside C: " << t.describe();
    const std::vector<zcomplex> got = c.block(), want = c_plain.block();
    const long d = qivtest::first_difference(got.data(), want.data(), got.size());
    if (d >= 0) {
        const zcomplex g = got[static_cast<size_t>(d)], w = want[static_cast<size_t>(d)];
        FAIL() << t.describe() << "\n  first difference at C(" << d % std::max(1, t.m) + 1 << ","
               << d / std::max(1, t.m) + 1 << "): got (" << g.re << "," << g.im << ") want ("
               << w.re << "," << w.im << ")";
    }
}

// The engine of one instruction set, behind the same argument list; it is
// only called where ZGEMM would call it (ALPHA not zero, no quick return).
auto engine_of(Isa isa, Tuning tuning) {
    return
        [isa, tuning](const char* ta, const char* tb, const int* m, const int* n, const int* k,
                      const zcomplex* alpha, const zcomplex* a, const int* lda, const zcomplex* b,
                      const int* ldb, const zcomplex* beta, zcomplex* c, const int* ldc) {
            if (*m == 0 || *n == 0 || (qiv::is_one(*beta) && *k == 0)) return;
            const qiv::GemmArgs g{op_of(ta), op_of(tb), *m,   *n,    *k, *alpha, a,
                                  *lda,      b,         *ldb, *beta, c,  *ldc};
            qiv::gemm_engine(isa, tuning, g);
        };
}

// Every instruction set with every tuning table: the tables change only
// which outputs are computed together, so each one must match the plain
// loops bit for bit, whichever processor the tests run on.
class GemmFast : public ::testing::TestWithParam<std::tuple<Isa, Tuning>> {
   protected:
    static Isa isa() { return std::get<0>(GetParam()); }
    static Tuning tuning() { return std::get<1>(GetParam()); }

    void SetUp() override {
        if (!qiv::isa_supported(isa())) GTEST_SKIP() << "processor lacks " << qiv::isa_name(isa());
    }

    // Random cases with m, n, k drawn from the given sizes.
    void sweep(const std::vector<int>& sizes, int per_combination, std::uint64_t seed) {
        Rng rng(seed);
        const auto engine = engine_of(isa(), tuning());
        for (const char* ta : kOps) {
            for (const char* tb : kOps) {
                for (int r = 0; r < per_combination; ++r) {
                    const auto size = [&] {
                        return sizes[static_cast<size_t>(
                            rng.below(static_cast<int>(sizes.size())))];
                    };
                    Case t{ta,
                           tb,
                           size(),
                           size(),
                           size(),
                           pick_scalar(rng, false),
                           pick_scalar(rng, true),
                           static_cast<Data>(rng.below(3)),
                           rng.below(3) == 0 ? 0 : 1 + rng.below(5),
                           rng.engine()()};
                    check(t, engine);
                    if (HasFatalFailure() || HasFailure()) return;
                }
            }
        }
    }
};

// Every m, n, k from 0 to 9: all partial register tiles and vector tails.
TEST_P(GemmFast, SmallSizesExhaustive) {
    Rng rng(11);
    const auto engine = engine_of(isa(), tuning());
    for (const char* ta : kOps)
        for (const char* tb : kOps)
            for (int m = 0; m <= 9; ++m)
                for (int n = 0; n <= 9; ++n)
                    for (int k = 0; k <= 9; k += (m + n) % 2 + 1) {
                        Case t{ta,
                               tb,
                               m,
                               n,
                               k,
                               pick_scalar(rng, false),
                               pick_scalar(rng, true),
                               static_cast<Data>(rng.below(3)),
                               rng.below(3),
                               rng.engine()()};
                        check(t, engine);
                        if (HasFailure()) return;
                    }
}

// Sizes just below, at and above the vector widths and register tiles.
TEST_P(GemmFast, MediumSizes) { sweep({15, 16, 17, 31, 32, 33, 63, 64, 65}, 14, 22); }

// Sizes around the depth and row blocks (several blocks of K, of the rows of
// C and of the columns of C in one call).
TEST_P(GemmFast, BlockBoundaries) {
    sweep({1, 8, 71, 73, 95, 97, 127, 128, 129, 167, 169, 255, 256, 257, 335, 337}, 3, 33);
}

// op(A) = A at depths where the depth blocks change shape: one block up to
// half a block past KC_N when the blocks are balanced, then two or three of
// equal depth (and KC_N plus a short last block when they are not).
TEST_P(GemmFast, DepthBlocksOfTheUpdate) {
    Rng rng(66);
    const auto engine = engine_of(isa(), tuning());
    for (const int k : {143, 144, 145, 191, 240})
        for (const char* tb : kOps) {
            check(drawn_case("N", tb, 29, 11, k, 0, rng), engine);
            if (HasFailure()) return;
        }
}

// op(A) transposed with few columns of C (the shape of W := C^H*V in the
// block reflectors): column counts up to and past the column block, row
// counts around the row block, depths around the depth block.
TEST_P(GemmFast, FewColumnsTransposedA) {
    Rng rng(77);
    const auto engine = engine_of(isa(), tuning());
    const int ns[] = {1, 3, 8, 9, 16, 31, 32, 33};
    const int ms[] = {33, 47, 48, 49, 97, 150};
    const int ks[] = {0, 1, 63, 64, 65, 129};
    for (const char* ta : {"T", "C"})
        for (const char* tb : kOps)
            for (int r = 0; r < 10; ++r) {
                Case t{ta,
                       tb,
                       ms[rng.below(6)],
                       ns[rng.below(8)],
                       ks[rng.below(6)],
                       pick_scalar(rng, false),
                       pick_scalar(rng, true),
                       static_cast<Data>(rng.below(3)),
                       rng.below(3),
                       rng.engine()()};
                if (t.k == 0 && qiv::is_one(t.beta)) t.beta = zc(0.5, 0.0);
                check(t, engine);
                if (HasFailure()) return;
            }
}

// Leading dimensions of 1, 2 and 4 KiB, which put the columns a register tile
// reads in place into few cache sets: the transposed structures then take
// narrower tiles (with few columns of C too).
TEST_P(GemmFast, CrowdedLeadingDimensions) {
    Rng rng(88);
    const auto engine = engine_of(isa(), tuning());
    for (const char* ta : {"T", "C"})
        for (const char* tb : kOps)
            for (const int k : {64, 128, 256})
                for (const int n : {8, 20, 40}) {
                    Case t{ta,
                           tb,
                           70,
                           n,
                           k,
                           pick_scalar(rng, false),
                           pick_scalar(rng, true),
                           static_cast<Data>(rng.below(3)),
                           0,
                           rng.engine()()};
                    check(t, engine);
                    if (HasFailure()) return;
                }
}

// A few larger multiplies of every combination.
TEST_P(GemmFast, Larger) {
    Rng rng(44);
    const auto engine = engine_of(isa(), tuning());
    const int shapes[][3] = {{300, 200, 270}, {520, 40, 131}, {70, 390, 300}};
    int s = 0;
    for (const char* ta : kOps)
        for (const char* tb : kOps) {
            const int* sh = shapes[s++ % 3];
            check(drawn_case(ta, tb, sh[0], sh[1], sh[2], 1, rng), engine);
            if (HasFailure()) return;
        }
}

// Special scalars on matrices holding infinities and NaNs in C: BETA = 0 must
// leave no trace of the old C, ALPHA and BETA with NaN parts spread NaN.
TEST_P(GemmFast, SpecialScalars) {
    Rng rng(55);
    const auto engine = engine_of(isa(), tuning());
    const zcomplex alphas[] = {zc(1, 0),    zc(-1, 0),   zc(kNaN, 0),
                               zc(0, kNaN), zc(-0.0, 1), zc(kInf, 0)};
    const zcomplex betas[] = {zc(0, 0),  zc(-0.0, -0.0), zc(1, 0),   zc(1, -0.0),
                              zc(-1, 0), zc(kNaN, 0),    zc(0.5, -2)};
    for (const char* ta : kOps)
        for (const char* tb : kOps)
            for (const zcomplex al : alphas)
                for (const zcomplex be : betas) {
                    Case t{ta,
                           tb,
                           13,
                           14,
                           1 + rng.below(20),
                           al,
                           be,
                           Data::specials,
                           2,
                           rng.engine()()};
                    check(t, engine);
                    if (HasFailure()) return;
                }
}

// The one case the text singles out: op(A) = A, B(1, 1) = 0 and
// A(1, 1) = infinity give NaN in C(1, 1): no product is skipped.
TEST_P(GemmFast, ZeroTimesInfinityIsNotSkipped) {
    const auto engine = engine_of(isa(), tuning());
    for (const char* tb : kOps) {
        const int m = 9, n = 13, k = 3, ld = 16;
        std::vector<zcomplex> a(ld * 16, zc(1, 1)), b(ld * 16, zc(0, 0)), c(ld * 16, zc(2, 0));
        a[0] = zc(kInf, 0);
        const zcomplex alpha = zc(1, 0), beta = zc(1, 0);
        engine("N", tb, &m, &n, &k, &alpha, a.data(), &ld, b.data(), &ld, &beta, c.data(), &ld);
        EXPECT_TRUE(std::isnan(c[0].re) && std::isnan(c[0].im)) << "TRANSB=" << tb;
        EXPECT_EQ(c[1].re, 2.0);
    }
}

INSTANTIATE_TEST_SUITE_P(IsaTuning, GemmFast,
                         ::testing::Combine(::testing::ValuesIn(qiv::all_isas),
                                            ::testing::ValuesIn(qiv::all_tunings)),
                         [](const ::testing::TestParamInfo<std::tuple<Isa, Tuning>>& p) {
                             return std::string(qiv::isa_name(std::get<0>(p.param))) + "_" +
                                    qiv::tuning_name(std::get<1>(p.param));
                         });

// ZGEMM itself (argument checks, quick returns, ALPHA = 0, then the engine of
// the best instruction set) against the plain loops, ALPHA = 0 and empty
// dimensions included.
TEST(GemmFastZgemm, WholeRoutineMatchesPlainLoops) {
    Rng rng(66);
    const int sizes[] = {0, 1, 2, 7, 8, 9, 17, 33, 130};
    for (const char* ta : kOps)
        for (const char* tb : kOps)
            for (int r = 0; r < 40; ++r) {
                Case t{ta,
                       tb,
                       sizes[rng.below(9)],
                       sizes[rng.below(9)],
                       sizes[rng.below(9)],
                       pick_scalar(rng, true),
                       pick_scalar(rng, true),
                       static_cast<Data>(rng.below(3)),
                       rng.below(3),
                       rng.engine()()};
                check(t, qiv::ZGEMM);
                if (HasFailure()) return;
            }
}

// The chooser picks a supported set, and the widest one present; the
// narrowest set runs everywhere, and every set has its own name.
TEST(GemmFastIsa, BestIsSupportedAndWidest) {
    const Isa best = qiv::best_isa();
    EXPECT_TRUE(qiv::isa_supported(best));
    EXPECT_TRUE(qiv::isa_supported(qiv::all_isas.front()));
    for (const Isa isa : qiv::all_isas) {
        if (qiv::isa_supported(isa)) {
            EXPECT_LE(static_cast<int>(isa), static_cast<int>(best));
        }
    }
    std::set<std::string> names;
    for (const Isa isa : qiv::all_isas) names.insert(qiv::isa_name(isa));
    EXPECT_EQ(names.size(), qiv::all_isas.size());
}

}  // namespace
