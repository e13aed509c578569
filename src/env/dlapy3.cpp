// Three-term Euclidean length without avoidable overflow.
#include <cmath>

#include "env/machine.h"

namespace qiv {

double DLAPY3(const double* x, const double* y, const double* z) {
    const double hugeval = DLAMCH("Overflow");
    const double xabs = std::fabs(*x);
    const double yabs = std::fabs(*y);
    const double zabs = std::fabs(*z);
    double wmax = max_nan_second(xabs, yabs);
    wmax = max_nan_second(wmax, zabs);
    // A zero or infinite maximum: the plain sum keeps any NaN the maximum dropped.
    if (wmax == 0.0 || wmax > hugeval) return (xabs + yabs) + zabs;
    const double a = xabs / wmax;
    const double b = yabs / wmax;
    const double c = zabs / wmax;
    return wmax * std::sqrt((a * a + b * b) + c * c);
}

}  // namespace qiv
