// The plain loops of ZLASWP: the whole pivot sequence over blocks of 32
// columns, one block after another. Every interchange is an exact move, so
// the library's column-by-column order gives the same array; this is the
// reference it is compared with.
#include "frame/types.h"
#include "oracle/lu/lu_plain.h"

namespace qivoracle {

using qiv::at;

void zlaswp_plain(const int* n, zcomplex* a, const int* lda, const int* k1, const int* k2,
                  const int* ipiv, const int* incx) {
    int ix0, i1, i2, inc;
    if (*incx > 0) {
        ix0 = *k1;
        i1 = *k1;
        i2 = *k2;
        inc = 1;
    } else if (*incx < 0) {
        ix0 = *k1 + (*k1 - *k2) * *incx;
        i1 = *k2;
        i2 = *k1;
        inc = -1;
    } else {
        return;
    }
    const int ld = *lda;

    // One pass of the whole pivot sequence over columns first..last.
    auto pass = [&](int first, int last) {
        int ix = ix0;
        for (int i = i1; inc > 0 ? i <= i2 : i >= i2; i += inc) {
            const int ip = ipiv[ix - 1];
            if (ip != i) {
                for (int k = first; k <= last; ++k) {
                    zcomplex& x = a[at(i, k, ld)];
                    zcomplex& y = a[at(ip, k, ld)];
                    const zcomplex t = x;
                    x = y;
                    y = t;
                }
            }
            ix += *incx;
        }
    };

    // Blocks of 32 columns, each swapped for the whole sequence before the next.
    const int n32 = (*n / 32) * 32;
    for (int j = 1; j <= n32; j += 32) pass(j, j + 31);
    if (n32 != *n) pass(n32 + 1, *n);
}

}  // namespace qivoracle
