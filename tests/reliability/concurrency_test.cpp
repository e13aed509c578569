// Reentrancy: the exports called from eight threads at once, on different
// matrices of orders 1 to 600 (160 at the small scale), each result compared
// bit for bit with the same call made alone beforehand. A hidden shared
// state (a static buffer, a cached block size written during a call, a
// non-reentrant helper) shows up as a difference or, under ThreadSanitizer
// (scripts/test-sanitize), as a reported race.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <thread>

#include "reliability/exports.h"

namespace {

using namespace reltest;

struct Job {
    void* fn = nullptr;
    std::string symbol;
    int n = 0;
    std::uint64_t seed = 0;
    Call call;
    Outcome solo;
    std::string failure;  // written by the one thread that runs the job
};

double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

TEST(Concurrency, EightThreadsGiveTheResultsOfSoloCalls) {
    constexpr int kThreads = 8;
    const int calls = small_scale() ? 96 : 320;
    const int max_order = small_scale() ? 160 : 600;
    const auto& table = export_table();

    // The jobs: orders log-uniform in 1 ... max_order, with the edges and the
    // block boundary of the LU (64/65) always present; exports alternate so
    // that every thread calls every export.
    std::vector<Job> jobs(calls);
    Rng pick(20240601);
    const int fixed[] = {1, 2, 3, 64, 65, max_order, max_order - 1, 129};
    for (int k = 0; k < calls; ++k) {
        Job& j = jobs[k];
        const ExportEntry& e = table[(k + k / kThreads) % table.size()];
        j.fn = module_symbol(e.symbol);
        ASSERT_NE(j.fn, nullptr) << e.symbol << " not found in the module";
        j.symbol = e.symbol;
        j.n = k < static_cast<int>(std::size(fixed))
                  ? fixed[k]
                  : static_cast<int>(std::exp(pick.uniform() * 0.5 * std::log(max_order) +
                                              0.5 * std::log(max_order)));
        j.n = std::clamp(j.n, 1, max_order);
        j.seed = 1000 + k;
        Rng shape(j.seed);
        j.call = e.make(j.fn, j.n, &shape);
    }

    const auto t_solo = std::chrono::steady_clock::now();
    for (int k = 0; k < calls; ++k) {
        HeapPlacement heap(k % 3);
        jobs[k].solo = execute(jobs[k].call, heap, jobs[k].seed);
        ASSERT_TRUE(jobs[k].solo.padding_intact) << jobs[k].call.label;
    }
    const double solo_s = seconds_since(t_solo);

    // All threads start together and work through their share of the jobs,
    // each on its own arrays.
    std::atomic<int> ready{0};
    const auto worker = [&](int t) {
        ready.fetch_add(1);
        while (ready.load() < kThreads) std::this_thread::yield();
        for (int k = t; k < calls; k += kThreads) {
            HeapPlacement heap(k % 3);
            const Outcome got = execute(jobs[k].call, heap, jobs[k].seed);
            jobs[k].failure = compare(jobs[k].call, jobs[k].solo, got);
            if (!got.padding_intact) jobs[k].failure += " wrote outside its arrays";
        }
    };
    const auto t_conc = std::chrono::steady_clock::now();
    std::vector<std::thread> pool;
    for (int t = 0; t < kThreads; ++t) pool.emplace_back(worker, t);
    for (auto& th : pool) th.join();
    const double conc_s = seconds_since(t_conc);

    std::map<std::string, std::pair<int, int>> per_export;  // calls, largest order
    for (const Job& j : jobs) {
        EXPECT_EQ(j.failure, "") << "concurrent call differs from the solo call";
        auto& [count, largest] = per_export[j.symbol];
        ++count;
        largest = std::max(largest, j.n);
    }
    for (const auto& [symbol, v] : per_export)
        std::printf("[ figures  ] %s: %d calls, orders up to %d\n", symbol.c_str(), v.first,
                    v.second);
    std::printf("[ figures  ] %d calls from %d threads: solo %.2f s, concurrent %.2f s\n", calls,
                kThreads, solo_s, conc_s);
}

}  // namespace
