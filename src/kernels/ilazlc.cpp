// ILAZLC: the last column of a matrix that holds a non-zero element (0 if
// none).
#include "frame/complex.h"
#include "kernels/matutil.h"

namespace qiv {

int ILAZLC(const int* m, const int* n, const zcomplex* a, const int* lda) {
    const int rows = *m, cols = *n, ld = *lda;
    // No rows means no non-zero element; also keeps the corner reads below
    // inside the matrix.
    if (rows <= 0 || cols <= 0) return 0;
    // Quick answer from the two corners of the last column.
    if (!is_zero(a[at(1, cols, ld)]) || !is_zero(a[at(rows, cols, ld)])) return cols;
    for (int j = cols; j >= 1; --j)
        for (int i = 1; i <= rows; ++i)
            if (!is_zero(a[at(i, j, ld)])) return j;
    return 0;
}

}  // namespace qiv
