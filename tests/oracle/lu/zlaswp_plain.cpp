// ZLASWP has no fast path: the library routine is itself the plain loop over
// blocks of 32 columns, so the oracle uses it directly rather than a copy.
#include "lu/lu.h"
#include "oracle/lu/lu_plain.h"

namespace qivoracle {

void zlaswp_plain(const int* n, zcomplex* a, const int* lda, const int* k1, const int* k2,
                  const int* ipiv, const int* incx) {
    qiv::ZLASWP(n, a, lda, k1, k2, ipiv, incx);
}

}  // namespace qivoracle
