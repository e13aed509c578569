// Table rows for ZGEMM: the square products in the combinations the blocked
// algorithms use most, the rank-64 and rank-32 updates of the LU
// factorisation (C := C - A*B with K = 64 or 32), and the n x k times k x k
// products of the eigen solver's sweeps.
#include <memory>
#include <string>
#include <vector>

#include "bench.h"
#include "kernels/gemm.h"
#include "oracle/gemm/gemm_plain.h"

namespace qivbench {

namespace {

struct GemmData {
    int m, n, k;
    std::vector<zcomplex> a, b, c;
    GemmData(int m_, int n_, int k_, bool nota, bool notb)
        : m(m_),
          n(n_),
          k(k_),
          a(random_matrix(nota ? m_ : k_, nota ? k_ : m_, 1)),
          b(random_matrix(notb ? k_ : n_, notb ? n_ : k_, 2)),
          c(random_matrix(m_, n_, 3)) {}
};

// Rows of the stored matrix for op(X) with op(X) of size rows x cols.
int nota_rows(const char* t, int rows, int cols) { return t[0] == 'N' ? rows : cols; }

using GemmFn = void (*)(const char*, const char*, const int*, const int*, const int*,
                        const zcomplex*, const zcomplex*, const int*, const zcomplex*, const int*,
                        const zcomplex*, zcomplex*, const int*);

Work gemm_work(GemmFn fn, const char* ta, const char* tb, int m, int n, int k, zcomplex alpha,
               zcomplex beta, int reps) {
    const bool nota = ta[0] == 'N', notb = tb[0] == 'N';
    auto d = std::make_shared<GemmData>(m, n, k, nota, notb);
    Work w;
    w.size = std::to_string(m) + "x" + std::to_string(n) + "x" + std::to_string(k);
    w.flops = 8.0 * m * n * k;
    w.reps = reps;
    w.run = [d, fn, ta, tb, alpha, beta] {
        const int lda = nota_rows(ta, d->m, d->k), ldb = nota_rows(tb, d->k, d->n), ldc = d->m;
        fn(ta, tb, &d->m, &d->n, &d->k, &alpha, d->a.data(), &lda, d->b.data(), &ldb, &beta,
           d->c.data(), &ldc);
    };
    return w;
}

}  // namespace

void add_gemm_rows(Rows& rows, const Options& opt) {
    const zcomplex zero{0.0, 0.0}, one{1.0, 0.0}, minus_one{-1.0, 0.0}, alpha{0.75, -0.5},
        beta{0.5, 0.25};
    const int plain_max = opt.quick ? 256 : 512;
    const char* const combos[][2] = {{"N", "N"}, {"N", "C"}, {"C", "N"}};
    for (const auto& tt : combos) {
        for (const int n : {256, 512, 1000, 2000}) {
            Row r;
            r.routine = std::string("ZGEMM ") + tt[0] + tt[1];
            r.shape = "n x n x n, n=" + std::to_string(n);
            r.ours = gemm_work(qiv::ZGEMM, tt[0], tt[1], n, n, n, alpha, beta, opt.reps);
            const int pn = n < plain_max ? n : plain_max;
            r.plain = gemm_work(qivoracle::zgemm_plain, tt[0], tt[1], pn, pn, pn, alpha, beta, 1);
            r.note = pn != n ? "plain at n=" + std::to_string(pn) + ", 1 run" : "plain 1 run";
            rows.push_back(r);
        }
    }
    // The trailing update of the blocked LU factorisation.
    for (const int k : {64, 32}) {
        for (const int n : {1000, 2000}) {
            Row r;
            r.routine = "ZGEMM NN";
            r.shape = "n x n x " + std::to_string(k) + ", n=" + std::to_string(n);
            r.ours = gemm_work(qiv::ZGEMM, "N", "N", n, n, k, minus_one, one, opt.reps);
            const int pn = opt.quick && n > 1000 ? 1000 : n;
            r.plain = gemm_work(qivoracle::zgemm_plain, "N", "N", pn, pn, k, minus_one, one, 1);
            r.note = pn != n ? "plain at n=" + std::to_string(pn) + ", 1 run" : "plain 1 run";
            rows.push_back(r);
        }
    }
    // The multiplies of the eigen solver's sweeps: a block of rows (n of them)
    // times a k x k unitary factor into a workspace, BETA = 0.
    for (const int k : {100, 200}) {
        const int n = 1000;
        Row r;
        r.routine = "ZGEMM NN";
        r.shape = "n x k x k, n=" + std::to_string(n) + ", k=" + std::to_string(k);
        r.ours = gemm_work(qiv::ZGEMM, "N", "N", n, k, k, one, zero, opt.reps);
        r.plain = gemm_work(qivoracle::zgemm_plain, "N", "N", n, k, k, one, zero, 1);
        r.note = "plain 1 run";
        rows.push_back(r);
    }
}

}  // namespace qivbench
