// DZASUM: sum of |Re x(i)| + |Im x(i)| (positive increments only).
#include "env/machine.h"
#include "kernels/vector.h"

namespace qiv {

double DZASUM(const int* n, const zcomplex* zx, const int* incx) {
    double sum = 0.0;
    if (*n <= 0 || *incx <= 0) return sum;
    if (*incx == 1) {
        for (int i = 0; i < *n; ++i) sum = sum + DCABS1(&zx[i]);
        return sum;
    }
    std::ptrdiff_t ix = 0;
    for (int i = 0; i < *n; ++i) {
        sum = sum + DCABS1(&zx[ix]);
        ix += *incx;
    }
    return sum;
}

}  // namespace qiv
