// Careful complex division (a + ib) / (c + id), scaled so that no intermediate
// overflows or underflows needlessly.
#include <cmath>

#include "env/machine.h"

namespace qiv {

double DLADIV2(const double* a, const double* b, const double* c, const double* d, const double* r,
               const double* t) {
    if (*r == 0.0) return ((*b / *c) * *d + *a) * *t;
    const double br = *r * *b;
    if (br != 0.0) return (br + *a) * *t;
    return *a * *t + *r * (*b * *t);  // br underflowed to zero
}

void DLADIV1(double* a, const double* b, const double* c, const double* d, double* p, double* q) {
    const double r = *d / *c;
    const double t = 1.0 / (*d * r + *c);
    *p = DLADIV2(a, b, c, d, &r, &t);
    *a = -*a;
    *q = DLADIV2(b, a, c, d, &r, &t);
}

void DLADIV(const double* a, const double* b, const double* c, const double* d, double* p,
            double* q) {
    double aa = *a, bb = *b, cc = *c, dd = *d;
    const double ab = max_nan_second(std::fabs(*a), std::fabs(*b));
    const double cd = max_nan_second(std::fabs(*c), std::fabs(*d));
    double s = 1.0;

    const double ov = DLAMCH("Overflow threshold");
    const double un = DLAMCH("Safe minimum");
    const double eps = DLAMCH("Epsilon");
    const double be = 2.0 / (eps * eps);
    const double small = (un + un) / eps;
    const double big = 0.5 * ov;

    if (ab >= big) {
        aa = 0.5 * aa;
        bb = 0.5 * bb;
        s = 2.0 * s;
    }
    if (cd >= big) {
        cc = 0.5 * cc;
        dd = 0.5 * dd;
        s = 0.5 * s;
    }
    if (ab <= small) {
        aa = aa * be;
        bb = bb * be;
        s = s / be;
    }
    if (cd <= small) {
        cc = cc * be;
        dd = dd * be;
        s = s * be;
    }
    if (std::fabs(*c) >= std::fabs(*d)) {
        DLADIV1(&aa, &bb, &cc, &dd, p, q);
    } else {
        DLADIV1(&bb, &aa, &dd, &cc, p, q);
        *q = -*q;
    }
    *p = *p * s;
    *q = *q * s;
}

zcomplex ZLADIV(const zcomplex* x, const zcomplex* y) {
    const double xr = x->re, xi = x->im, yr = y->re, yi = y->im;
    double p, q;
    DLADIV(&xr, &xi, &yr, &yi, &p, &q);
    return zcomplex{p, q};
}

}  // namespace qiv
