// LU factorisation with partial pivoting and the linear solve built on it.
#pragma once

#include "frame/types.h"

namespace qiv {

void ZGETRF(const int* m, const int* n, zcomplex* a, const int* lda, int* ipiv, int* info);
void ZGETRF2(const int* m, const int* n, zcomplex* a, const int* lda, int* ipiv, int* info);
void ZLASWP(const int* n, zcomplex* a, const int* lda, const int* k1, const int* k2,
            const int* ipiv, const int* incx);
void ZGETRS(const char* trans, const int* n, const int* nrhs, const zcomplex* a, const int* lda,
            const int* ipiv, zcomplex* b, const int* ldb, int* info);
void ZGESV(const int* n, const int* nrhs, zcomplex* a, const int* lda, int* ipiv, zcomplex* b,
           const int* ldb, int* info);

}  // namespace qiv
