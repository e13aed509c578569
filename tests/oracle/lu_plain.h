// Plain versions of the LU routines for comparisons and benchmarks: ZLASWP's
// plain loops, and the LU factorisation (the same blocked and recursive
// algorithm as ZGETRF and ZGETRF2) run on the plain-loop kernels.
#pragma once

#include "frame/types.h"

namespace qivoracle {

using qiv::zcomplex;

void zlaswp_plain(const int* n, zcomplex* a, const int* lda, const int* k1, const int* k2,
                  const int* ipiv, const int* incx);

}  // namespace qivoracle
