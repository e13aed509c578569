// Recursive LU factorisation with partial pivoting: the columns are split in
// halves down to single columns, so most of the work runs in ZTRSM and ZGEMM.
#include "env/machine.h"
#include "frame/complex.h"
#include "frame/xerbla.h"
#include "kernels/gemm.h"
#include "kernels/trmat.h"
#include "kernels/vector.h"
#include "lu/lu.h"

namespace qiv {

void ZGETRF2(const int* m, const int* n, zcomplex* a, const int* lda, int* ipiv, int* info) {
    *info = 0;
    if (*m < 0) {
        *info = -1;
    } else if (*n < 0) {
        *info = -2;
    } else if (*lda < (*m > 1 ? *m : 1)) {
        *info = -4;
    }
    if (*info != 0) {
        report_illegal("ZGETRF2", -*info);
        return;
    }
    if (*m == 0 || *n == 0) return;

    const int ld = *lda;
    if (*m == 1) {
        ipiv[0] = 1;
        if (is_zero(a[0])) *info = 1;
        return;
    }

    if (*n == 1) {
        const double sfmin = mach_sfmin;
        const int one = 1;
        const int i = IZAMAX(m, a, &one);
        ipiv[0] = i;
        if (!is_zero(a[i - 1])) {
            if (i != 1) {
                const zcomplex t = a[0];
                a[0] = a[i - 1];
                a[i - 1] = t;
            }
            const int rest = *m - 1;
            if (zabs(a[0]) >= sfmin) {
                const zcomplex recip = zcomplex{1.0, 0.0} / a[0];
                ZSCAL(&rest, &recip, a + 1, &one);
            } else {
                // A tiny pivot: divide element by element so that no overflowing
                // reciprocal is ever formed.
                for (int k = 1; k <= rest; ++k) a[k] = a[k] / a[0];
            }
        } else {
            *info = 1;
        }
        return;
    }

    const zcomplex one{1.0, 0.0};
    const zcomplex minus_one{-1.0, -0.0};
    const int mn = *m < *n ? *m : *n;
    const int n1 = mn / 2;
    const int n2 = *n - n1;
    int iinfo = 0;

    ZGETRF2(m, &n1, a, lda, ipiv, &iinfo);
    if (*info == 0 && iinfo > 0) *info = iinfo;

    zcomplex* a12 = a + at(1, n1 + 1, ld);
    zcomplex* a21 = a + at(n1 + 1, 1, ld);
    zcomplex* a22 = a + at(n1 + 1, n1 + 1, ld);
    const int k1 = 1;
    const int inc = 1;
    ZLASWP(&n2, a12, lda, &k1, &n1, ipiv, &inc);
    ZTRSM("L", "L", "N", "U", &n1, &n2, &one, a, lda, a12, lda);
    const int m2 = *m - n1;
    ZGEMM("N", "N", &m2, &n2, &n1, &minus_one, a21, lda, a12, lda, &one, a22, lda);

    ZGETRF2(&m2, &n2, a22, lda, ipiv + n1, &iinfo);
    if (*info == 0 && iinfo > 0) *info = iinfo + n1;
    for (int i = n1 + 1; i <= mn; ++i) ipiv[i - 1] += n1;

    const int k1b = n1 + 1;
    ZLASWP(&n1, a, lda, &k1b, &mn, ipiv, &inc);
}

}  // namespace qiv
