// ZLASET: sets the off-diagonal part of a matrix (or of one triangle) to alpha
// and the diagonal to beta.
#include <algorithm>

#include "frame/lsame.h"
#include "kernels/matutil.h"

namespace qiv {

void ZLASET(const char* uplo, const int* m, const int* n, const zcomplex* alpha,
            const zcomplex* beta, zcomplex* a, const int* lda) {
    const int rows = *m, cols = *n, ld = *lda;
    const zcomplex off = *alpha;
    if (LSAME(uplo, "U")) {
        // Strictly upper part.
        for (int j = 2; j <= cols; ++j)
            for (int i = 1; i <= std::min(j - 1, rows); ++i) a[at(i, j, ld)] = off;
    } else if (LSAME(uplo, "L")) {
        // Strictly lower part.
        for (int j = 1; j <= std::min(rows, cols); ++j)
            for (int i = j + 1; i <= rows; ++i) a[at(i, j, ld)] = off;
    } else {
        for (int j = 1; j <= cols; ++j)
            for (int i = 1; i <= rows; ++i) a[at(i, j, ld)] = off;
    }
    // The diagonal last, whatever UPLO selected.
    const zcomplex diag = *beta;
    for (int i = 1; i <= std::min(rows, cols); ++i) a[at(i, i, ld)] = diag;
}

}  // namespace qiv
