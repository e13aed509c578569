// ZLARFG: generates an elementary reflector H = I - tau*v*v^H with v(1) = 1
// such that H^H*(alpha, x) = (beta, 0) with beta real (body in
// householder/zlarfg.h).
#include "householder/zlarfg.h"

#include "householder/householder.h"

namespace qiv {

void ZLARFG(const int* n, zcomplex* alpha, zcomplex* x, const int* incx, zcomplex* tau) {
    zcomplex a = *alpha, t;
    zlarfg(*n, a, x, *incx, t);
    *alpha = a;
    *tau = t;
}

}  // namespace qiv
