// ZGERC as plain loops, the definition every fast path must reproduce: the conjugated rank-one
// update A := alpha*x*y^H + A.
//
// Column j of A gains x scaled by alpha*conj(y(j)); a column whose y(j) is
// zero is left untouched, NaNs and infinities in it included.
#include <cstddef>

#include "frame/complex.h"
#include "oracle/matvec/matvec_plain.h"

namespace qivoracle {

using namespace qiv;

void zgerc_plain(const int* m, const int* n, const zcomplex* alpha, const zcomplex* x,
                 const int* incx, const zcomplex* y, const int* incy, zcomplex* a, const int* lda) {
    const int M = *m, N = *n, LDA = *lda;
    if (M == 0 || N == 0 || is_zero(*alpha)) return;

    const zcomplex al = *alpha;
    const Walk wx = walk(M, *incx);
    const Walk wy = walk(N, *incy);

    for (int j = 1; j <= N; ++j) {
        const zcomplex yj = y[wy.pos(j)];
        if (is_zero(yj)) continue;
        const zcomplex t = al * conj(yj);
        for (int i = 1; i <= M; ++i) {
            zcomplex& aij = a[at(i, j, LDA)];
            aij = aij + x[wx.pos(i)] * t;
        }
    }
}

}  // namespace qivoracle
