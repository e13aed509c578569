// Table rows for ZTRSM (the two solves of the LU factorisation and solve: left
// lower unit and left upper non-unit, with n right-hand sides, and the block
// row of U that ZGETRF solves for every panel), ZGEMV in its column and
// conjugate dot forms, and the LU drivers ZGETRF and ZGESV. The plain
// yardsticks run the plain loops (tests/oracle); the plain LU is the same
// blocked and recursive algorithm on the plain-loop kernels.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench.h"
#include "kernels/matvec.h"
#include "kernels/trmat.h"
#include "lu/lu.h"
#include "oracle/lu/lu_plain.h"
#include "oracle/matvec/matvec_plain.h"
#include "oracle/trmat/trmat_plain.h"

namespace qivbench {

namespace {

using TrsmFn = void (*)(const char*, const char*, const char*, const char*, const int*, const int*,
                        const zcomplex*, const zcomplex*, const int*, zcomplex*, const int*);

// A triangular A with a diagonal away from zero and off-diagonal entries of
// size about 1/m, so that the solves stay well scaled; B random.
struct TrsmData {
    int m, n;
    std::vector<zcomplex> a, b, b0;
    TrsmData(int m_, int n_)
        : m(m_), n(n_), a(random_matrix(m_, m_, 4)), b0(random_matrix(m_, n_, 5)) {
        for (int j = 0; j < m; ++j)
            for (int i = 0; i < m; ++i) {
                zcomplex& x = a[static_cast<std::size_t>(j) * m + i];
                if (i == j) {
                    x.re += x.re < 0 ? -2.0 : 2.0;
                } else {
                    x.re /= m;
                    x.im /= m;
                }
            }
        b = b0;
    }
};

Work trsm_work(TrsmFn fn, const char* uplo, const char* diag, int m, int n, int reps) {
    auto d = std::make_shared<TrsmData>(m, n);
    Work w;
    w.size = std::to_string(m) + "x" + std::to_string(n);
    w.flops = 4.0 * m * m * n;
    w.reps = reps;
    w.reset = [d] { d->b = d->b0; };
    w.run = [d, fn, uplo, diag] {
        const zcomplex one{1.0, 0.0};
        fn("L", uplo, "N", diag, &d->m, &d->n, &one, d->a.data(), &d->m, d->b.data(), &d->m);
    };
    return w;
}

// The block row of U in ZGETRF as ZGETRF sees it: the 64 x 64 unit lower
// triangle and the 64 rows of B right of it lie in one matrix of leading
// dimension ld = n, so every column of B is a separate 1 KiB piece 16n bytes
// from the next. Only those pieces are stored and touched.
struct BlockRowData {
    int m, n, ld;
    std::unique_ptr<zcomplex[]> a, b;  // a: m x m, b: m x n, both with leading dimension ld
    std::vector<zcomplex> a0, b0;      // the same, stored compactly
    BlockRowData(int m_, int n_)
        : m(m_),
          n(n_),
          ld(n_),
          a(new zcomplex[static_cast<std::size_t>(n_) * (m_ - 1) + m_]),
          b(new zcomplex[static_cast<std::size_t>(n_) * (n_ - 1) + m_]) {
        const TrsmData d(m_, n_);
        a0 = d.a;
        b0 = d.b0;
        for (int j = 0; j < m; ++j)
            for (int i = 0; i < m; ++i) at(a, j, i) = a0[static_cast<std::size_t>(j) * m + i];
        restore();
    }
    zcomplex& at(const std::unique_ptr<zcomplex[]>& p, int j, int i) const {
        return p[static_cast<std::size_t>(j) * ld + i];
    }
    void restore() {
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < m; ++i) at(b, j, i) = b0[static_cast<std::size_t>(j) * m + i];
    }
};

// ZTRSM on the block row, `calls` solves per timed run: each solves the
// result of the one before again (the values stay of order 1 to 100 over 64
// solves), so that B is in the caches as the row interchanges leave it in
// ZGETRF. One solve of 64 x 2000 takes about half a millisecond; timed alone
// right after the 10 ms peak burst it starts with the caches emptied by the
// other processes that ran on the core meanwhile (1.5 switches per burst on
// the shared host), which ZGETRF never sees.
Work block_row_work(TrsmFn fn, int n, int calls, int reps) {
    const int m = 64;
    auto d = std::make_shared<BlockRowData>(m, n);
    Work w;
    w.size = std::to_string(m) + "x" + std::to_string(n) + ", ld=" + std::to_string(n) +
             (calls > 1 ? ", " + std::to_string(calls) + " solves" : "");
    w.flops = 4.0 * m * m * n * calls;
    w.reps = reps;
    w.reset = [d] { d->restore(); };
    w.run = [d, fn, calls] {
        const zcomplex one{1.0, 0.0};
        for (int c = 0; c < calls; ++c)
            fn("L", "L", "N", "U", &d->m, &d->n, &one, d->a.get(), &d->ld, d->b.get(), &d->ld);
    };
    return w;
}

using GemvFn = void (*)(const char*, const int*, const int*, const zcomplex*, const zcomplex*,
                        const int*, const zcomplex*, const int*, const zcomplex*, zcomplex*,
                        const int*);

struct GemvData {
    int n;
    std::vector<zcomplex> a, x, y;
    explicit GemvData(int n_)
        : n(n_),
          a(random_matrix(n_, n_, 6)),
          x(random_matrix(n_, 1, 7)),
          y(random_matrix(n_, 1, 8)) {}
};

Work gemv_work(GemvFn fn, const char* trans, int n, int reps) {
    auto d = std::make_shared<GemvData>(n);
    Work w;
    w.size = "n=" + std::to_string(n);
    w.flops = 8.0 * n * n;
    w.reps = reps;
    w.run = [d, fn, trans] {
        const zcomplex alpha{0.75, -0.5}, beta{1.0, 0.0};
        const int inc = 1;
        fn(trans, &d->n, &d->n, &alpha, d->a.data(), &d->n, d->x.data(), &inc, &beta, d->y.data(),
           &inc);
    };
    return w;
}

struct LuData {
    int n, nrhs;
    std::vector<zcomplex> a, a0, b, b0;
    std::vector<int> ipiv;
    LuData(int n_, int nrhs_)
        : n(n_),
          nrhs(nrhs_),
          a0(random_matrix(n_, n_, 9)),
          b0(random_matrix(n_, nrhs_ > 0 ? nrhs_ : 1, 10)),
          ipiv(static_cast<std::size_t>(n_)) {
        a = a0;
        b = b0;
    }
};

// ZGETRF (nrhs = 0) or ZGESV with nrhs right-hand sides; 8n^3/3 flops.
Work lu_work(bool fast, int n, int nrhs, int reps) {
    auto d = std::make_shared<LuData>(n, nrhs);
    Work w;
    w.size = "n=" + std::to_string(n);
    w.flops = 8.0 * n * n * static_cast<double>(n) / 3.0;
    w.reps = reps;
    w.reset = [d] {
        d->a = d->a0;
        d->b = d->b0;
    };
    w.run = [d, fast] {
        int info = 0;
        if (d->nrhs == 0) {
            if (fast)
                qiv::ZGETRF(&d->n, &d->n, d->a.data(), &d->n, d->ipiv.data(), &info);
            else
                qivoracle::zgetrf_plain(&d->n, &d->n, d->a.data(), &d->n, d->ipiv.data(), &info);
        } else {
            if (fast)
                qiv::ZGESV(&d->n, &d->nrhs, d->a.data(), &d->n, d->ipiv.data(), d->b.data(), &d->n,
                           &info);
            else
                qivoracle::zgesv_plain(&d->n, &d->nrhs, d->a.data(), &d->n, d->ipiv.data(),
                                       d->b.data(), &d->n, &info);
        }
    };
    return w;
}

std::string plain_note(int pn, int n) {
    return pn != n ? "plain at n=" + std::to_string(pn) + ", 1 run" : "plain 1 run";
}

}  // namespace

