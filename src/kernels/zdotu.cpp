// ZDOTU: the unconjugated dot product sum x(i)*y(i) (any increment).
#include "frame/complex.h"
#include "kernels/vector.h"

namespace qiv {

zcomplex ZDOTU(const int* n, const zcomplex* zx, const int* incx, const zcomplex* zy,
               const int* incy) {
    zcomplex sum = zc(0.0, 0.0);
    if (*n <= 0) return sum;
    if (*incx == 1 && *incy == 1) {
        for (int i = 0; i < *n; ++i) sum = sum + zx[i] * zy[i];
        return sum;
    }
    std::ptrdiff_t ix = walk_start(*n, *incx);
    std::ptrdiff_t iy = walk_start(*n, *incy);
    for (int i = 0; i < *n; ++i) {
        sum = sum + zx[ix] * zy[iy];
        ix += *incx;
        iy += *incy;
    }
    return sum;
}

}  // namespace qiv
