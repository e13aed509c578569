// IDAMAX: index of the first element of largest absolute value of a real
// vector (positive increments only; 0 for an empty vector).
#include <cmath>

#include "kernels/vector.h"

namespace qiv {

int IDAMAX(const int* n, const double* dx, const int* incx) {
    if (*n <= 0 || *incx <= 0) return 0;
    if (*n == 1) return 1;
    // Strict comparison: the first of equal magnitudes wins, NaN never wins
    // after the first element.
    int best = 1;
    double dmax = std::fabs(dx[0]);
    std::ptrdiff_t ix = *incx;
    for (int i = 2; i <= *n; ++i) {
        const double v = std::fabs(dx[ix]);
        if (v > dmax) {
            best = i;
            dmax = v;
        }
        ix += *incx;
    }
    return best;
}

}  // namespace qiv
