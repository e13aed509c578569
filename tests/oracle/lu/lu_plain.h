// Plain versions of the LU routines for comparisons and benchmarks: ZLASWP's
// plain loops, and the LU factorisation (the same blocked and recursive
// algorithm as ZGETRF and ZGETRF2) run on the plain-loop kernels.
#pragma once

#include "frame/types.h"

namespace qivoracle {

using qiv::zcomplex;

void zlaswp_plain(const int* n, zcomplex* a, const int* lda, const int* k1, const int* k2,
                  const int* ipiv, const int* incx);

// ZGETRF2, ZGETRF and ZGESV (no argument checks) on the plain-loop kernels.
void zgetrf2_plain(const int* m, const int* n, zcomplex* a, const int* lda, int* ipiv, int* info);
void zgetrf_plain(const int* m, const int* n, zcomplex* a, const int* lda, int* ipiv, int* info);
void zgesv_plain(const int* n, const int* nrhs, zcomplex* a, const int* lda, int* ipiv, zcomplex* b,
                 const int* ldb, int* info);

}  // namespace qivoracle
