// The library touches only the elements its arguments describe. Every array
// argument is placed between inaccessible pages (first element right after
// one, last element right before one, 8-byte aligned complex data, every
// column of a matrix between its own inaccessible pages), the rows between
// the described ones and the rest of each page hold sentinels: a read outside
// the described elements faults, a write outside them changes a sentinel.
// Each call's results must also equal, bit for bit, those of the same call on
// ordinary storage. Covered: every export, and ZGEMM, ZTRSM, ZTRMM, ZGEMV,
// ZGERC, ZTRMV and ZTRSV in every form through the routine and through the
// engine of every instruction set the processor has, at sizes around the
// register tiles and cache blocks of the engines.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "reliability/exports.h"
#include "reliability/kernel_calls.h"
#include "support/child.h"

namespace {

using namespace reltest;

class GuardPages : public ::testing::Test {
   protected:
    // Runs c in the given placements and compares each with ordinary storage.
    void check(const Call& c, std::uint64_t seed, const std::vector<std::pair<Guard, int>>& modes) {
        HeapPlacement heap(1);
        FaultNamer::during(c.label.c_str());
        const Outcome want = execute(c, heap, seed);
        ASSERT_TRUE(want.padding_intact) << c.label << " wrote outside its arrays";
        ASSERT_EQ(want.verdict, "") << c.label;
        for (const auto& [mode, pad] : modes) {
            const std::string where = c.label + ", guard at the " + guard_name(mode);
            FaultNamer::during(where.c_str());
            GuardPlacement guard(mode, pad);
            const Outcome got = execute(c, guard, seed);
            ASSERT_NE(got.info, -99999) << where << ": mapping refused";
            EXPECT_TRUE(got.padding_intact) << where << ": wrote outside the described elements";
            EXPECT_EQ(got.verdict, "") << where;
            EXPECT_EQ(compare(c, want, got), "") << where;
            ++placements_;
        }
        FaultNamer::during("");
    }

    // Every placement for small calls; one, in rotation, for large ones (and
    // at the small scale).
    std::vector<std::pair<Guard, int>> modes_for(const Call& c) {
        static const std::vector<std::pair<Guard, int>> all = {{Guard::start, 0},
                                                               {Guard::end, 1},
                                                               {Guard::end_misaligned, 2},
                                                               {Guard::start_columns, 0},
                                                               {Guard::end_columns, 0}};
        std::size_t elems = 0;
        for (const ArrayArg& a : c.arrays)
            elems += static_cast<std::size_t>(a.rows) * static_cast<std::size_t>(a.cols);
        if (!small_scale() && elems <= 20000) return all;
        return {all[rotation_++ % all.size()]};
    }

    void sweep(const std::vector<Call>& calls, std::uint64_t seed) {
        for (const Call& c : calls) {
            check(c, seed++, modes_for(c));
            if (HasFatalFailure()) return;
            ++calls_[c.label.substr(0, c.label.find(' '))];
        }
    }

