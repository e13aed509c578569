#include "support/hh_support.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "frame/complex.h"
#include "householder/householder.h"
#include "support/matrix.h"

namespace hhtest {

using qiv::conj;

Mat::Mat(int rows, int cols, int lead) : m(rows), n(cols), ld(lead > 0 ? lead : std::max(1, rows)) {
    a.assign(static_cast<std::size_t>(ld) * static_cast<std::size_t>(std::max(cols, 1)),
             zcomplex{0.0, 0.0});
}

Mat identity(int n) {
    Mat x(n, n);
    for (int i = 1; i <= n; ++i) x(i, i) = zcomplex{1.0, 0.0};
    return x;
}

Mat random_mat(int m, int n, std::uint64_t seed, int lead) {
    Mat x(m, n, lead);
    qivtest::Rng rng(seed);
    rng.fill(x.data(), m, n, x.ld);
    return x;
}

void fill_nan(Mat& x) {
    const double q = std::numeric_limits<double>::quiet_NaN();
    for (auto& z : x.a) z = zcomplex{q, q};
}

namespace {
// op(A) as an explicit matrix.
Mat apply_op(const Mat& a, char op) {
    if (op == 'N') return a;
    Mat c(a.n, a.m);
    for (int j = 1; j <= a.n; ++j)
        for (int i = 1; i <= a.m; ++i) c(j, i) = op == 'T' ? a(i, j) : conj(a(i, j));
    return c;
}
}  // namespace

Mat mul(const Mat& a, char opa, const Mat& b, char opb) {
    const Mat x = apply_op(a, opa), y = apply_op(b, opb);
    Mat c(x.m, y.n);
    for (int j = 1; j <= y.n; ++j)
        for (int l = 1; l <= x.n; ++l) {
            const zcomplex ylj = y(l, j);
            const zcomplex* xl = &x(1, l);
            zcomplex* cj = &c(1, j);
            for (int i = 0; i < x.m; ++i) cj[i] = cj[i] + xl[i] * ylj;
        }
    return c;
}

Mat conj_transpose(const Mat& a) {
    Mat c(a.n, a.m);
    for (int j = 1; j <= a.n; ++j)
        for (int i = 1; i <= a.m; ++i) c(j, i) = conj(a(i, j));
    return c;
}

double norm1(const Mat& a) { return qivtest::norm1(a.data(), a.m, a.n, a.ld); }

double diff_norm1(const Mat& a, const Mat& b) {
    double best = 0.0;
    for (int j = 1; j <= a.n; ++j) {
        double s = 0.0;
        for (int i = 1; i <= a.m; ++i) {
            const zcomplex d = a(i, j) - b(i, j);
            s += std::fabs(d.re) + std::fabs(d.im);
        }
        if (!(s <= best)) best = s;  // a NaN wins
    }
    return best;
}

double unitarity(const Mat& q) {
    if (q.n == 0) return 0.0;
    return diff_norm1(mul(q, 'C', q, 'N'), identity(q.n)) / (q.n * kEps);
}

bool same_block(const Mat& a, const Mat& b) {
    if (a.m != b.m || a.n != b.n) return false;
    for (int j = 1; j <= a.n; ++j)
        for (int i = 1; i <= a.m; ++i)
            if (!qivtest::same_bits(a(i, j), b(i, j))) return false;
    return true;
}

Reflectors random_reflectors(int n, int k, std::uint64_t seed) {
    Reflectors r;
    r.n = n;
    r.k = k;
    r.v = Mat(n, k);
    r.tau.assign(static_cast<std::size_t>(k), zcomplex{0.0, 0.0});
    qivtest::Rng rng(seed);
    for (int i = 1; i <= k; ++i) {
        const int order = n - i + 1;
        zcomplex alpha = rng.z();
        for (int l = i + 1; l <= n; ++l) r.v(l, i) = rng.z();
        const int one = 1;
        qiv::ZLARFG(&order, &alpha, &r.v(std::min(i + 1, n), i), &one, &r.tau[i - 1]);
        r.v(i, i) = zcomplex{1.0, 0.0};
    }
    return r;
}

Layout layout(const Reflectors& r, char direct, char storev, int pad) {
    const int n = r.n, k = r.k;
    const bool backward = direct == 'B';
    // Columnwise full matrix (explicit units and zeros).
    Mat col(n, k);
    std::vector<zcomplex> tau(r.tau);
    if (!backward) {
        col = r.v;
    } else {
        for (int i = 1; i <= k; ++i)
            for (int row = 1; row <= n; ++row) col(row, i) = r.v(n + 1 - row, k + 1 - i);
        for (int i = 1; i <= k; ++i) tau[i - 1] = r.tau[k - i];
    }
    // Positions that are implicit: the unit element and the zeros beyond it.
    auto implicit = [&](int row, int i) { return backward ? row >= n - k + i : row <= i; };
    Layout out;
    out.tau = tau;
    if (storev == 'C') {
        out.full = col;
        out.stored = Mat(n, k, n + pad);
        fill_nan(out.stored);
        for (int i = 1; i <= k; ++i)
            for (int row = 1; row <= n; ++row)
                if (!implicit(row, i)) out.stored(row, i) = col(row, i);
    } else {
        out.full = conj_transpose(col);
        out.stored = Mat(k, n, k + pad);
        fill_nan(out.stored);
        for (int i = 1; i <= k; ++i)
            for (int c = 1; c <= n; ++c)
                if (!implicit(c, i)) out.stored(i, c) = conj(col(c, i));
    }
    return out;
}

void apply_one_at_a_time(const Reflectors& r, char side, bool conj_trans, bool reversed, Mat& c) {
    const bool left = side == 'L';
    const int m = c.m, n = c.n, k = r.k;
    auto reverse = [&]() {
        Mat t = c;
        for (int j = 1; j <= n; ++j)
            for (int i = 1; i <= m; ++i) c(i, j) = left ? t(m + 1 - i, j) : t(i, n + 1 - j);
    };
    if (reversed) reverse();
    std::vector<zcomplex> work(static_cast<std::size_t>(std::max(m, n)) + 1);
    // H*C and C*H^H take the reflectors last to first; H^H*C and C*H first to last.
    const bool ascending = left == conj_trans;
    for (int s = 0; s < k; ++s) {
        const int i = ascending ? s + 1 : k - s;
        const zcomplex t = conj_trans ? conj(r.tau[i - 1]) : r.tau[i - 1];
        const int one = 1;
        if (left) {
            const int mi = m - i + 1;
            qiv::ZLARF1F("L", &mi, &n, &r.v(i, i), &one, &t, &c(i, 1), &c.ld, work.data());
        } else {
            const int ni = n - i + 1;
            qiv::ZLARF1F("R", &m, &ni, &r.v(i, i), &one, &t, &c(1, i), &c.ld, work.data());
        }
    }
    if (reversed) reverse();
}

Mat hessenberg_input(int n, int ilo, int ihi, std::uint64_t seed) {
    Mat a = random_mat(n, n, seed);
    for (int j = 1; j <= n; ++j)
        for (int i = j + 1; i <= n; ++i)
            if (j < ilo || i > ihi) a(i, j) = zcomplex{0.0, 0.0};
    return a;
}

Mat hessenberg_part(const Mat& a) {
    Mat h = a;
    for (int j = 1; j <= a.n; ++j)
        for (int i = j + 2; i <= a.m; ++i) h(i, j) = zcomplex{0.0, 0.0};
    return h;
}

}  // namespace hhtest
