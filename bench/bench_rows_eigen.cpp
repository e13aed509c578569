// Table rows for the Hessenberg QR driver ZHSEQR: eigenvalues only (JOB "E")
// and the Schur form with Schur vectors (JOB "S", COMPZ "I") of random upper
// Hessenberg matrices. There are no plain loops to compare with; the yardstick
// is our own ZGEMM n x n x n, timed right after each row in the same run, and
// the note gives ZHSEQR's time as a multiple of it. Rates count 10n^3 real
// flops for every ZHSEQR run (a conventional figure, whatever the job).
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench.h"
#include "eigen/eigen.h"
#include "kernels/gemm.h"

namespace qivbench {

namespace {

struct HseqrData {
    int n;
    char job[2], compz[2];
    std::vector<zcomplex> h0, h, w, z, work;
    HseqrData(int n_, char job_, char compz_)
        : n(n_), job{job_, 0}, compz{compz_, 0}, h0(random_matrix(n_, n_, 21)) {
        for (int j = 0; j < n; ++j)
            for (int i = j + 2; i < n; ++i) h0[static_cast<std::size_t>(j) * n + i] = {0.0, 0.0};
        h = h0;
        w.resize(static_cast<std::size_t>(n));
        z.resize(static_cast<std::size_t>(n) * n);
        // Optimal workspace from the routine's own query.
        zcomplex query{0.0, 0.0};
        const int one = 1, lwork = -1;
        int info = 0;
        qiv::ZHSEQR(job, compz, &n, &one, &n, h.data(), &n, w.data(), z.data(), &n, &query, &lwork,
                    &info);
        work.resize(static_cast<std::size_t>(std::max(n, static_cast<int>(query.re))));
    }
    void run() {
        const int one = 1, lwork = static_cast<int>(work.size());
        int info = 0;
        qiv::ZHSEQR(job, compz, &n, &one, &n, h.data(), &n, w.data(), z.data(), &n, work.data(),
                    &lwork, &info);
        if (info != 0) std::fprintf(stderr, "ZHSEQR n=%d INFO=%d\n", n, info);
    }
};

// Seconds for one ZGEMM NN n x n x n (median of reps runs).
double gemm_seconds(int n, int reps) {
    const std::vector<zcomplex> a = random_matrix(n, n, 22), b = random_matrix(n, n, 23);
    std::vector<zcomplex> c = random_matrix(n, n, 24);
    const zcomplex one{1.0, 0.0};
    auto once = [&] {
        const double t0 = now();
        qiv::ZGEMM("N", "N", &n, &n, &n, &one, a.data(), &n, b.data(), &n, &one, c.data(), &n);
        return now() - t0;
    };
    once();  // warm-up
    std::vector<double> t;
    for (int r = 0; r < std::max(1, reps); ++r) t.push_back(once());
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

}  // namespace

void add_hseqr_rows(Rows& rows, const Options& opt) {
    const char* const jobs[][3] = {{"E", "N", "ZHSEQR EN"}, {"S", "I", "ZHSEQR SI"}};
    for (const auto& jb : jobs) {
        for (const int n : {250, 500, 1000}) {
            auto d = std::make_shared<HseqrData>(n, jb[0][0], jb[1][0]);
            Row r;
            r.routine = jb[2];
            r.shape = "Hessenberg n=" + std::to_string(n);
            r.ours.size = "n=" + std::to_string(n);
            r.ours.flops = 10.0 * n * n * static_cast<double>(n);
            r.ours.reps = opt.reps;
            r.ours.reset = [d] { d->h = d->h0; };
            r.ours.run = [d] { d->run(); };
            const int reps = opt.reps;
            r.late_note = [n, reps](const Rate& ours) {
                const double t = 10.0 * n * n * static_cast<double>(n) / (ours.gflops * 1e9);
                char note[96];
                std::snprintf(note, sizeof note, "= %.1f x ZGEMM n^3; flops 10n^3",
                              t / gemm_seconds(n, reps));
                return std::string(note);
            };
            rows.push_back(r);
        }
    }
}

}  // namespace qivbench
