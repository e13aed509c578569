// DZASUM: sum of |Re x(i)| + |Im x(i)| (positive increments only). With a unit
// stride the vector engine forms the magnitudes several at a time; the sum
// still takes them one by one in increasing order.
#include "env/machine.h"
#include "kernels/vector.h"
#include "kernels/vector_engine.h"

namespace qiv {

double DZASUM(const int* n, const zcomplex* zx, const int* incx) {
    double sum = 0.0;
    if (*n <= 0 || *incx <= 0) return sum;
    if (*incx == 1) return dzasum_unit(best_isa(), *n, zx);
    std::ptrdiff_t ix = 0;
    for (int i = 0; i < *n; ++i) {
        sum = sum + DCABS1(&zx[ix]);
        ix += *incx;
    }
    return sum;
}

}  // namespace qiv
