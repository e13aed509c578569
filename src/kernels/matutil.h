// Whole-matrix utilities: copy, set, scale, norms, last non-zero row/column.
#pragma once

#include "frame/types.h"

namespace qiv {

void ZLACPY(const char* uplo, const int* m, const int* n, const zcomplex* a, const int* lda,
            zcomplex* b, const int* ldb);
void ZLASET(const char* uplo, const int* m, const int* n, const zcomplex* alpha,
            const zcomplex* beta, zcomplex* a, const int* lda);
void ZLASCL(const char* type, const int* kl, const int* ku, const double* cfrom, const double* cto,
            const int* m, const int* n, zcomplex* a, const int* lda, int* info);
double ZLANGE(const char* norm, const int* m, const int* n, const zcomplex* a, const int* lda,
              double* work);
void ZLASSQ(const int* n, const zcomplex* x, const int* incx, double* scale, double* sumsq);
int ILAZLR(const int* m, const int* n, const zcomplex* a, const int* lda);
int ILAZLC(const int* m, const int* n, const zcomplex* a, const int* lda);

}  // namespace qiv
