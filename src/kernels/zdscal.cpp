// ZDSCAL: both parts of each element of x multiplied by a real factor
// (positive increments only).
#include "frame/complex.h"
#include "kernels/vector.h"

namespace qiv {

void ZDSCAL(const int* n, const double* da, zcomplex* zx, const int* incx) {
    if (*n <= 0 || *incx <= 0 || *da == 1.0) return;
    const double a = *da;
    if (*incx == 1) {
        for (int i = 0; i < *n; ++i) zx[i] = scale(a, zx[i]);
        return;
    }
    std::ptrdiff_t ix = 0;
    for (int i = 0; i < *n; ++i) {
        zx[ix] = scale(a, zx[ix]);
        ix += *incx;
    }
}

}  // namespace qiv
