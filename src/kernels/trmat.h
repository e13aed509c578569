// Triangular matrix-matrix kernels: solve (ZTRSM) and multiply (ZTRMM) with a
// triangular A from either side, many right-hand sides at once.
#pragma once

#include "frame/types.h"

namespace qiv {

void ZTRSM(const char* side, const char* uplo, const char* transa, const char* diag, const int* m,
           const int* n, const zcomplex* alpha, const zcomplex* a, const int* lda, zcomplex* b,
           const int* ldb);
void ZTRMM(const char* side, const char* uplo, const char* transa, const char* diag, const int* m,
           const int* n, const zcomplex* alpha, const zcomplex* a, const int* lda, zcomplex* b,
           const int* ldb);

}  // namespace qiv
