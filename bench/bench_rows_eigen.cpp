// Table rows for the Hessenberg QR driver ZHSEQR: eigenvalues only (JOB "E")
// and the Schur form with Schur vectors (JOB "S", COMPZ "I") of random upper
// Hessenberg matrices; and for the eigen driver ZGEEV on random general
// matrices: eigenvalues only, with right vectors, and with both. There are no plain loops to
// compare with; the yardstick is our own ZGEMM n x n x n, timed right after each row in the same
// run, and the note gives ZHSEQR's time as a multiple of it. Rates count 10n^3 real flops for every
// ZHSEQR run (a conventional figure, whatever the job).
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench.h"
#include "eigen/eigen.h"
#include "householder/householder.h"
#include "kernels/gemm.h"
#include "kernels/matutil.h"

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

struct GeevData {
    int n;
    char jobvl[2], jobvr[2];
    std::vector<zcomplex> a0, a, w, vl, vr, work;
    std::vector<double> rwork;
    GeevData(int n_, char jl, char jr)
        : n(n_), jobvl{jl, 0}, jobvr{jr, 0}, a0(random_matrix(n_, n_, 31)) {
        a = a0;
        w.resize(static_cast<std::size_t>(n));
        vl.resize(jl == 'V' ? static_cast<std::size_t>(n) * n : 1);
        vr.resize(jr == 'V' ? static_cast<std::size_t>(n) * n : 1);
        rwork.resize(2 * static_cast<std::size_t>(n));
        zcomplex query{0.0, 0.0};
        const int lwork = -1;
        int info = 0;
        call(&query, lwork, &info);
        work.resize(static_cast<std::size_t>(query.re));
    }
    void call(zcomplex* wk, int lwork, int* info) {
        const int ldvl = jobvl[0] == 'V' ? n : 1, ldvr = jobvr[0] == 'V' ? n : 1;
        qiv::ZGEEV(jobvl, jobvr, &n, a.data(), &n, w.data(), vl.data(), &ldvl, vr.data(), &ldvr, wk,
                   &lwork, rwork.data(), info);
    }
    void run() {
        int info = 0;
        call(work.data(), static_cast<int>(work.size()), &info);
        if (info != 0) std::fprintf(stderr, "ZGEEV n=%d INFO=%d\n", n, info);
    }
};

// The stages of ZGEEV with right vectors, run one by one with the driver's
// own calls and workspace, as shares of their total time: balancing and
// Hessenberg reduction, the unitary factor, the Schur form, the vectors (with
// their back-transformation and normalisation, which are cheap).
std::string geev_stage_shares(int n) {
    GeevData d(n, 'N', 'V');
    const int lwork = static_cast<int>(d.work.size()), lw = lwork - n;
    zcomplex* const work = d.work.data();
    int ilo = 0, ihi = 0, info = 0, m = 0;
    double t[5];
    t[0] = now();
    qiv::ZGEBAL("B", &n, d.a.data(), &n, &ilo, &ihi, d.rwork.data(), &info);
    qiv::ZGEHRD(&n, &ilo, &ihi, d.a.data(), &n, work, work + n, &lw, &info);
    t[1] = now();
    qiv::ZLACPY("L", &n, &n, d.a.data(), &n, d.vr.data(), &n);
    qiv::ZUNGHR(&n, &ilo, &ihi, d.vr.data(), &n, work, work + n, &lw, &info);
    t[2] = now();
    qiv::ZHSEQR("S", "V", &n, &ilo, &ihi, d.a.data(), &n, d.w.data(), d.vr.data(), &n, work, &lwork,
                &info);
    t[3] = now();
    const int select = 0;
    qiv::ZTREVC3("R", "B", &select, &n, d.a.data(), &n, nullptr, &n, d.vr.data(), &n, &n, &m, work,
                 &lwork, d.rwork.data() + n, &n, &info);
    qiv::ZGEBAK("B", "R", &n, &ilo, &ihi, d.rwork.data(), &n, d.vr.data(), &n, &info);
    t[4] = now();
    const double total = t[4] - t[0];
    char note[160];
    std::snprintf(note, sizeof note,
                  "; stages: reduction %.0f%%, unitary factor %.0f%%, Schur form %.0f%%, "
                  "vectors %.0f%%",
                  100 * (t[1] - t[0]) / total, 100 * (t[2] - t[1]) / total,
                  100 * (t[3] - t[2]) / total, 100 * (t[4] - t[3]) / total);
    return note;
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

void add_geev_rows(Rows& rows, const Options& opt) {
    const char* const jobs[][3] = {
        {"N", "N", "ZGEEV NN"}, {"N", "V", "ZGEEV NV"}, {"V", "V", "ZGEEV VV"}};
    for (const auto& jb : jobs) {
        for (const int n : {250, 500, 1000}) {
            auto d = std::make_shared<GeevData>(n, jb[0][0], jb[1][0]);
            Row r;
            r.routine = jb[2];
            r.shape = "general n=" + std::to_string(n);
            r.ours.size = "n=" + std::to_string(n);
            r.ours.flops = 10.0 * n * n * static_cast<double>(n);
            r.ours.reps = opt.reps;
            r.ours.reset = [d] { d->a = d->a0; };
            r.ours.run = [d] { d->run(); };
            const int reps = opt.reps;
            const bool stages = jb[1][0] == 'V' && jb[0][0] == 'N' && n == 1000;
            r.late_note = [n, reps, stages](const Rate& ours) {
                const double t = 10.0 * n * n * static_cast<double>(n) / (ours.gflops * 1e9);
                // Also the time as a multiple of 8n^3 flops at the peak
                // measured next to the run: 1.25 * peak / ours with 10n^3.
                char note[128];
                std::snprintf(note, sizeof note,
                              "= %.1f x ZGEMM n^3 = %.1f x 8n^3/peak; flops 10n^3",
                              t / gemm_seconds(n, reps), 1.25 * ours.peak / ours.gflops);
                return std::string(note) + (stages ? geev_stage_shares(n) : std::string());
            };
            rows.push_back(r);
        }
    }
}

}  // namespace qivbench
