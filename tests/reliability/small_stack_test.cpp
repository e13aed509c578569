// A small, bounded stack: every export at order 1000 runs in a thread whose
// stack is 128 KiB. The stack is a buffer painted with a pattern, with an
// inaccessible page below it so that an overflow faults instead of
// corrupting memory; after the call the untouched bytes at its low end give
// the high-water mark. The call then runs again on a stack only one page
// larger than that mark, which must also work and give the same results.
// Each run happens in a child process, so a fault fails the test instead of
// ending the test program.
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "reliability/exports.h"
#include "support/child.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QIV_STACK_INSTRUMENTED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QIV_STACK_INSTRUMENTED 1
#endif
#endif

namespace {

using namespace reltest;

#ifdef QIV_STACK_INSTRUMENTED

TEST(SmallStack, EveryExportAtOrder1000FitsIn128KiB) {
    GTEST_SKIP() << "an instrumented build's frames (red zones, moved locals) say nothing about "
                    "the library's stack use";
}

#else

constexpr std::size_t kStack = 128 * 1024;
constexpr unsigned char kPaint = 0xdb;

struct StackRun {
    std::size_t used = 0;  // bytes of the stack buffer written, from its top
    Outcome out;
};

struct ThreadJob {
    const Call* call;
    std::uint64_t seed;
    Outcome out;
};

void* thread_body(void* arg) {
    auto* job = static_cast<ThreadJob*>(arg);
    if (job->call != nullptr) {
        HeapPlacement heap(1);
        job->out = execute(*job->call, heap, job->seed);
    }
    return nullptr;
}

// Runs the call (or nothing, for call = nullptr) in a thread whose stack is
// `size` painted bytes above an inaccessible page; returns the high-water
// mark. Must run in a child process: an overflow faults.
StackRun run_on_painted_stack(std::size_t size, const Call* call, std::uint64_t seed) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    void* region =
        mmap(nullptr, size + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (region == MAP_FAILED) std::abort();
    unsigned char* const stack = static_cast<unsigned char*>(region) + page;
    mprotect(region, page, PROT_NONE);
    std::memset(stack, kPaint, size);

    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstack(&attr, stack, size);
    ThreadJob job{call, seed, {}};
    pthread_t th;
    if (pthread_create(&th, &attr, thread_body, &job) != 0) std::abort();
    pthread_join(th, nullptr);
    pthread_attr_destroy(&attr);

    std::size_t untouched = 0;
    while (untouched < size && stack[untouched] == kPaint) ++untouched;
    StackRun r;
    r.used = size - untouched;
    r.out = std::move(job.out);
    munmap(region, size + page);
    return r;
}

// The figure a child reports on its standard output.
std::size_t used_from(const std::string& out) {
    unsigned long long v = 0;
    return std::sscanf(out.c_str(), "used %llu", &v) == 1 ? static_cast<std::size_t>(v) : 0;
}

TEST(SmallStack, EveryExportAtOrder1000FitsIn128KiB) {
    const int n = 1000;
    // What the thread itself needs before any call: its descriptor and
    // thread-local storage, which the runtime places at the top of the
    // stack buffer, and the thread start.
    const auto base = qivtest::run_in_child(
        [] { std::printf("used %zu\n", run_on_painted_stack(kStack, nullptr, 0).used); });
    const std::size_t baseline = used_from(base.out);
    ASSERT_GT(baseline, 0u) << base.out;

    for (const ExportEntry& e : export_table()) {
        void* fn = module_symbol(e.symbol);
        ASSERT_NE(fn, nullptr) << e.symbol;
        const Call call = e.make(fn, n, nullptr);
        HeapPlacement heap(1);
        const Outcome want = execute(call, heap, 7);

        // The child compares with the result made on the main thread and
        // reports the high-water mark.
        const auto run = [&](std::size_t size) {
            return qivtest::run_in_child([&] {
                const StackRun r = run_on_painted_stack(size, &call, 7);
                const std::string diff = compare(call, want, r.out);
                std::printf("used %zu%s%s\n", r.used, diff.empty() ? "" : " ", diff.c_str());
            });
        };
        const auto full = run(kStack);
        ASSERT_TRUE(full.exited) << call.label << ": faulted on a " << kStack / 1024
                                 << " KiB stack";
        ASSERT_EQ(full.status, 77) << full.out;
        const std::size_t used = used_from(full.out);
        EXPECT_EQ(full.out, "used " + std::to_string(used) + "\n") << call.label;
        EXPECT_LT(used, kStack) << call.label;

        // One page above the mark (rounded to whole pages) is enough.
        const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        const std::size_t tight = (used + page - 1) / page * page + page;
        const auto small = run(tight);
        EXPECT_TRUE(small.exited && small.status == 77)
            << call.label << ": faulted on a stack of " << tight << " bytes";
        EXPECT_EQ(small.out.rfind("used ", 0), 0u) << small.out;
        EXPECT_EQ(small.out.find(" differs"), std::string::npos) << small.out;

        std::printf(
            "[ figures  ] %s: stack high-water mark %zu bytes (%zu for the thread itself, "
            "%zu for the call); works on a %zu-byte stack\n",
            call.label.c_str(), used, baseline, used - baseline, tight);
    }
}

#endif

}  // namespace
