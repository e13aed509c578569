// General matrix-matrix multiply C := alpha*op(A)*op(B) + beta*C.
#pragma once

#include "frame/types.h"

namespace qiv {

void ZGEMM(const char* transa, const char* transb, const int* m, const int* n, const int* k,
           const zcomplex* alpha, const zcomplex* a, const int* lda, const zcomplex* b,
           const int* ldb, const zcomplex* beta, zcomplex* c, const int* ldc);

}  // namespace qiv
