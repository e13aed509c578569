// Solves A*X = B, A^T*X = B or A^H*X = B with the LU factors from ZGETRF.
#include "frame/lsame.h"
#include "frame/xerbla.h"
#include "kernels/trmat.h"
#include "lu/lu.h"

namespace qiv {

void ZGETRS(const char* trans, const int* n, const int* nrhs, const zcomplex* a, const int* lda,
            const int* ipiv, zcomplex* b, const int* ldb, int* info) {
    *info = 0;
    const bool notran = LSAME(trans, "N");
    const int nmin = *n > 1 ? *n : 1;
    if (!notran && !LSAME(trans, "T") && !LSAME(trans, "C")) {
        *info = -1;
    } else if (*n < 0) {
        *info = -2;
    } else if (*nrhs < 0) {
        *info = -3;
    } else if (*lda < nmin) {
        *info = -5;
    } else if (*ldb < nmin) {
        *info = -8;
    }
    if (*info != 0) {
        report_illegal("ZGETRS", -*info);
        return;
    }
    if (*n == 0 || *nrhs == 0) return;

    const zcomplex one{1.0, 0.0};
    const int k1 = 1;
    if (notran) {
        const int inc = 1;
        ZLASWP(nrhs, b, ldb, &k1, n, ipiv, &inc);
        ZTRSM("Left", "Lower", "No transpose", "Unit", n, nrhs, &one, a, lda, b, ldb);
        ZTRSM("Left", "Upper", "No transpose", "Non-unit", n, nrhs, &one, a, lda, b, ldb);
    } else {
        ZTRSM("Left", "Upper", trans, "Non-unit", n, nrhs, &one, a, lda, b, ldb);
        ZTRSM("Left", "Lower", trans, "Unit", n, nrhs, &one, a, lda, b, ldb);
        const int inc = -1;
        ZLASWP(nrhs, b, ldb, &k1, n, ipiv, &inc);
    }
}

}  // namespace qiv
