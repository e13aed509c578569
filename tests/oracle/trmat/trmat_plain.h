// Plain-loop versions of ZTRSM and ZTRMM: the definition of their results, bit
// for bit. The tests compare every fast path against them and the benchmarks
// use them as the yardstick for speed-ups. Arguments by address exactly as the
// library routines take them, already valid (no argument checks here).
#pragma once

#include "frame/types.h"

namespace qivoracle {

using qiv::zcomplex;

void ztrsm_plain(const char* side, const char* uplo, const char* transa, const char* diag,
                 const int* m, const int* n, const zcomplex* alpha, const zcomplex* a,
                 const int* lda, zcomplex* b, const int* ldb);
void ztrmm_plain(const char* side, const char* uplo, const char* transa, const char* diag,
                 const int* m, const int* n, const zcomplex* alpha, const zcomplex* a,
                 const int* lda, zcomplex* b, const int* ldb);

}  // namespace qivoracle
