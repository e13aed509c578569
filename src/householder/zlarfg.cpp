// ZLARFG: generates an elementary reflector H = I - tau*v*v^H with v(1) = 1
// such that H^H*(alpha, x) = (beta, 0) with beta real.
//
// Inputs so small that beta would fall below the safe minimum are rescaled by
// 2^969 (up to 20 times) first, and beta is scaled back at the end, so that
// tau and v keep full accuracy.
#include <cmath>

#include "env/machine.h"
#include "frame/complex.h"
#include "householder/householder.h"
#include "kernels/vector.h"

namespace qiv {

void ZLARFG(const int* n, zcomplex* alpha, zcomplex* x, const int* incx, zcomplex* tau) {
    if (*n <= 0) {
        *tau = zc(0.0, 0.0);
        return;
    }
    const int nm1 = *n - 1;
    double xnorm = DZNRM2(&nm1, x, incx);
    double alphr = alpha->re;
    double alphi = alpha->im;

    // x = 0 and alpha real: H = I.
    if (xnorm == 0.0 && alphi == 0.0) {
        *tau = zc(0.0, 0.0);
        return;
    }

    // beta takes the sign opposite to the sign bit of Re alpha, so that
    // alpha - beta never cancels.
    double beta = -std::copysign(DLAPY3(&alphr, &alphi, &xnorm), alphr);
    const double safmin = DLAMCH("S") / DLAMCH("E");
    const double rsafmn = 1.0 / safmin;

    int knt = 0;
    if (std::fabs(beta) < safmin) {
        do {
            ++knt;
            ZDSCAL(&nm1, &rsafmn, x, incx);
            beta = beta * rsafmn;
            alphi = alphi * rsafmn;
            alphr = alphr * rsafmn;
        } while (std::fabs(beta) < safmin && knt < 20);
        xnorm = DZNRM2(&nm1, x, incx);
        *alpha = zc(alphr, alphi);
        beta = -std::copysign(DLAPY3(&alphr, &alphi, &xnorm), alphr);
    }

    *tau = zc((beta - alphr) / beta, -alphi / beta);
    const zcomplex one = zc(1.0, 0.0);
    const zcomplex denom = zc(alpha->re - beta, alpha->im);
    *alpha = ZLADIV(&one, &denom);
    ZSCAL(&nm1, alpha, x, incx);

    for (int j = 1; j <= knt; ++j) beta = beta * safmin;
    *alpha = zc(beta, 0.0);
}

}  // namespace qiv
