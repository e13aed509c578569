// The machine's yardsticks: the peak rate of independent vector multiplies and
// adds (separate instructions, as the library's kernels use them) and the
// streaming read bandwidth of one core.
#include <immintrin.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

#include "bench.h"
#include "kernels/simd/isa.h"

namespace qivbench {

namespace {

// Multiplier and addend read at run time so the compiler cannot fold them.
volatile double g_mul = 0.9999999999;
volatile double g_add = 1e-12;
// Results land here so the measured loops cannot be dropped.
volatile double g_sink = 0;

// Each peak kernel runs ten independent multiply chains and ten independent
// add chains: enough to cover the latency of two pipes of each kind. Returns
// the flops done and keeps the result alive through *sink. One body per
// instruction set of the library's list (kernels/simd/isa.h).
constexpr int kChains = 10;

template <qiv::Isa I>
double peak_on(long iters, double* sink);

template <>
[[gnu::target("avx512f")]] double peak_on<qiv::Isa::avx512>(long iters, double* sink) {
    const __m512d f = _mm512_set1_pd(g_mul), d = _mm512_set1_pd(g_add);
    __m512d m[kChains], a[kChains];
    for (int c = 0; c < kChains; ++c) m[c] = a[c] = _mm512_set1_pd(1.0 + 0.1 * c);
    for (long i = 0; i < iters; ++i) {
#pragma GCC unroll 10
        for (int c = 0; c < kChains; ++c) {
            m[c] = _mm512_mul_pd(m[c], f);
            a[c] = _mm512_add_pd(a[c], d);
        }
    }
    __m512d t = _mm512_setzero_pd();
    for (int c = 0; c < kChains; ++c) t = _mm512_add_pd(t, _mm512_add_pd(m[c], a[c]));
    alignas(64) double v[8];
    _mm512_store_pd(v, t);
    *sink = v[0] + v[1] + v[2] + v[3] + v[4] + v[5] + v[6] + v[7];
    return 2.0 * kChains * 8 * static_cast<double>(iters);
}

template <>
[[gnu::target("avx2")]] double peak_on<qiv::Isa::avx2>(long iters, double* sink) {
    const __m256d f = _mm256_set1_pd(g_mul), d = _mm256_set1_pd(g_add);
    __m256d m[kChains], a[kChains];
    for (int c = 0; c < kChains; ++c) m[c] = a[c] = _mm256_set1_pd(1.0 + 0.1 * c);
    for (long i = 0; i < iters; ++i) {
#pragma GCC unroll 10
        for (int c = 0; c < kChains; ++c) {
            m[c] = _mm256_mul_pd(m[c], f);
            a[c] = _mm256_add_pd(a[c], d);
        }
    }
    __m256d t = _mm256_setzero_pd();
    for (int c = 0; c < kChains; ++c) t = _mm256_add_pd(t, _mm256_add_pd(m[c], a[c]));
    alignas(32) double v[4];
    _mm256_store_pd(v, t);
    *sink = v[0] + v[1] + v[2] + v[3];
    return 2.0 * kChains * 4 * static_cast<double>(iters);
}

template <>
double peak_on<qiv::Isa::baseline>(long iters, double* sink) {
    const __m128d f = _mm_set1_pd(g_mul), d = _mm_set1_pd(g_add);
    __m128d m[kChains], a[kChains];
    for (int c = 0; c < kChains; ++c) m[c] = a[c] = _mm_set1_pd(1.0 + 0.1 * c);
    for (long i = 0; i < iters; ++i) {
#pragma GCC unroll 10
        for (int c = 0; c < kChains; ++c) {
            m[c] = _mm_mul_pd(m[c], f);
            a[c] = _mm_add_pd(a[c], d);
        }
    }
    __m128d t = _mm_setzero_pd();
    for (int c = 0; c < kChains; ++c) t = _mm_add_pd(t, _mm_add_pd(m[c], a[c]));
    alignas(16) double v[2];
    _mm_store_pd(v, t);
    *sink = v[0] + v[1];
    return 2.0 * kChains * 2 * static_cast<double>(iters);
}

double peak_once(qiv::Isa isa, long iters) {
    double sink = 0;
    const double t0 = now();
    const double flops =
        qiv::with_isa(isa, [&](auto s) { return peak_on<decltype(s)::isa>(iters, &sink); });
    const double t = now() - t0;
    g_sink = sink;
    return flops / t * 1e-9;
}

// Flops of one iteration of the peak loop of an instruction set.
double peak_flops_per_iter(qiv::Isa isa) {
    double sink = 0;
    return qiv::with_isa(isa, [&](auto s) { return peak_on<decltype(s)::isa>(1, &sink); });
}

// Sums a large array (n a multiple of 32) with several independent
// accumulators; the widest loads of each instruction set.
template <qiv::Isa I>
double read_on(const double* p, std::size_t n);

template <>
[[gnu::target("avx512f")]] double read_on<qiv::Isa::avx512>(const double* p, std::size_t n) {
    __m512d s0 = _mm512_setzero_pd(), s1 = s0, s2 = s0, s3 = s0;
    for (std::size_t i = 0; i + 32 <= n; i += 32) {
        s0 = _mm512_add_pd(s0, _mm512_load_pd(p + i));
        s1 = _mm512_add_pd(s1, _mm512_load_pd(p + i + 8));
        s2 = _mm512_add_pd(s2, _mm512_load_pd(p + i + 16));
        s3 = _mm512_add_pd(s3, _mm512_load_pd(p + i + 24));
    }
    alignas(64) double v[8];
    _mm512_store_pd(v, _mm512_add_pd(_mm512_add_pd(s0, s1), _mm512_add_pd(s2, s3)));
    return v[0] + v[1] + v[2] + v[3] + v[4] + v[5] + v[6] + v[7];
}

template <>
[[gnu::target("avx2")]] double read_on<qiv::Isa::avx2>(const double* p, std::size_t n) {
    __m256d s0 = _mm256_setzero_pd(), s1 = s0, s2 = s0, s3 = s0;
    for (std::size_t i = 0; i + 16 <= n; i += 16) {
        s0 = _mm256_add_pd(s0, _mm256_load_pd(p + i));
        s1 = _mm256_add_pd(s1, _mm256_load_pd(p + i + 4));
        s2 = _mm256_add_pd(s2, _mm256_load_pd(p + i + 8));
        s3 = _mm256_add_pd(s3, _mm256_load_pd(p + i + 12));
    }
    alignas(32) double v[4];
    _mm256_store_pd(v, _mm256_add_pd(_mm256_add_pd(s0, s1), _mm256_add_pd(s2, s3)));
    return v[0] + v[1] + v[2] + v[3];
}

template <>
double read_on<qiv::Isa::baseline>(const double* p, std::size_t n) {
    __m128d s0 = _mm_setzero_pd(), s1 = s0, s2 = s0, s3 = s0;
    for (std::size_t i = 0; i + 8 <= n; i += 8) {
        s0 = _mm_add_pd(s0, _mm_load_pd(p + i));
        s1 = _mm_add_pd(s1, _mm_load_pd(p + i + 2));
        s2 = _mm_add_pd(s2, _mm_load_pd(p + i + 4));
        s3 = _mm_add_pd(s3, _mm_load_pd(p + i + 6));
    }
    alignas(16) double t[2];
    _mm_store_pd(t, _mm_add_pd(_mm_add_pd(s0, s1), _mm_add_pd(s2, s3)));
    return t[0] + t[1];
}

double read_widest(const double* p, std::size_t n) {
    return qiv::with_isa(qiv::best_isa(), [&](auto s) { return read_on<decltype(s)::isa>(p, n); });
}

}  // namespace

double peak_burst() {
    // About 10 ms at the peak rate of the widest vector unit: 960 million
    // flops (6 million iterations of the 512-bit loop).
    const qiv::Isa isa = qiv::best_isa();
    const long iters = static_cast<long>(960e6 / peak_flops_per_iter(isa));
    return peak_once(isa, iters);
}

double read_burst() {
    // 64 MiB, beyond every cache level, read once.
    const std::size_t n = std::size_t{8} << 20;
    static std::vector<double> buf(n + 8, 1.0);
    double* p = buf.data();
    while (reinterpret_cast<std::uintptr_t>(p) % 64 != 0) ++p;
    const double t0 = now();
    g_sink = read_widest(p, n);
    return static_cast<double>(n) * 8 / (now() - t0) * 1e-9;
}

Machine measure_machine(const Options& opt) {
    Machine m;
    const qiv::Isa isa = qiv::best_isa();
    m.isa = qiv::isa_name(isa);
    const long iters = opt.quick ? 20'000'000L : 100'000'000L;
    peak_once(isa, iters / 10);  // wake the core up
    std::vector<double> peaks;
    for (int r = 0; r < std::max(3, opt.reps); ++r) peaks.push_back(peak_once(isa, iters));
    std::sort(peaks.begin(), peaks.end());
    m.peak_gflops = peaks[peaks.size() / 2];

    // 256 MiB, far beyond every cache level.
    const std::size_t n = std::size_t{32} << 20;
    std::vector<double> buf(n + 8, 1.0);
    double* p = buf.data();
    while (reinterpret_cast<std::uintptr_t>(p) % 64 != 0) ++p;
    std::vector<double> rates;
    for (int r = 0; r < std::max(3, opt.reps); ++r) {
        const double t0 = now();
        g_sink = read_widest(p, n);
        rates.push_back(static_cast<double>(n) * 8 / (now() - t0) * 1e-9);
    }
    std::sort(rates.begin(), rates.end());
    m.read_gbytes = rates[rates.size() / 2];
    return m;
}

}  // namespace qivbench
