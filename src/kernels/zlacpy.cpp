// ZLACPY: copies a matrix, or its upper or lower triangle, bit for bit.
#include <algorithm>

#include "frame/lsame.h"
#include "kernels/matutil.h"

namespace qiv {

void ZLACPY(const char* uplo, const int* m, const int* n, const zcomplex* a, const int* lda,
            zcomplex* b, const int* ldb) {
    const int rows = *m, cols = *n;
    if (LSAME(uplo, "U")) {
        for (int j = 1; j <= cols; ++j)
            for (int i = 1; i <= std::min(j, rows); ++i) b[at(i, j, *ldb)] = a[at(i, j, *lda)];
    } else if (LSAME(uplo, "L")) {
        for (int j = 1; j <= cols; ++j)
            for (int i = j; i <= rows; ++i) b[at(i, j, *ldb)] = a[at(i, j, *lda)];
    } else {
        for (int j = 1; j <= cols; ++j)
            for (int i = 1; i <= rows; ++i) b[at(i, j, *ldb)] = a[at(i, j, *lda)];
    }
}

}  // namespace qiv
