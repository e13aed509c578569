// ZSCAL: x := a*x with a complex factor (positive increments only). A unit
// stride goes through the vector engine (kernels/vector_engine.h), same bits.
#include "frame/complex.h"
#include "kernels/vector.h"
#include "kernels/vector_engine.h"

namespace qiv {

void ZSCAL(const int* n, const zcomplex* za, zcomplex* zx, const int* incx) {
    // Only an exact 1 + 0i is skipped; a zero factor is multiplied in, so
    // infinities and NaNs in x become NaN rather than zero.
    if (*n <= 0 || *incx <= 0 || is_one(*za)) return;
    const zcomplex a = *za;
    if (*incx == 1) {
        zscal_unit(best_isa(), *n, a, zx);
        return;
    }
    std::ptrdiff_t ix = 0;
    for (int i = 0; i < *n; ++i) {
        zx[ix] = zx[ix] * a;
        ix += *incx;
    }
}

}  // namespace qiv
