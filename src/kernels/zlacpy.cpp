// ZLACPY: copies a matrix, or its upper or lower triangle, bit for bit. Each
// column's run of elements is one block copy.
#include <algorithm>

#include "frame/lsame.h"
#include "kernels/matutil.h"

namespace qiv {

namespace {

// Rows first..last (counted from 1) of column j.
inline void copy_rows(const zcomplex* a, int lda, zcomplex* b, int ldb, int j, int first,
                      int last) {
    if (last < first) return;
    const zcomplex* src = a + at(first, j, lda);
    std::copy(src, src + (last - first + 1), b + at(first, j, ldb));
}

}  // namespace

void ZLACPY(const char* uplo, const int* m, const int* n, const zcomplex* a, const int* lda,
            zcomplex* b, const int* ldb) {
    const int rows = *m, cols = *n;
    if (LSAME(uplo, "U")) {
        for (int j = 1; j <= cols; ++j) copy_rows(a, *lda, b, *ldb, j, 1, std::min(j, rows));
    } else if (LSAME(uplo, "L")) {
        for (int j = 1; j <= cols; ++j) copy_rows(a, *lda, b, *ldb, j, j, rows);
    } else {
        for (int j = 1; j <= cols; ++j) copy_rows(a, *lda, b, *ldb, j, 1, rows);
    }
}

}  // namespace qiv
