// The LU factorisation and linear solve of the library, the same blocked and
// recursive algorithm as ZGETRF, ZGETRF2 and ZGESV (panels of ILAENV's block
// size, halving recursion, the same calls in the same order), run on the
// plain-loop kernels: ZGEMM, ZTRSM and ZLASWP as plain loops, the vector
// kernels of the library (which have no other form). The tests compare the
// library's LU with it bit for bit; the benchmarks use it as the yardstick.
#include "env/machine.h"
#include "env/tuning.h"
#include "frame/complex.h"
#include "kernels/vector.h"
#include "oracle/gemm/gemm_plain.h"
#include "oracle/lu/lu_plain.h"
#include "oracle/trmat/trmat_plain.h"

namespace qivoracle {

using qiv::at;

namespace {

const zcomplex kOne{1.0, 0.0};
const zcomplex kMinusOne{-1.0, -0.0};

}  // namespace

void zgetrf2_plain(const int* m, const int* n, zcomplex* a, const int* lda, int* ipiv, int* info) {
    *info = 0;
    if (*m == 0 || *n == 0) return;
    const int ld = *lda;
    if (*m == 1) {
        ipiv[0] = 1;
        if (qiv::is_zero(a[0])) *info = 1;
        return;
    }
    if (*n == 1) {
        const double sfmin = qiv::DLAMCH("S");
        const int one = 1;
        const int i = qiv::IZAMAX(m, a, &one);
        ipiv[0] = i;
        if (!qiv::is_zero(a[i - 1])) {
            if (i != 1) {
                const zcomplex t = a[0];
                a[0] = a[i - 1];
                a[i - 1] = t;
            }
            const int rest = *m - 1;
            if (qiv::zabs(a[0]) >= sfmin) {
                const zcomplex recip = kOne / a[0];
                qiv::ZSCAL(&rest, &recip, a + 1, &one);
            } else {
                for (int k = 1; k <= rest; ++k) a[k] = a[k] / a[0];
            }
        } else {
            *info = 1;
        }
        return;
    }
    const int mn = *m < *n ? *m : *n;
    const int n1 = mn / 2, n2 = *n - n1;
    int iinfo = 0;
    zgetrf2_plain(m, &n1, a, lda, ipiv, &iinfo);
    if (*info == 0 && iinfo > 0) *info = iinfo;
    zcomplex* a12 = a + at(1, n1 + 1, ld);
    zcomplex* a21 = a + at(n1 + 1, 1, ld);
    zcomplex* a22 = a + at(n1 + 1, n1 + 1, ld);
    const int k1 = 1, inc = 1;
    zlaswp_plain(&n2, a12, lda, &k1, &n1, ipiv, &inc);
    ztrsm_plain("L", "L", "N", "U", &n1, &n2, &kOne, a, lda, a12, lda);
    const int m2 = *m - n1;
    zgemm_plain("N", "N", &m2, &n2, &n1, &kMinusOne, a21, lda, a12, lda, &kOne, a22, lda);
    zgetrf2_plain(&m2, &n2, a22, lda, ipiv + n1, &iinfo);
    if (*info == 0 && iinfo > 0) *info = iinfo + n1;
    for (int i = n1 + 1; i <= mn; ++i) ipiv[i - 1] += n1;
    const int k1b = n1 + 1;
    zlaswp_plain(&n1, a, lda, &k1b, &mn, ipiv, &inc);
}

void zgetrf_plain(const int* m, const int* n, zcomplex* a, const int* lda, int* ipiv, int* info) {
    *info = 0;
    if (*m == 0 || *n == 0) return;
    const int nb = qiv::ilaenv(1, "ZGETRF", " ", *m, *n, -1, -1);
    const int mn = *m < *n ? *m : *n;
    if (nb <= 1 || nb >= mn) {
        zgetrf2_plain(m, n, a, lda, ipiv, info);
        return;
    }
    const int ld = *lda, inc = 1;
    for (int j = 1; j <= mn; j += nb) {
        const int jb = (mn - j + 1) < nb ? (mn - j + 1) : nb;
        const int mrows = *m - j + 1;
        int iinfo = 0;
        zgetrf2_plain(&mrows, &jb, a + at(j, j, ld), lda, ipiv + (j - 1), &iinfo);
        if (*info == 0 && iinfo > 0) *info = iinfo + j - 1;
        const int last = (*m < j + jb - 1) ? *m : j + jb - 1;
        for (int i = j; i <= last; ++i) ipiv[i - 1] += j - 1;
        const int left = j - 1, k2 = j + jb - 1;
        zlaswp_plain(&left, a, lda, &j, &k2, ipiv, &inc);
        if (j + jb <= *n) {
            const int right = *n - j - jb + 1;
            zlaswp_plain(&right, a + at(1, j + jb, ld), lda, &j, &k2, ipiv, &inc);
            ztrsm_plain("Left", "Lower", "No transpose", "Unit", &jb, &right, &kOne,
                        a + at(j, j, ld), lda, a + at(j, j + jb, ld), lda);
            if (j + jb <= *m) {
                const int below = *m - j - jb + 1;
                zgemm_plain("No transpose", "No transpose", &below, &right, &jb, &kMinusOne,
                            a + at(j + jb, j, ld), lda, a + at(j, j + jb, ld), lda, &kOne,
                            a + at(j + jb, j + jb, ld), lda);
            }
        }
    }
}

void zgesv_plain(const int* n, const int* nrhs, zcomplex* a, const int* lda, int* ipiv, zcomplex* b,
                 const int* ldb, int* info) {
    zgetrf_plain(n, n, a, lda, ipiv, info);
    if (*info != 0 || *n == 0 || *nrhs == 0) return;
    const int k1 = 1, inc = 1;
    zlaswp_plain(nrhs, b, ldb, &k1, n, ipiv, &inc);
    ztrsm_plain("Left", "Lower", "No transpose", "Unit", n, nrhs, &kOne, a, lda, b, ldb);
    ztrsm_plain("Left", "Upper", "No transpose", "Non-unit", n, nrhs, &kOne, a, lda, b, ldb);
}

}  // namespace qivoracle
