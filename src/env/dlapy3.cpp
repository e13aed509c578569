// Three-term Euclidean length without avoidable overflow (body in
// env/machine.h).
#include "env/machine.h"

namespace qiv {

double DLAPY3(const double* x, const double* y, const double* z) { return dlapy3(*x, *y, *z); }

}  // namespace qiv
