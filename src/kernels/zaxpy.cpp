// ZAXPY: y := y + a*x on strided complex vectors (any increment).
#include "env/machine.h"
#include "frame/complex.h"
#include "kernels/vector.h"

namespace qiv {

void ZAXPY(const int* n, const zcomplex* za, const zcomplex* zx, const int* incx, zcomplex* zy,
           const int* incy) {
    // A factor with both parts zero adds nothing; a NaN part still goes through.
    if (*n <= 0 || DCABS1(za) == 0.0) return;
    const zcomplex a = *za;
    if (*incx == 1 && *incy == 1) {
        for (int i = 0; i < *n; ++i) zy[i] = a * zx[i] + zy[i];
        return;
    }
    std::ptrdiff_t ix = walk_start(*n, *incx);
    std::ptrdiff_t iy = walk_start(*n, *incy);
    for (int i = 0; i < *n; ++i) {
        // The product is rounded first, then added to y.
        zy[iy] = a * zx[ix] + zy[iy];
        ix += *incx;
        iy += *incy;
    }
}

}  // namespace qiv
