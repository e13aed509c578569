// ZAXPY: y := y + a*x on strided complex vectors (any increment). Unit-stride
// vectors that do not overlap with a shift go through the vector engine
// (kernels/vector_engine.h), several elements per register, same bits.
#include "env/machine.h"
#include "frame/complex.h"
#include "kernels/vector.h"
#include "kernels/vector_engine.h"

namespace qiv {

void ZAXPY(const int* n, const zcomplex* za, const zcomplex* zx, const int* incx, zcomplex* zy,
           const int* incy) {
    // A factor with both parts zero adds nothing; a NaN part still goes through.
    if (*n <= 0 || DCABS1(za) == 0.0) return;
    const zcomplex a = *za;
    if (*incx == 1 && *incy == 1) {
        // Elements are independent unless the vectors overlap with a shift.
        if (zx == zy || walks_disjoint(zx, 1, zy, 1, *n)) {
            zaxpy_unit(best_isa(), *n, a, zx, zy);
            return;
        }
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
