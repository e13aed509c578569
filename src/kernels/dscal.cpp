// DSCAL: x := a*x on a real vector (positive increments only).
#include "kernels/vector.h"

namespace qiv {

void DSCAL(const int* n, const double* da, double* dx, const int* incx) {
    if (*n <= 0 || *incx <= 0 || *da == 1.0) return;
    const double a = *da;
    if (*incx == 1) {
        // The n mod 5 leading elements, then groups of five. Every element is
        // scaled independently, so the grouping does not change results.
        const int m = *n % 5;
        for (int i = 0; i < m; ++i) dx[i] = a * dx[i];
        for (int i = m; i < *n; i += 5) {
            dx[i] = a * dx[i];
            dx[i + 1] = a * dx[i + 1];
            dx[i + 2] = a * dx[i + 2];
            dx[i + 3] = a * dx[i + 3];
            dx[i + 4] = a * dx[i + 4];
        }
        return;
    }
    std::ptrdiff_t ix = 0;
    for (int i = 0; i < *n; ++i) {
        dx[ix] = a * dx[ix];
        ix += *incx;
    }
}

}  // namespace qiv
