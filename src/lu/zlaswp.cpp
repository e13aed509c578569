// Row interchanges recorded in a pivot vector, applied to a set of columns.
//
// The plain loops run the whole pivot sequence over blocks of 32 columns. An
// interchange moves values without changing them, and the columns do not
// interact, so the same array results from running the sequence over one
// column at a time: the rows each column touches then lie in that column, a
// few pages of memory, instead of one page per column and row for every
// interchange of a block (a matrix with a long leading dimension spends most
// of the blocked order in address translation). The pivot rows of a column a
// few places ahead are fetched while one column is worked on.
#include <cstddef>

#include "lu/lu.h"

namespace qiv {

void ZLASWP(const int* n, zcomplex* a, const int* lda, const int* k1, const int* k2,
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
    const std::ptrdiff_t ld = *lda;
    const int steps = (i2 - i1) * inc + 1;
    // How many columns ahead the pivot rows are fetched: far enough for the
    // latency of the outer cache levels.
    constexpr int ahead = 4;
    for (int k = 0; k < *n; ++k) {
        zcomplex* col = a + k * ld;
        const bool fetch = k + ahead < *n;
        int ix = ix0;
        for (int s = 0, i = i1; s < steps; ++s, i += inc) {
            const int ip = ipiv[ix - 1];
            if (fetch) __builtin_prefetch(col + ahead * ld + (ip - 1), 1, 3);
            if (ip != i) {
                const zcomplex t = col[i - 1];
                col[i - 1] = col[ip - 1];
                col[ip - 1] = t;
            }
            ix += *incx;
        }
    }
}

}  // namespace qiv
