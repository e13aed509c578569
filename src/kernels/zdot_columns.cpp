// Dot products of several columns with one vector, for solvers that need the
// dot products of consecutive columns with the same leading part of a vector.
// Each column's sum is its own chain of additions in row order, as ZDOTC or
// ZDOTU forms it; the engine carries several chains at once, which hides the
// latency of each addition.
#include "kernels/engines/matvec/engine.h"
#include "kernels/vector.h"

namespace qiv {

void zdot_columns(bool conj, int m, int ncols, const zcomplex* a, int lda, const zcomplex* x,
                  zcomplex* acc) {
    if (m <= 0 || ncols <= 0) return;
    dots_engine(best_isa(), DotsArgs{conj, m, ncols, a, lda, x, acc});
}

}  // namespace qiv
