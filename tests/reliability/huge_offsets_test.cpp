// Offsets are formed in 64 bits. Small orders (3 to 8) with leading
// dimensions (and increments) so large that the last column starts more than
// 2^31 elements, and so 2^35 bytes, after the first: the arrays live in
// sparse reservations where only the pages of described elements are
// accessible, so an offset that wrapped in 32 bits lands on an inaccessible
// page (or on a sentinel). Results must equal those of compact storage bit
// for bit. Skipped when the system refuses reservations of that size.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "reliability/exports.h"
#include "reliability/kernel_calls.h"

namespace {

using namespace reltest;

constexpr std::int64_t kOffset = (std::int64_t{1} << 31) + (std::int64_t{1} << 20);

// Whether the system grants a reservation like the ones the tests make.
bool sparse_mappings_available() {
    SparsePlacement probe(kOffset);
    probe.place({"probe", Elem::complex, 3, 3, true, true});
    return probe.ok();
}

struct Reach {
    std::int64_t elements = 0, bytes = 0;
};

class HugeOffsets : public ::testing::Test {
   protected:
    void SetUp() override {
        if (!sparse_mappings_available())
            GTEST_SKIP() << "the system refused a sparse reservation of 2^35 bytes";
    }

    void check(const Call& c, std::uint64_t seed, const std::string& group) {
        HeapPlacement compact(0);
        FaultNamer::during(c.label.c_str());
        const Outcome want = execute(c, compact, seed);
        SparsePlacement sparse(kOffset);
        const Outcome got = execute(c, sparse, seed);
        FaultNamer::during("");
        ASSERT_TRUE(sparse.ok()) << c.label << ": reservation refused";
        EXPECT_TRUE(got.padding_intact) << c.label << ": wrote outside the described elements";
        EXPECT_EQ(got.verdict, "") << c.label;
        EXPECT_EQ(compare(c, want, got), "") << c.label;
        Reach& r = reach_[group];
        r.elements = std::max(r.elements, sparse.max_element_offset());
        r.bytes = std::max(r.bytes, sparse.max_byte_offset());
    }

    void report() {
        for (const auto& [name, r] : reach_) {
            std::printf(
                "[ figures  ] %s: element offsets up to %lld (2^%.2f), byte offsets up to "
                "%lld (2^%.2f)\n",
                name.c_str(), static_cast<long long>(r.elements),
                std::log2(static_cast<double>(r.elements)), static_cast<long long>(r.bytes),
                std::log2(static_cast<double>(r.bytes)));
            EXPECT_GT(r.elements, std::int64_t{1} << 31) << name;
            EXPECT_GT(r.bytes, std::int64_t{1} << 32) << name;
        }
    }

    FaultNamer namer_;
    std::map<std::string, Reach> reach_;
};

TEST_F(HugeOffsets, Exports) {
    for (const ExportEntry& e : export_table()) {
        void* fn = module_symbol(e.symbol);
        ASSERT_NE(fn, nullptr) << e.symbol;
        for (int n = 3; n <= 8; ++n) {
            Rng rng(static_cast<std::uint64_t>(n) * 977);
            check(e.make(fn, n, n % 2 ? &rng : nullptr), n, e.symbol);
            if (HasFatalFailure()) return;
        }
    }
    report();
}

TEST_F(HugeOffsets, FastKernels) {
    const std::vector<std::array<int, 3>> gemm = {{3, 4, 5}, {8, 3, 6}};
    const std::vector<std::array<int, 2>> two = {{3, 5}, {7, 4}};
    for (const KernelTarget& t : kernel_targets()) {
        std::uint64_t seed = 1;
        for (const auto& calls :
             {gemm_calls(t, gemm, 21), trmat_calls(t, two, 22), level2_calls(t, two, 23)})
            for (const Call& c : calls) {
                check(c, seed++, c.label.substr(0, c.label.find(' ')));
                if (HasFatalFailure()) return;
            }
    }
    report();
}

}  // namespace
