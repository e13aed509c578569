// IZAMAX: index of the first element of largest |Re| + |Im| (positive
// increments only; 0 for an empty vector). A unit stride goes through the
// vector engine (kernels/vector_engine.h), which keeps the first index of the
// largest magnitude per register lane and then compares the lanes.
#include "env/machine.h"
#include "kernels/vector.h"
#include "kernels/vector_engine.h"

namespace qiv {

int IZAMAX(const int* n, const zcomplex* zx, const int* incx) {
    if (*n <= 0 || *incx <= 0) return 0;
    if (*n == 1) return 1;
    if (*incx == 1) return izamax_unit(best_isa(), *n, zx);
    // Strict comparison: the first of equal magnitudes wins, and a NaN never
    // compares greater (a NaN first element keeps index 1).
    int best = 1;
    double dmax = DCABS1(&zx[0]);
    std::ptrdiff_t ix = *incx;
    for (int i = 2; i <= *n; ++i) {
        const double v = DCABS1(&zx[ix]);
        if (v > dmax) {
            best = i;
            dmax = v;
        }
        ix += *incx;
    }
    return best;
}

}  // namespace qiv
