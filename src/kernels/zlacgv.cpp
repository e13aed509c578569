// ZLACGV: conjugates a strided complex vector in place (any increment).
#include "frame/complex.h"
#include "kernels/vector.h"

namespace qiv {

void ZLACGV(const int* n, zcomplex* x, const int* incx) {
    if (*n <= 0) return;
    // conj flips the sign bit of the imaginary part: 0 becomes -0 and a NaN
    // keeps its payload.
    if (*incx == 1) {
        for (int i = 0; i < *n; ++i) x[i] = conj(x[i]);
        return;
    }
    std::ptrdiff_t ix = walk_start(*n, *incx);
    for (int i = 0; i < *n; ++i) {
        x[ix] = conj(x[ix]);
        ix += *incx;
    }
}

}  // namespace qiv
