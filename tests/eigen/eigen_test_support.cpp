#include "eigen_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "eigen/eigen.h"
#include "frame/complex.h"
#include "householder/householder.h"
#include "support/matrix.h"

namespace eigtest {

namespace {

int resolve_ihi(int n, int ihi) { return ihi == 0 ? n : ihi; }

double modulus(zcomplex z) { return std::hypot(z.re, z.im); }

// Q = H(1)*...*H(n) for n random reflectors of order n.
Mat random_unitary(int n, std::uint64_t seed) {
    Mat q = hhtest::identity(n);
    if (n == 0) return q;
    const hhtest::Reflectors r = hhtest::random_reflectors(n, n, seed);
    hhtest::apply_one_at_a_time(r, 'L', false, false, q);
    return q;
}

Mat diagonal(const std::vector<zcomplex>& d) {
    const int n = static_cast<int>(d.size());
    Mat x(n, n);
    for (int i = 1; i <= n; ++i) x(i, i) = d[i - 1];
    return x;
}

}  // namespace

Mat random_hessenberg(int n, std::uint64_t seed, int ilo, int ihi, bool real_subdiagonal) {
    ihi = resolve_ihi(n, ihi);
    Mat h = hhtest::random_mat(n, n, seed);
    for (int j = 1; j <= n; ++j)
        for (int i = j + 1; i <= n; ++i) {
            if (i > j + 1 || j < ilo || j >= ihi)
                h(i, j) = zcomplex{0.0, 0.0};
            else if (real_subdiagonal)
                h(i, j).im = 0.0;
        }
    return h;
}

bool lower_part_zero(const Mat& t, int ilo, int ihi) {
    ihi = resolve_ihi(t.n, ihi);
    for (int j = ilo; j <= ihi; ++j)
        for (int i = j + 1; i <= ihi; ++i)
            if (!(t(i, j).re == 0.0 && t(i, j).im == 0.0)) return false;
    return true;
}

SchurCheck check_schur(const Mat& h0, const Mat& t, const Mat& z, const std::vector<zcomplex>& w,
                       int ilo, int ihi) {
    const int n = h0.n;
    ihi = resolve_ihi(n, ihi);
    SchurCheck c;
    c.triangular = lower_part_zero(t, ilo, ihi);
    c.diagonal_is_w = true;
    for (int i = ilo; i <= ihi; ++i)
        if (!qivtest::same_bits(t(i, i), w[i - 1])) c.diagonal_is_w = false;
    if (n == 0) return c;
    const Mat zhz = hhtest::mul(z, 'C', hhtest::mul(h0, 'N', z, 'N'), 'N');
    const double norm = std::max(hhtest::norm1(h0), std::numeric_limits<double>::min());
    c.residual = hhtest::diff_norm1(zhz, t) / (norm * n * kEps);
    c.orthogonality = hhtest::unitarity(z);
    return c;
}

std::vector<zcomplex> make_spectrum(Spectrum kind, int n, std::uint64_t seed) {
    qivtest::Rng rng(seed);
    std::vector<zcomplex> d(static_cast<std::size_t>(n));
    zcomplex centre{0.0, 0.0};
    const zcomplex values[3] = {{1.0, 0.5}, {-0.25, 0.75}, {0.5, -1.0}};
    for (int i = 0; i < n; ++i) {
        switch (kind) {
            case Spectrum::distinct:
                d[i] = rng.z();
                break;
            case Spectrum::clustered:
                if (i % 4 == 0) centre = rng.z();
                d[i] = centre + qiv::scale(1e-6, rng.z());
                break;
            case Spectrum::repeated:
                d[i] = values[i % 3];
                break;
            case Spectrum::graded: {
                const double mag = n > 1 ? std::pow(10.0, -15.0 * i / (n - 1)) : 1.0;
                const double phase = 3.141592653589793 * rng.uniform();
                d[i] = zcomplex{mag * std::cos(phase), mag * std::sin(phase)};
                break;
            }
        }
    }
    return d;
}

Known normal_with_spectrum(const std::vector<zcomplex>& eig, std::uint64_t seed) {
    const int n = static_cast<int>(eig.size());
    const Mat q = random_unitary(n, seed);
    Known k;
    k.a = hhtest::mul(hhtest::mul(q, 'N', diagonal(eig), 'N'), 'N', q, 'C');
    k.eig = eig;
    k.cond = 1.0;
    return k;
}

Known similar_with_spectrum(const std::vector<zcomplex>& eig, std::uint64_t seed, double coupling) {
    const int n = static_cast<int>(eig.size());
    qivtest::Rng rng(seed ^ 0x5eedULL);
    Mat s = hhtest::identity(n);
    for (int j = 1; j <= n; ++j)
        for (int i = j + 1; i <= n; ++i) s(i, j) = qiv::scale(coupling, rng.z());
    // Column j of S^-1 solves S*x = e_j; S is unit lower triangular, so
    // x(i) = 0 for i < j, x(j) = 1 and forward substitution gives the rest.
    Mat sinv(n, n);
    for (int j = 1; j <= n; ++j) {
        sinv(j, j) = zcomplex{1.0, 0.0};
        for (int i = j + 1; i <= n; ++i) {
            zcomplex sum{0.0, 0.0};
            for (int l = j; l < i; ++l) sum = sum + s(i, l) * sinv(l, j);
            sinv(i, j) = -sum;
        }
    }
    const Mat q = random_unitary(n, seed);
    const Mat qs = hhtest::mul(q, 'N', s, 'N');
    const Mat sinvq = hhtest::mul(sinv, 'N', q, 'C');
    Known k;
    k.a = hhtest::mul(hhtest::mul(qs, 'N', diagonal(eig), 'N'), 'N', sinvq, 'N');
    k.eig = eig;
    k.cond = hhtest::norm1(s) * hhtest::norm1(sinv);
    return k;
}

Hessenberg to_hessenberg(const Mat& a) {
    const int n = a.n;
    Hessenberg r;
    r.h = a;
    if (n == 0) {
        r.q = a;
        return r;
    }
    const int ilo = 1, ihi = n;
    std::vector<zcomplex> tau(static_cast<std::size_t>(std::max(1, n - 1)));
    int lwork = -1, info = 0;
    zcomplex query{0.0, 0.0};
    qiv::ZGEHRD(&n, &ilo, &ihi, r.h.data(), &r.h.ld, tau.data(), &query, &lwork, &info);
    lwork = std::max(static_cast<int>(query.re), n * 64);
    std::vector<zcomplex> work(static_cast<std::size_t>(lwork));
    qiv::ZGEHRD(&n, &ilo, &ihi, r.h.data(), &r.h.ld, tau.data(), work.data(), &lwork, &info);
    EXPECT_EQ(info, 0) << "ZGEHRD";
    r.q = r.h;
    qiv::ZUNGHR(&n, &ilo, &ihi, r.q.data(), &r.q.ld, tau.data(), work.data(), &lwork, &info);
    EXPECT_EQ(info, 0) << "ZUNGHR";
    r.h = hhtest::hessenberg_part(r.h);
    return r;
}

double eigenvalue_error(const std::vector<zcomplex>& computed,
                        const std::vector<zcomplex>& prescribed, double norm_a, double cond) {
    const std::size_t n = prescribed.size();
    if (computed.size() != n) return std::numeric_limits<double>::infinity();
    if (n == 0) return 0.0;
    for (const zcomplex& c : computed)
        if (c.re != c.re || c.im != c.im) return std::numeric_limits<double>::quiet_NaN();
    std::vector<bool> used_c(n, false), used_p(n, false);
    double worst = 0.0;
    for (std::size_t round = 0; round < n; ++round) {
        double best = std::numeric_limits<double>::infinity();
        std::size_t bc = 0, bp = 0;
        for (std::size_t i = 0; i < n; ++i) {
            if (used_c[i]) continue;
            for (std::size_t j = 0; j < n; ++j) {
                if (used_p[j]) continue;
                const double d = modulus(computed[i] - prescribed[j]);
                if (d < best) {
                    best = d;
                    bc = i;
                    bp = j;
                }
            }
        }
        if (!(best < std::numeric_limits<double>::infinity())) return best;
        used_c[bc] = used_p[bp] = true;
        worst = std::max(worst, best);
    }
    const double unit =
        static_cast<double>(n) * kEps * std::max(norm_a, std::numeric_limits<double>::min()) * cond;
    return worst / unit;
}

GeevResult geev(const std::vector<zcomplex>& a, int n, bool left, bool right, int lwork) {
    GeevResult r;
    r.a = a;
    r.w.assign(std::max(1, n), zcomplex{0, 0});
    const int ld = std::max(1, n);
    r.vl.assign(left ? ld * ld : 1, zcomplex{0, 0});
    r.vr.assign(right ? ld * ld : 1, zcomplex{0, 0});
    const int ldvl = left ? ld : 1, ldvr = right ? ld : 1;
    std::vector<double> rwork(std::max(1, 2 * n));
    const char* jl = left ? "V" : "N";
    const char* jr = right ? "V" : "N";
    zcomplex query{0, 0};
    int q = -1;
    qiv::ZGEEV(jl, jr, &n, r.a.data(), &ld, r.w.data(), r.vl.data(), &ldvl, r.vr.data(), &ldvr,
               &query, &q, rwork.data(), &r.info);
    EXPECT_EQ(r.info, 0);
    r.lwork_opt = static_cast<int>(query.re);
    if (lwork == 0) lwork = r.lwork_opt;
    std::vector<zcomplex> work(std::max(1, lwork));
    qiv::ZGEEV(jl, jr, &n, r.a.data(), &ld, r.w.data(), r.vl.data(), &ldvl, r.vr.data(), &ldvr,
               work.data(), &lwork, rwork.data(), &r.info);
    EXPECT_EQ(static_cast<int>(work[0].re), r.lwork_opt);
    return r;
}

}  // namespace eigtest
