// ZGERC: the conjugated rank-one update A := alpha*x*y^H + A.
//
// The result is defined by a plain loop: column j of A gains x scaled by
// alpha*conj(y(j)); a column whose y(j) is zero is left untouched, NaNs and
// infinities in it included. This routine checks the arguments, takes the
// quick return and hands the loop to the engine (kernels/engines/matvec/engine.h),
// which updates several columns per pass with the same operations on every
// element.
#include <cstddef>

#include "frame/complex.h"
#include "frame/xerbla.h"
#include "kernels/engines/matvec/engine.h"
#include "kernels/matvec.h"

namespace qiv {

void ZGERC(const int* m, const int* n, const zcomplex* alpha, const zcomplex* x, const int* incx,
           const zcomplex* y, const int* incy, zcomplex* a, const int* lda) {
    int info = 0;
    if (*m < 0) {
        info = 1;
    } else if (*n < 0) {
        info = 2;
    } else if (*incx == 0) {
        info = 5;
    } else if (*incy == 0) {
        info = 7;
    } else if (*lda < (*m > 1 ? *m : 1)) {
        info = 9;
    }
    if (info != 0) {
        report_illegal("ZGERC ", info);
        return;
    }

    const int M = *m, N = *n, LDA = *lda;
    if (M == 0 || N == 0 || is_zero(*alpha)) return;

    const GercArgs g{M, N, *alpha, walk(x, M, *incx), walk(y, N, *incy), a, LDA};
    gerc_engine(best_isa(), g);
}

}  // namespace qiv
