// Argument checks shared by the triangular kernels: ZTRSM and ZTRMM take the
// same argument list, and so do ZTRSV and ZTRMV. Each function returns the
// 1-based position of the first illegal argument, or 0.
#pragma once

#include "frame/lsame.h"

namespace qiv {

inline int check_trmat_args(const char* side, const char* uplo, const char* transa,
                            const char* diag, int m, int n, int lda, int ldb) {
    const int nrowa = LSAME(side, "L") ? m : n;
    if (!LSAME(side, "L") && !LSAME(side, "R")) return 1;
    if (!LSAME(uplo, "U") && !LSAME(uplo, "L")) return 2;
    if (!LSAME(transa, "N") && !LSAME(transa, "T") && !LSAME(transa, "C")) return 3;
    if (!LSAME(diag, "U") && !LSAME(diag, "N")) return 4;
    if (m < 0) return 5;
    if (n < 0) return 6;
    if (lda < (nrowa > 1 ? nrowa : 1)) return 9;
    if (ldb < (m > 1 ? m : 1)) return 11;
    return 0;
}

inline int check_trmv_args(const char* uplo, const char* trans, const char* diag, int n, int lda,
                           int incx) {
    if (!LSAME(uplo, "U") && !LSAME(uplo, "L")) return 1;
    if (!LSAME(trans, "N") && !LSAME(trans, "T") && !LSAME(trans, "C")) return 2;
    if (!LSAME(diag, "U") && !LSAME(diag, "N")) return 3;
    if (n < 0) return 4;
    if (lda < (n > 1 ? n : 1)) return 6;
    if (incx == 0) return 8;
    return 0;
}

}  // namespace qiv
