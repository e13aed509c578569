// ZCOPY: y := x on strided complex vectors (any increment), bit for bit.
#include "kernels/vector.h"

namespace qiv {

void ZCOPY(const int* n, const zcomplex* zx, const int* incx, zcomplex* zy, const int* incy) {
    if (*n <= 0) return;
    if (*incx == 1 && *incy == 1) {
        for (int i = 0; i < *n; ++i) zy[i] = zx[i];
        return;
    }
    std::ptrdiff_t ix = walk_start(*n, *incx);
    std::ptrdiff_t iy = walk_start(*n, *incy);
    for (int i = 0; i < *n; ++i) {
        zy[iy] = zx[ix];
        ix += *incx;
        iy += *incy;
    }
}

}  // namespace qiv
