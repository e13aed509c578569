// ZSWAP: exchanges two strided complex vectors (any increment).
#include "kernels/vector.h"

namespace qiv {

void ZSWAP(const int* n, zcomplex* zx, const int* incx, zcomplex* zy, const int* incy) {
    if (*n <= 0) return;
    if (*incx == 1 && *incy == 1) {
        for (int i = 0; i < *n; ++i) {
            const zcomplex t = zx[i];
            zx[i] = zy[i];
            zy[i] = t;
        }
        return;
    }
    std::ptrdiff_t ix = walk_start(*n, *incx);
    std::ptrdiff_t iy = walk_start(*n, *incy);
    for (int i = 0; i < *n; ++i) {
        const zcomplex t = zx[ix];
        zx[ix] = zy[iy];
        zy[iy] = t;
        ix += *incx;
        iy += *incy;
    }
}

}  // namespace qiv
