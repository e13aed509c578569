// The benchmark program. Measures, in one run, the machine's peak rate of
// independent vector multiplies and adds and its streaming read bandwidth,
// then the library's kernels and the plain loops that define them, and
// prints one table: GFLOP/s (8 real flops per complex multiply-add), the
// fraction of peak, and the speed-up over the plain loops.
//
// Usage: qivbench [--quick] [--reps N] [--list] [FILTER]   (--help: usage)
// FILTER keeps the rows whose routine or shape contains it; --list prints the
// rows without measuring anything.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "bench.h"
#include "kernels/simd/cpu.h"
#include "kernels/simd/isa.h"

namespace qivbench {

double now() {
#if defined(CLOCK_THREAD_CPUTIME_ID)
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
#else
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
#endif
}

namespace {
double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}
}  // namespace

Rate measure(const Work& w) {
    std::vector<double> rates, peaks, ratios;
    for (int r = 0; r < std::max(1, w.reps); ++r) {
        if (w.reset) w.reset();
        const double p0 = peak_burst();
        const double t0 = now();
        w.run();
        const double t = now() - t0;
        const double p1 = peak_burst();
        const double rate = w.flops / t * 1e-9, peak = 0.5 * (p0 + p1);
        rates.push_back(rate);
        peaks.push_back(peak);
        ratios.push_back(rate / peak);
    }
    return Rate{median(rates), median(peaks), median(ratios)};
}

std::vector<zcomplex> random_matrix(int rows, int cols, unsigned seed) {
    std::mt19937_64 gen(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<zcomplex> x(static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols));
    for (auto& z : x) z = zcomplex{u(gen), u(gen)};
    return x;
}

namespace {

// Every row, in table order.
void add_rows(Rows& rows, const Options& opt) {
    add_gemm_rows(rows, opt);
    add_trsm_gemv_lu_rows(rows, opt);
    add_householder_rows(rows, opt);
    add_hseqr_rows(rows, opt);
    add_geev_rows(rows, opt);
    add_weak_coupling_rows(rows, opt);
}

// The kind of a row, printed in its own column.
const char* row_kind(const Row& r) {
    if (!r.plain.run) return "no-plain";
    return r.bytes_per_flop > 0 ? "mem-bound" : "vs-plain";
}

bool keep(const Options& opt, const Row& r) {
    return opt.filter.empty() || r.routine.find(opt.filter) != std::string::npos ||
           r.shape.find(opt.filter) != std::string::npos;
}

const char kUsage[] =
    "usage: qivbench [--quick] [--reps N] [--list] [FILTER]\n"
    "  --quick   3 repetitions and smaller plain-loop runs\n"
    "  --reps N  repetitions of each measurement, median taken (default 5)\n"
    "  --list    print the rows (routine, shape, kind) and exit without measuring\n"
    "  FILTER    keep the rows whose routine or shape contains this text\n";

const char kLegend[] =
    "columns: routine and shape = the row; ours GF/s = our rate; peak GF/s = the machine's peak\n"
    "  measured next to the run; ours/peak = their ratio; plain GF/s = the plain loops that\n"
    "  define the routine; ours/plain = speed-up over them (each against its own peak); kind;\n"
    "  note = how the plain loops ran and any yardstick.\n"
    "kinds: vs-plain = compared with the plain loops; mem-bound = also compared, and bound by\n"
    "  reading memory (the note gives the share of the read bandwidth); no-plain = no plain\n"
    "  twin (plain columns '-'; the note gives the flop count or a multiple of a ZGEMM time).\n";

}  // namespace
}  // namespace qivbench

