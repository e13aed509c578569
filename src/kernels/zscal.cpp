// ZSCAL: x := a*x with a complex factor (positive increments only).
#include "frame/complex.h"
#include "kernels/vector.h"

namespace qiv {

void ZSCAL(const int* n, const zcomplex* za, zcomplex* zx, const int* incx) {
    // Only an exact 1 + 0i is skipped; a zero factor is multiplied in, so
    // infinities and NaNs in x become NaN rather than zero.
    if (*n <= 0 || *incx <= 0 || is_one(*za)) return;
    const zcomplex a = *za;
    if (*incx == 1) {
        for (int i = 0; i < *n; ++i) zx[i] = zx[i] * a;
        return;
    }
    std::ptrdiff_t ix = 0;
    for (int i = 0; i < *n; ++i) {
        zx[ix] = zx[ix] * a;
        ix += *incx;
    }
}

}  // namespace qiv
