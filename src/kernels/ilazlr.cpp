// ILAZLR: the last row of a matrix that holds a non-zero element (0 if none).
#include "frame/complex.h"
#include "kernels/matutil.h"

namespace qiv {

int ILAZLR(const int* m, const int* n, const zcomplex* a, const int* lda) {
    const int rows = *m, cols = *n, ld = *lda;
    // No columns means no non-zero element; also keeps the corner reads below
    // inside the matrix.
    if (rows <= 0 || cols <= 0) return 0;
    // Quick answer from the two corners of the last row.
    if (!is_zero(a[at(rows, 1, ld)]) || !is_zero(a[at(rows, cols, ld)])) return rows;
    int last = 0;
    for (int j = 1; j <= cols; ++j) {
        int i = rows;
        while (i >= 1 && is_zero(a[at(i, j, ld)])) --i;
        if (i > last) last = i;
    }
    return last;
}

}  // namespace qiv
