// Blocked right-looking LU factorisation with partial pivoting: panels of the
// tuned block size are factored by ZGETRF2, the trailing matrix is updated by
// ZTRSM and ZGEMM.
//
// Each panel's interchanges also apply to the columns on its left. Those
// columns hold finished multipliers that nothing reads again, and an
// interchange only moves values, so they are swapped once at the end: each
// finished panel's columns receive the interchanges of all later panels, in
// the same order as if they had been applied panel after panel. The array
// is the same; each of those columns is read once instead of once per later
// panel, and ZLASWP's column-at-a-time order keeps it in cache meanwhile.
#include "env/tuning.h"
#include "frame/xerbla.h"
#include "kernels/gemm.h"
#include "kernels/trmat.h"
#include "lu/lu.h"

namespace qiv {

void ZGETRF(const int* m, const int* n, zcomplex* a, const int* lda, int* ipiv, int* info) {
    *info = 0;
    if (*m < 0) {
        *info = -1;
    } else if (*n < 0) {
        *info = -2;
    } else if (*lda < (*m > 1 ? *m : 1)) {
        *info = -4;
    }
    if (*info != 0) {
        report_illegal("ZGETRF", -*info);
        return;
    }
    if (*m == 0 || *n == 0) return;

    const int nb = ilaenv(1, "ZGETRF", " ", *m, *n, -1, -1);
    const int mn = *m < *n ? *m : *n;
    if (nb <= 1 || nb >= mn) {
        ZGETRF2(m, n, a, lda, ipiv, info);
        return;
    }

    const zcomplex one{1.0, 0.0};
    const zcomplex minus_one{-1.0, -0.0};
    const int ld = *lda;
    const int inc = 1;
    for (int j = 1; j <= mn; j += nb) {
        const int jb = (mn - j + 1) < nb ? (mn - j + 1) : nb;

        // Factor the panel and make its pivots global.
        const int mrows = *m - j + 1;
        int iinfo = 0;
        ZGETRF2(&mrows, &jb, a + at(j, j, ld), lda, ipiv + (j - 1), &iinfo);
        if (*info == 0 && iinfo > 0) *info = iinfo + j - 1;
        const int last = (*m < j + jb - 1) ? *m : j + jb - 1;
        for (int i = j; i <= last; ++i) ipiv[i - 1] += j - 1;

        const int k2 = j + jb - 1;
        if (j + jb <= *n) {
            const int right = *n - j - jb + 1;
            ZLASWP(&right, a + at(1, j + jb, ld), lda, &j, &k2, ipiv, &inc);
            // Block row of U.
            ZTRSM("Left", "Lower", "No transpose", "Unit", &jb, &right, &one, a + at(j, j, ld), lda,
                  a + at(j, j + jb, ld), lda);
            if (j + jb <= *m) {
                // Trailing update.
                const int below = *m - j - jb + 1;
                ZGEMM("No transpose", "No transpose", &below, &right, &jb, &minus_one,
                      a + at(j + jb, j, ld), lda, a + at(j, j + jb, ld), lda, &one,
                      a + at(j + jb, j + jb, ld), lda);
            }
        }
    }

    // The interchanges of the later panels, applied to each finished panel.
    for (int j = 1; j + nb <= mn; j += nb) {
        const int k1 = j + nb;
        ZLASWP(&nb, a + at(1, j, ld), lda, &k1, &mn, ipiv, &inc);
    }
}

}  // namespace qiv