void add_trsm_gemv_lu_rows(Rows& rows, const Options& opt) {
    const int plain_max = opt.quick ? 500 : 1000;

    // ZTRSM with n right-hand sides: the forward solve (left lower unit) and
    // the back substitution (left upper non-unit) of ZGETRS.
    const char* const solves[][3] = {{"ZTRSM LLNU", "L", "U"}, {"ZTRSM LUNN", "U", "N"}};
    for (const auto& s : solves) {
        for (const int n : {500, 1000, 2000}) {
            Row r;
            r.routine = s[0];
            r.shape = "n x n, n rhs, n=" + std::to_string(n);
            r.ours = trsm_work(qiv::ZTRSM, s[1], s[2], n, n, opt.reps);
            const int pn = n < plain_max ? n : plain_max;
            r.plain = trsm_work(qivoracle::ztrsm_plain, s[1], s[2], pn, pn, 1);
            r.note = plain_note(pn, n) + "; compare ZGEMM NN n x n x n";
            rows.push_back(r);
        }
    }
    // The block row of U in ZGETRF: 64 rows, the columns right of the panel,
    // in a matrix of order n; about 0.5 GFLOP per timed run.
    for (const int n : {1000, 2000}) {
        Row r;
        r.routine = "ZTRSM LLNU";
        r.shape = "64 x n, n=" + std::to_string(n);
        r.ours = block_row_work(qiv::ZTRSM, n, 32000 / n, opt.reps);
        r.plain = block_row_work(qivoracle::ztrsm_plain, n, 1, 1);
        r.note = "block row of ZGETRF (ld = n, repeated solves); plain 1 run";
        rows.push_back(r);
    }

    // ZGEMV reads the whole matrix once: 16n^2 bytes for 8n^2 flops, so GB/s
    // is twice GF/s; the table adds the share of the read bandwidth measured
    // right after the row.
    for (const char* t : {"N", "C"}) {
        const int n = 2000;
        Row r;
        r.routine = std::string("ZGEMV ") + t;
        r.shape = "n x n, n=" + std::to_string(n);
        r.ours = gemv_work(qiv::ZGEMV, t, n, opt.reps);
        r.plain = gemv_work(qivoracle::zgemv_plain, t, n, opt.reps);
        r.note = "GB/s = 2 x GF/s";
        r.bytes_per_flop = 2.0;
        rows.push_back(r);
    }

    // The LU drivers; ZGESV with one right-hand side, counted as 8n^3/3.
    for (const int nrhs : {0, 1}) {
        for (const int n : {500, 1000, 2000}) {
            Row r;
            r.routine = nrhs == 0 ? "ZGETRF" : "ZGESV";
            r.shape = nrhs == 0 ? "n x n, n=" + std::to_string(n)
                                : "n x n, 1 rhs, n=" + std::to_string(n);
            r.ours = lu_work(true, n, nrhs, opt.reps);
            const int pn = n < plain_max ? n : plain_max;
            r.plain = lu_work(false, pn, nrhs, 1);
            r.note = plain_note(pn, n) + "; flops 8n^3/3; plain = same LU on plain kernels";
            rows.push_back(r);
        }
    }
}

}  // namespace qivbench
