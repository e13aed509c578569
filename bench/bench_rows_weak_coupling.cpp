// A table row for ZGEEV on a weakly coupled real symmetric tridiagonal
// matrix of order 200 (couplings down to 1e-200 next to order-one ones, and
// repeated diagonal values), eigenvalues only. Such matrices once drove the
// single-shift sweep into NaN and thousands of futile iterations; the note
// gives the time as a multiple of a random complex matrix of the same order,
// timed right after it in the same run: about 1 or less is healthy.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench.h"
#include "eigen/eigen.h"

namespace qivbench {

namespace {

// One eigenvalues-only ZGEEV problem with its optimal workspace.
struct EigenvaluesOnly {
    int n;
    std::vector<zcomplex> a0, a, w, work;
    std::vector<double> rwork;
    explicit EigenvaluesOnly(std::vector<zcomplex> matrix, int order)
        : n(order), a0(std::move(matrix)), a(a0), w(order), rwork(2 * order) {
        zcomplex query{0, 0}, dummy{0, 0};
        int info = 0, lwork = -1, one = 1;
        qiv::ZGEEV("N", "N", &n, a.data(), &n, w.data(), &dummy, &one, &dummy, &one, &query, &lwork,
                   rwork.data(), &info);
        work.resize(static_cast<std::size_t>(query.re));
    }
    double seconds() {
        a = a0;
        zcomplex dummy{0, 0};
        int info = 0, one = 1, lwork = static_cast<int>(work.size());
        const double t0 = now();
        qiv::ZGEEV("N", "N", &n, a.data(), &n, w.data(), &dummy, &one, &dummy, &one, work.data(),
                   &lwork, rwork.data(), &info);
        const double t = now() - t0;
        if (info != 0) std::fprintf(stderr, "ZGEEV n=%d INFO=%d\n", n, info);
        return t;
    }
};

std::vector<zcomplex> weakly_coupled_tridiagonal(int n) {
    std::mt19937_64 gen(200);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<zcomplex> a(static_cast<std::size_t>(n) * n, zcomplex{0, 0});
    for (int i = 0; i < n; ++i) {
        a[i + static_cast<std::size_t>(i) * n] = {i % 2 ? std::round(2 * u(gen)) : u(gen), 0};
        if (i + 1 < n) {
            double e = u(gen);
            if (i % 4 == 1) e = std::copysign(std::pow(10.0, -36 - (i * 37) % 165), e);
            a[i + 1 + static_cast<std::size_t>(i) * n] = {e, 0};
            a[i + static_cast<std::size_t>(i + 1) * n] = {e, 0};
        }
    }
    return a;
}

}  // namespace

void add_weak_coupling_rows(Rows& rows, const Options& opt) {
    const int n = 200;
    auto weak = std::make_shared<EigenvaluesOnly>(weakly_coupled_tridiagonal(n), n);
    auto random = std::make_shared<EigenvaluesOnly>(random_matrix(n, n, 41), n);
    Row r;
    r.routine = "ZGEEV NN";
    r.shape = "weak tridiagonal n=200";
    r.ours.size = "n=200";
    r.ours.flops = 10.0 * n * n * static_cast<double>(n);
    r.ours.reps = opt.reps;
    r.ours.reset = [weak] { weak->a = weak->a0; };
    r.ours.run = [weak] { weak->seconds(); };
    const int reps = std::max(1, opt.reps);
    r.late_note = [weak, random, reps](const Rate&) {
        std::vector<double> tw, tr;
        for (int k = 0; k < reps; ++k) {
            tw.push_back(weak->seconds());
            tr.push_back(random->seconds());
        }
        std::sort(tw.begin(), tw.end());
        std::sort(tr.begin(), tr.end());
        char note[96];
        std::snprintf(note, sizeof note, "= %.2f x a random matrix of the same order",
                      tw[tw.size() / 2] / tr[tr.size() / 2]);
        return std::string(note);
    };
    rows.push_back(r);
}

}  // namespace qivbench
