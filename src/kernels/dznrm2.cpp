// DZNRM2: Euclidean norm of a strided complex vector (any increment); the
// body is in kernels/dznrm2.h.
#include "kernels/dznrm2.h"

namespace qiv {

double DZNRM2(const int* n, const zcomplex* x, const int* incx) { return dznrm2(*n, x, *incx); }

}  // namespace qiv
