// ZDSCAL: both parts of each element of x multiplied by a real factor
// (positive increments only). A unit stride goes through the vector engine
// (kernels/vector_engine.h), same bits.
#include "frame/complex.h"
#include "kernels/vector.h"
#include "kernels/vector_engine.h"

namespace qiv {

void ZDSCAL(const int* n, const double* da, zcomplex* zx, const int* incx) {
    if (*n <= 0 || *incx <= 0 || *da == 1.0) return;
    const double a = *da;
    if (*incx == 1) {
        zdscal_unit(best_isa(), *n, a, zx);
        return;
    }
    std::ptrdiff_t ix = 0;
    for (int i = 0; i < *n; ++i) {
        zx[ix] = scale(a, zx[ix]);
        ix += *incx;
    }
}

}  // namespace qiv
