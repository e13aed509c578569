// Careful complex division (a + ib) / (c + id), scaled so that no intermediate
// overflows or underflows needlessly (bodies in env/machine.h).
#include "env/machine.h"

namespace qiv {

double DLADIV2(const double* a, const double* b, const double* c, const double* d, const double* r,
               const double* t) {
    return dladiv2(*a, *b, *c, *d, *r, *t);
}

void DLADIV1(double* a, const double* b, const double* c, const double* d, double* p, double* q) {
    double pp, qq;
    dladiv1(*a, *b, *c, *d, pp, qq);
    *a = -*a;
    *p = pp;
    *q = qq;
}

void DLADIV(const double* a, const double* b, const double* c, const double* d, double* p,
            double* q) {
    double pp, qq;
    dladiv(*a, *b, *c, *d, pp, qq);
    *p = pp;
    *q = qq;
}

zcomplex ZLADIV(const zcomplex* x, const zcomplex* y) { return zladiv(*x, *y); }

}  // namespace qiv
