// Plain-loop versions of the kernels that have fast paths. They define the
// results bit for bit; the tests compare every fast path against them and the
// benchmarks use them as the yardstick for speed-ups.
#pragma once

#include "frame/types.h"

namespace qivoracle {

using qiv::zcomplex;

// C := ALPHA*op(A)*op(B) + BETA*C by the plain loops, arguments by address
// exactly as ZGEMM takes them (already valid: no argument checks here).
void zgemm_plain(const char* transa, const char* transb, const int* m, const int* n, const int* k,
                 const zcomplex* alpha, const zcomplex* a, const int* lda, const zcomplex* b,
                 const int* ldb, const zcomplex* beta, zcomplex* c, const int* ldc);

}  // namespace qivoracle
