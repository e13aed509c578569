// Table rows for the Householder layer: the Hessenberg reduction ZGEHRD,
// forming its unitary factor (ZUNGHR) and applying it from the left (ZUNMHR),
// and the block reflector ZLARFB that carries most of their work. These have
// no plain-loop twin in tests/oracle: the figures stand against the peak
// alone.
#include <memory>
#include <string>
#include <vector>

#include "bench.h"
#include "householder/householder.h"

namespace qivbench {

namespace {

// A random n x n matrix reduced once by ZGEHRD: the reflectors and scalars
// that ZUNGHR and ZUNMHR start from.
struct HessData {
    int n, lwork;
    std::vector<zcomplex> a0, a, tau, work, c0, c;
    explicit HessData(int n_)
        : n(n_), a0(random_matrix(n_, n_, 11)), tau(static_cast<std::size_t>(n_ > 1 ? n_ - 1 : 1)) {
        const int ilo = 1, ihi = n, query = -1;
        zcomplex size{0.0, 0.0};
        int info = 0;
        qiv::ZGEHRD(&n, &ilo, &ihi, a0.data(), &n, tau.data(), &size, &query, &info);
        lwork = static_cast<int>(size.re);
        // Room for the optimal blocking of all three routines.
        lwork = lwork > 64 * n ? lwork : 64 * n;
        work.resize(static_cast<std::size_t>(lwork));
        a = a0;
    }
};

enum class HessOp { gehrd, unghr, unmhr };

Work hess_work(HessOp op, int n, int reps) {
    auto d = std::make_shared<HessData>(n);
    const int ilo = 1, ihi = n;
    int info = 0;
    if (op != HessOp::gehrd) {
        // The reflectors of a real reduction.
        qiv::ZGEHRD(&d->n, &ilo, &ihi, d->a0.data(), &d->n, d->tau.data(), d->work.data(),
                    &d->lwork, &info);
    }
    d->a = d->a0;
    if (op == HessOp::unmhr) d->c = d->c0 = random_matrix(n, n, 12);
    Work w;
    w.size = "n=" + std::to_string(n);
    const double nd = n;
    w.flops = op == HessOp::gehrd   ? 40.0 * nd * nd * nd / 3.0
              : op == HessOp::unghr ? 16.0 * nd * nd * nd / 3.0
                                    : 8.0 * nd * nd * nd;
    w.reps = reps;
    w.reset = [d, op] {
        d->a = d->a0;
        if (op == HessOp::unmhr) d->c = d->c0;
    };
    w.run = [d, op] {
        const int lo = 1, hi = d->n;
        int inf = 0;
        switch (op) {
            case HessOp::gehrd:
                qiv::ZGEHRD(&d->n, &lo, &hi, d->a.data(), &d->n, d->tau.data(), d->work.data(),
                            &d->lwork, &inf);
                break;
            case HessOp::unghr:
                qiv::ZUNGHR(&d->n, &lo, &hi, d->a.data(), &d->n, d->tau.data(), d->work.data(),
                            &d->lwork, &inf);
                break;
            case HessOp::unmhr:
                qiv::ZUNMHR("L", "N", &d->n, &d->n, &lo, &hi, d->a.data(), &d->n, d->tau.data(),
                            d->c.data(), &d->n, d->work.data(), &d->lwork, &inf);
                break;
        }
    };
    return w;
}

// C := H^H*C for a block reflector H = I - V*T*V^H of k forward, columnwise
// reflectors: V m x k (unit lower trapezoidal, the unit diagonal implied),
// T k x k upper triangular.
struct LarfbData {
    int m, n, k;
    std::vector<zcomplex> v, t, c0, c, work;
    LarfbData(int m_, int n_, int k_)
        : m(m_),
          n(n_),
          k(k_),
          v(random_matrix(m_, k_, 13)),
          t(random_matrix(k_, k_, 14)),
          c0(random_matrix(m_, n_, 15)),
          work(static_cast<std::size_t>(n_) * static_cast<std::size_t>(k_)) {
        for (auto& z : v) z = zcomplex{z.re / m, z.im / m};
        for (auto& z : t) z = zcomplex{z.re / k, z.im / k};
        c = c0;
    }
};

Work larfb_work(int m, int n, int k, int reps) {
    auto d = std::make_shared<LarfbData>(m, n, k);
    Work w;
    w.size = std::to_string(m) + "x" + std::to_string(n) + " k=" + std::to_string(k);
    // W := C^H*V, W := W*T^H, C := C - V*W^H.
    w.flops = 16.0 * m * n * static_cast<double>(k) + 4.0 * n * static_cast<double>(k) * k;
    w.reps = reps;
    w.reset = [d] { d->c = d->c0; };
    w.run = [d] {
        qiv::ZLARFB("L", "C", "F", "C", &d->m, &d->n, &d->k, d->v.data(), &d->m, d->t.data(), &d->k,
                    d->c.data(), &d->m, d->work.data(), &d->n);
    };
    return w;
}

}  // namespace

void add_householder_rows(Rows& rows, const Options& opt) {
    const int n = 1000;
    const struct {
        const char* routine;
        HessOp op;
        const char* flops;
    } hess[] = {{"ZGEHRD", HessOp::gehrd, "flops 40n^3/3"},
                {"ZUNGHR", HessOp::unghr, "flops 16n^3/3"},
                {"ZUNMHR LN", HessOp::unmhr, "flops 8n^3; C n x n"}};
    for (const auto& h : hess) {
        Row r;
        r.routine = h.routine;
        r.shape = "n x n, n=" + std::to_string(n);
        r.ours = hess_work(h.op, n, opt.reps);
        r.note = std::string(h.flops) + "; no plain twin";
        rows.push_back(r);
    }
    Row r;
    r.routine = "ZLARFB LCFC";
    r.shape = "1000 x 1000, k=32";
    r.ours = larfb_work(1000, 1000, 32, opt.reps);
    r.note = "flops 16mnk + 4nk^2; no plain twin";
    rows.push_back(r);
}

}  // namespace qivbench
