#include "lu/lu_support.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "frame/complex.h"
#include "support/matrix.h"

namespace qivtest {

namespace {
const double eps = 0x1p-53;
}

double lu_backward_error(const std::vector<zcomplex>& a, const std::vector<zcomplex>& f,
                         const std::vector<int>& ipiv, int m, int n, int lda) {
    // P*A: apply the interchanges in increasing order.
    std::vector<zcomplex> pa(a);
    const int mn = std::min(m, n);
    for (int i = 1; i <= mn; ++i) {
        const int p = ipiv[i - 1];
        if (p != i)
            for (int j = 1; j <= n; ++j) std::swap(pa[qiv::at(i, j, lda)], pa[qiv::at(p, j, lda)]);
    }
    std::vector<zcomplex> r(static_cast<std::size_t>(m) * n);
    for (int j = 1; j <= n; ++j)
        for (int i = 1; i <= m; ++i) {
            zcomplex s{0, 0};
            for (int k = 1; k <= std::min(std::min(i, j), mn); ++k) {
                const zcomplex l = (k == i) ? zcomplex{1, 0} : f[qiv::at(i, k, lda)];
                s = s + l * f[qiv::at(k, j, lda)];
            }
            r[qiv::at(i, j, m)] = pa[qiv::at(i, j, lda)] - s;
        }
    const double anorm = norm1(a.data(), m, n, lda);
    const double rnorm = norm1(r.data(), m, n, m);
    if (anorm == 0) return rnorm;
    return rnorm / (anorm * std::max(m, n) * eps);
}

double solve_residual(char trans, const std::vector<zcomplex>& a, int n, int lda,
                      const std::vector<zcomplex>& x, const std::vector<zcomplex>& b, int nrhs,
                      int ldb) {
    std::vector<zcomplex> r(static_cast<std::size_t>(n) * nrhs);
    for (int j = 1; j <= nrhs; ++j)
        for (int i = 1; i <= n; ++i) {
            zcomplex s{0, 0};
            for (int k = 1; k <= n; ++k) {
                zcomplex aik = trans == 'N' ? a[qiv::at(i, k, lda)] : a[qiv::at(k, i, lda)];
                if (trans == 'C') aik = qiv::conj(aik);
                s = s + aik * x[qiv::at(k, j, ldb)];
            }
            r[qiv::at(i, j, n)] = s - b[qiv::at(i, j, ldb)];
        }
    const double anorm = norm1(a.data(), n, n, lda);
    const double xnorm = norm1(x.data(), n, nrhs, ldb);
    const double rnorm = norm1(r.data(), n, nrhs, n);
    if (anorm == 0 || xnorm == 0) return rnorm;
    return rnorm / (anorm * xnorm * n * eps);
}

}  // namespace qivtest