int main(int argc, char** argv) {
    using namespace qivbench;
    Options opt;
    bool list = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            opt.quick = true;
            opt.reps = 3;
        } else if (std::strcmp(argv[i], "--reps") == 0 && i + 1 < argc) {
            opt.reps = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--list") == 0) {
            list = true;
        } else if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("%s\n%s", kUsage, kLegend);
            return 0;
        } else if (argv[i][0] == '-') {
            std::fprintf(stderr, "qivbench: unknown option %s\n%s", argv[i], kUsage);
            return 2;
        } else {
            opt.filter = argv[i];
        }
    }
    if (list) {
        Rows rows;
        add_rows(rows, opt);
        std::printf("%-12s %-24s %s\n", "routine", "shape", "kind");
        for (const Row& r : rows)
            if (keep(opt, r))
                std::printf("%-12s %-24s %s\n", r.routine.c_str(), r.shape.c_str(), row_kind(r));
        return 0;
    }

    // The processor and the tuning table the kernels chose for it, so that
    // tables from different hosts can be told apart.
    qiv::CpuName name = qiv::cpu_name();
    for (int i = static_cast<int>(std::strlen(name.name)) - 1; i >= 0 && name.name[i] == ' '; --i)
        name.name[i] = 0;
    const qiv::CpuId cpu = qiv::cpu_id();
    std::printf(
        "processor: %s family %d model %d, \"%s\"; L1 data %ld KiB, L2 %ld KiB; tuning table "
        "%s, %s kernels\n",
        name.vendor, cpu.family, cpu.model, name.name, cpu.l1d_bytes / 1024, cpu.l2_bytes / 1024,
        qiv::tuning_name(qiv::host_tuning()), qiv::isa_name(qiv::best_isa()));
    const Machine mach = measure_machine(opt);
    std::printf(
        "machine: %s kernels; peak %.1f GFLOP/s (independent vector multiplies and adds, "
        "one core); streaming read %.1f GB/s\n",
        mach.isa, mach.peak_gflops, mach.read_gbytes);
    std::printf(
        "medians of %d runs (plain loops: see note), timed by thread processor time, each "
        "between two\nshort runs of the peak kernel: ours/peak and ours/plain use the peak "
        "measured next to each run.\nGFLOP/s count 8 real flops per complex multiply-add.\n\n",
        opt.reps);

    std::fputs(kLegend, stdout);
    std::printf("\n");

    Rows rows;
    add_rows(rows, opt);

    std::printf("%-12s %-24s %9s %9s %9s %10s %10s %-9s  %s\n", "routine", "shape", "ours GF/s",
                "peak GF/s", "ours/peak", "plain GF/s", "ours/plain", "kind", "note");
    for (const Row& r : rows) {
        if (!keep(opt, r)) continue;
        r.ours.run();  // warm-up: caches, page faults
        const Rate ours = measure(r.ours);
        std::string note = r.late_note ? r.note + r.late_note(ours) : r.note;
        if (!r.plain.run) {
            std::printf("%-12s %-24s %9.2f %9.2f %9.3f %10s %10s %-9s  %s\n", r.routine.c_str(),
                        r.shape.c_str(), ours.gflops, ours.peak, ours.of_peak, "-", "-",
                        row_kind(r), note.c_str());
            std::fflush(stdout);
            continue;
        }
        if (r.bytes_per_flop > 0) {
            // The read bandwidth right after the row, against the rate the
            // row read its matrix at.
            std::vector<double> reads;
            for (int i = 0; i < 3; ++i) reads.push_back(read_burst());
            const double read = median(reads);
            char buf[96];
            std::snprintf(buf, sizeof buf, "; reads at %.0f%% of %.1f GB/s",
                          100.0 * ours.gflops * r.bytes_per_flop / read, read);
            note += buf;
        }
        const Rate plain = measure(r.plain);
        // Both against the peak measured next to them, so that a change in
        // what the shared core delivers between the two does not count.
        std::printf("%-12s %-24s %9.2f %9.2f %9.3f %10.2f %10.1f %-9s  %s\n", r.routine.c_str(),
                    r.shape.c_str(), ours.gflops, ours.peak, ours.of_peak, plain.gflops,
                    ours.of_peak / plain.of_peak, row_kind(r), note.c_str());
        std::fflush(stdout);
    }
    return 0;
}
