// ZLARFG's body: generates an elementary reflector H = I - tau*v*v^H with
// v(1) = 1 such that H^H*(alpha, x) = (beta, 0) with beta real.
//
// Inputs so small that beta would fall below the safe minimum are rescaled by
// 2^969 (up to 20 times) first, and beta is scaled back at the end, so that
// tau and v keep full accuracy.
//
// Inline, with its norm, its three-term length and its careful division, for
// the QR sweeps, which generate a reflector of two or three elements at every
// step; ZLARFG (householder/zlarfg.cpp) calls it.
#pragma once

#include <cmath>

#include "env/machine.h"
#include "frame/complex.h"
#include "kernels/dznrm2.h"
#include "kernels/vector.h"

namespace qiv {

// x := a*x on n elements spaced inc > 0 apart, as ZSCAL computes it (an exact
// 1 + 0i leaves x alone): a short vector by the plain loop here, a longer one
// by ZSCAL.
inline void zlarfg_scal(int n, zcomplex a, zcomplex* x, int inc) {
    if (n > 4) {
        ZSCAL(&n, &a, x, &inc);
        return;
    }
    if (n <= 0 || inc <= 0 || is_one(a)) return;
    for (int i = 0; i < n; ++i) x[i * inc] = x[i * inc] * a;
}

inline void zlarfg(int n, zcomplex& alpha, zcomplex* x, int incx, zcomplex& tau) {
    if (n <= 0) {
        tau = zc(0.0, 0.0);
        return;
    }
    const int nm1 = n - 1;
    double xnorm = dznrm2(nm1, x, incx);
    double alphr = alpha.re;
    double alphi = alpha.im;

    // x = 0 and alpha real: H = I.
    if (xnorm == 0.0 && alphi == 0.0) {
        tau = zc(0.0, 0.0);
        return;
    }

    // beta takes the sign opposite to the sign bit of Re alpha, so that
    // alpha - beta never cancels.
    double beta = -std::copysign(dlapy3(alphr, alphi, xnorm), alphr);
    constexpr double safmin = mach_sfmin / mach_eps;
    constexpr double rsafmn = 1.0 / safmin;

    int knt = 0;
    if (std::fabs(beta) < safmin) {
        do {
            ++knt;
            ZDSCAL(&nm1, &rsafmn, x, &incx);
            beta = beta * rsafmn;
            alphi = alphi * rsafmn;
            alphr = alphr * rsafmn;
        } while (std::fabs(beta) < safmin && knt < 20);
        xnorm = dznrm2(nm1, x, incx);
        alpha = zc(alphr, alphi);
        beta = -std::copysign(dlapy3(alphr, alphi, xnorm), alphr);
    }

    tau = zc((beta - alphr) / beta, -alphi / beta);
    alpha = zladiv(zc(1.0, 0.0), zc(alpha.re - beta, alpha.im));
    zlarfg_scal(nm1, alpha, x, incx);

    for (int j = 1; j <= knt; ++j) beta = beta * safmin;
    alpha = zc(beta, 0.0);
}

}  // namespace qiv