    FaultNamer namer_;
    std::size_t rotation_ = 0;
    int placements_ = 0;
    std::map<std::string, int> calls_;  // per routine
};

// The harness itself: a stray read one element before the first or after the
// last of a column faults, a stray write into the rows between the described
// ones or just past the array changes a sentinel.
TEST_F(GuardPages, HarnessCatchesStrayAccesses) {
    // rows x cols complex matrix; the call touches element (i, j) (from 1),
    // reading it or writing it.
    const auto stray = [](int i, int j, bool write) {
        Call c;
        c.label = "stray access";
        c.arrays = {{"A", Elem::complex, 5, 3, true, true}};
        c.run = [=](void* const* p, const int* ld) {
            volatile double* e =
                static_cast<double*>(p[0]) +
                2 * (static_cast<std::int64_t>(i - 1) + static_cast<std::int64_t>(j - 1) * ld[0]);
            if (write)
                *e = 1.0;
            else
                (void)*e;
            return 0;
        };
        return c;
    };
    const auto faults = [&](const Call& c, Guard g) {
        const auto r = qivtest::run_in_child([&] {
            FaultNamer::during("a deliberate stray access (expected to fault)");
            GuardPlacement where(g, 1);
            execute(c, where, 1);
        });
        return !r.exited;
    };
    EXPECT_TRUE(faults(stray(0, 1, false), Guard::start));
    EXPECT_TRUE(faults(stray(6, 3, false), Guard::end));
    EXPECT_TRUE(faults(stray(0, 2, false), Guard::start_columns));
    EXPECT_TRUE(faults(stray(6, 2, false), Guard::end_columns));
    EXPECT_FALSE(faults(stray(5, 3, false), Guard::end));  // the last described element

    GuardPlacement start(Guard::start, 1);
    EXPECT_FALSE(execute(stray(6, 1, true), start, 1).padding_intact);  // padding row
    GuardPlacement start2(Guard::start, 1);
    EXPECT_FALSE(execute(stray(6, 3, true), start2, 1).padding_intact);  // past the end
    GuardPlacement end(Guard::end, 1);
    EXPECT_TRUE(execute(stray(5, 3, true), end, 1).padding_intact);
}

TEST_F(GuardPages, Exports) {
    const std::vector<int> orders = small_scale()
                                        ? std::vector<int>{0, 1, 3, 65, 130}
                                        : std::vector<int>{0, 1, 2, 3, 17, 64, 65, 97, 130, 200};
    for (const ExportEntry& e : export_table()) {
        void* fn = module_symbol(e.symbol);
        ASSERT_NE(fn, nullptr) << e.symbol;
        for (const int n : orders)
            for (int draw = 0; draw < 2; ++draw) {
                Rng rng(static_cast<std::uint64_t>(n) * 31 + draw);
                const Call c = draw == 0 ? e.make(fn, n, nullptr) : e.make(fn, n, &rng);
                check(c, n + draw, modes_for(c));
                if (HasFatalFailure()) return;
                ++calls_[e.symbol];
            }
    }
    for (const auto& [name, count] : calls_)
        std::printf("[ figures  ] %s: %d calls\n", name.c_str(), count);
    std::printf("[ figures  ] %d guarded placements\n", placements_);
}

TEST_F(GuardPages, FastKernels) {
    const bool small = small_scale();
    // Sizes one past the engines' register tiles (2, 4, 8 rows; 4, 6, 12
    // columns) and cache blocks (ZGEMM 256/336 rows and 128/96 deep for A,
    // 16 x 96/168 x 128/72 for the transposed forms; the triangular engine's
    // 128-row groups and 192/256-element pieces; the level-2 chunk of 1024),
    // and empty shapes, which must touch nothing.
    const std::vector<std::array<int, 3>> gemm =
        small ? std::vector<std::array<int, 3>>{{1, 1, 1},     {9, 13, 7}, {337, 3, 97},
                                                {17, 169, 73}, {0, 5, 3},  {4, 5, 0}}
              : std::vector<std::array<int, 3>>{{1, 1, 1},    {9, 13, 7},    {257, 5, 129},
                                                {337, 3, 97}, {17, 169, 73}, {33, 97, 129},
                                                {0, 5, 3},    {4, 0, 3},     {4, 5, 0}};
    const std::vector<std::array<int, 2>> trmat =
        small ? std::vector<std::array<int, 2>>{{1, 1}, {17, 13}, {193, 5}, {7, 193}, {0, 3}}
              : std::vector<std::array<int, 2>>{{1, 1},   {17, 13}, {129, 7}, {193, 5}, {7, 193},
                                                {257, 3}, {3, 257}, {40, 40}, {0, 3},   {3, 0}};
    const std::vector<std::array<int, 2>> level2 =
        small ? std::vector<std::array<int, 2>>{{1, 1}, {33, 17}, {1030, 3}, {3, 0}}
              : std::vector<std::array<int, 2>>{{1, 1},   {7, 5},    {33, 17}, {100, 64},
                                                {3, 200}, {1030, 3}, {0, 3},   {3, 0}};
    for (const KernelTarget& t : kernel_targets()) {
        sweep(gemm_calls(t, gemm, 11), 100);
        if (HasFatalFailure()) return;
        sweep(trmat_calls(t, trmat, 12), 200);
        if (HasFatalFailure()) return;
        sweep(level2_calls(t, level2, 13), 300);
        if (HasFatalFailure()) return;
    }
    for (const auto& [name, count] : calls_)
        std::printf("[ figures  ] %s: %d calls\n", name.c_str(), count);
    std::printf("[ figures  ] %d guarded placements over %zu targets\n", placements_,
                kernel_targets().size());
}

}  // namespace
