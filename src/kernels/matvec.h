// Matrix-vector kernels. Each checks its arguments and reports the first
// illegal one through XERBLA.
#pragma once

#include "frame/types.h"

namespace qiv {

void ZGEMV(const char* trans, const int* m, const int* n, const zcomplex* alpha, const zcomplex* a,
           const int* lda, const zcomplex* x, const int* incx, const zcomplex* beta, zcomplex* y,
           const int* incy);
void ZGERC(const int* m, const int* n, const zcomplex* alpha, const zcomplex* x, const int* incx,
           const zcomplex* y, const int* incy, zcomplex* a, const int* lda);
void ZTRMV(const char* uplo, const char* trans, const char* diag, const int* n, const zcomplex* a,
           const int* lda, zcomplex* x, const int* incx);
void ZTRSV(const char* uplo, const char* trans, const char* diag, const int* n, const zcomplex* a,
           const int* lda, zcomplex* x, const int* incx);

}  // namespace qiv
