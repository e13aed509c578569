// Solves the square system A*X = B: LU factorisation, then the two triangular
// solves, only when no pivot is exactly zero.
#include "frame/xerbla.h"
#include "lu/lu.h"

namespace qiv {

void ZGESV(const int* n, const int* nrhs, zcomplex* a, const int* lda, int* ipiv, zcomplex* b,
           const int* ldb, int* info) {
    *info = 0;
    const int nmin = *n > 1 ? *n : 1;
    if (*n < 0) {
        *info = -1;
    } else if (*nrhs < 0) {
        *info = -2;
    } else if (*lda < nmin) {
        *info = -4;
    } else if (*ldb < nmin) {
        *info = -7;
    }
    if (*info != 0) {
        report_illegal("ZGESV ", -*info);
        return;
    }
    ZGETRF(n, n, a, lda, ipiv, info);
    if (*info == 0) ZGETRS("No transpose", n, nrhs, a, lda, ipiv, b, ldb, info);
}

}  // namespace qiv
