// Shared pieces of the benchmark program: timing, test data, and the row
// structure of the result table.
//
// Each group of rows (one routine family) lives in its own bench_<family>.cpp
// with a function add_<family>_rows(Rows&, const Options&); bench_main.cpp
// calls them in table order. A row carries two runnable closures, ours (the
// library routine) and plain (the plain loops from tests/oracle), each with
// the problem size it actually runs and its flop count.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "frame/types.h"

namespace qivbench {

using qiv::zcomplex;

struct Options {
    bool quick = false;  // fewer repetitions and smaller plain-loop runs
    int reps = 5;        // repetitions of each measurement (median taken)
    std::string filter;  // run only rows whose routine or shape contains this
};

// One measured piece of work: what it runs, its size in words, its flops.
struct Work {
    std::string size;             // problem size as run, e.g. "n=512"
    double flops = 0;             // real floating-point operations per run
    int reps = 1;                 // repetitions to take the median of
    std::function<void()> run;    // one run (set-up excluded)
    std::function<void()> reset;  // restores the inputs before a run, not timed
};

struct Rate;

struct Row {
    std::string routine;  // e.g. "ZGEMM NN"
    std::string shape;    // e.g. "n x n x n, n=512"
    Work ours;
    Work plain;        // no run: a routine without plain loops (columns left empty)
    std::string note;  // e.g. "plain loops run at n=512"
    // Appended to the note once ours is measured (for yardsticks timed in
    // the same run, e.g. a multiple of a ZGEMM time).
    std::function<std::string(const Rate& ours)> late_note;
    // Bytes read per flop when the row is bound by reading memory (ZGEMV:
    // 2); the table then gives its rate as a share of the read bandwidth.
    double bytes_per_flop = 0;
};

using Rows = std::vector<Row>;

// Processor time of the calling thread in seconds (wall-clock time where the
// system has no per-thread clock). The machine is shared, so processor time
// is the steadier measure: time slices given to other processes do not count.
double now();

// Matrices of uniform random complex numbers, column major with ld = rows.
std::vector<zcomplex> random_matrix(int rows, int cols, unsigned seed);

// Row groups, in table order. Later groups (triangular solves, matrix-vector
// products, LU factorisation and solve) follow the same pattern.
void add_gemm_rows(Rows& rows, const Options& opt);

// ZHSEQR (bench_rows_eigen.cpp), against our own ZGEMM n x n x n.
void add_hseqr_rows(Rows& rows, const Options& opt);
// ZGEEV (bench_rows_eigen.cpp): eigenvalues only, right vectors, both.
void add_geev_rows(Rows& rows, const Options& opt);
// ZGEEV on a weakly coupled tridiagonal against a random matrix of the same
// order (bench_rows_weak_coupling.cpp).
void add_weak_coupling_rows(Rows& rows, const Options& opt);

// The machine's yardsticks at the widest vector width present.
struct Machine {
    const char* isa = "";
    double peak_gflops = 0;  // independent vector multiplies and adds
    double read_gbytes = 0;  // streaming read bandwidth, one core
};
Machine measure_machine(const Options& opt);

// The streaming read bandwidth of one core in GB/s, a short run (about
// 30 ms), measured next to the rows bound by memory.
double read_burst();

// ZTRSM, ZGEMV, ZGETRF and ZGESV (bench_rows_trsm_gemv_lu.cpp).
void add_trsm_gemv_lu_rows(Rows& rows, const Options& opt);

// ZGEHRD, ZUNGHR, ZUNMHR and ZLARFB (bench_householder.cpp); rows without a
// plain twin leave Row::plain empty.
void add_householder_rows(Rows& rows, const Options& opt);

// A short run (about 10 ms) of the peak kernel, in GFLOP/s. The benchmark
// measures it right before and after every timed run: on a shared machine
// the rate a core delivers changes from one second to the next, and the
// fraction of the peak measured next to a run is the figure that compares.
double peak_burst();

// One timed piece of work next to the peak: rate in GFLOP/s, the peak
// around it, and their ratio (medians over w.reps runs).
struct Rate {
    double gflops = 0;
    double peak = 0;
    double of_peak = 0;
};
Rate measure(const Work& w);

}  // namespace qivbench
