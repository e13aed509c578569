// The plain loops of the vector kernels with fast paths (see vector_plain.h).
#include "oracle/vector/vector_plain.h"

#include <cmath>

#include "frame/complex.h"

namespace qivoracle {

namespace {
double cabs1(zcomplex z) { return std::fabs(z.re) + std::fabs(z.im); }
}  // namespace

void zaxpy_plain(int n, zcomplex a, const zcomplex* x, zcomplex* y) {
    for (int i = 0; i < n; ++i) y[i] = a * x[i] + y[i];
}

void zscal_plain(int n, zcomplex a, zcomplex* x) {
    for (int i = 0; i < n; ++i) x[i] = x[i] * a;
}

void zdscal_plain(int n, double a, zcomplex* x) {
    for (int i = 0; i < n; ++i) x[i] = qiv::scale(a, x[i]);
}

int izamax_plain(int n, const zcomplex* x) {
    if (n <= 0) return 0;
    int best = 1;
    double dmax = cabs1(x[0]);
    for (int i = 2; i <= n; ++i) {
        const double v = cabs1(x[i - 1]);
        if (v > dmax) {
            best = i;
            dmax = v;
        }
    }
    return best;
}

double dzasum_plain(int n, const zcomplex* x) {
    double sum = 0.0;
    for (int i = 0; i < n; ++i) sum = sum + cabs1(x[i]);
    return sum;
}

void zrot_plain(int n, zcomplex* x, std::ptrdiff_t incx, zcomplex* y, std::ptrdiff_t incy, double c,
                zcomplex s) {
    const double zero = 0.0, nsi = -s.im;
    for (int i = 0; i < n; ++i) {
        zcomplex& u = x[i * incx];
        zcomplex& v = y[i * incy];
        const double xr = u.re, xi = u.im, yr = v.re, yi = v.im;
        u.re = (c * xr - zero * xi) + (yr * s.re - yi * s.im);
        u.im = (c * xi + zero * xr) + (yr * s.im + yi * s.re);
        v.re = (c * yr - zero * yi) - (xr * s.re - xi * nsi);
        v.im = (c * yi + zero * yr) - (xr * nsi + xi * s.re);
    }
}

void refl2_plain(int n, zcomplex* x1, zcomplex* x2, std::ptrdiff_t step, zcomplex a, double r,
                 zcomplex b) {
    for (int i = 0; i < n; ++i) {
        zcomplex& p = x1[i * step];
        zcomplex& q = x2[i * step];
        const zcomplex sum = a * p + qiv::scale(r, q);
        p = p - sum;
        q = q - sum * b;
    }
}

void refl3_plain(int n, zcomplex* x1, zcomplex* x2, zcomplex* x3, std::ptrdiff_t step, zcomplex s2,
                 zcomplex s3, zcomplex t1, zcomplex t2, zcomplex t3) {
    for (int i = 0; i < n; ++i) {
        zcomplex& a = x1[i * step];
        zcomplex& b = x2[i * step];
        zcomplex& c = x3[i * step];
        const zcomplex refsum = a + s2 * b + s3 * c;
        a = a - refsum * t1;
        b = b - refsum * t2;
        c = c - refsum * t3;
    }
}

void refl3_chain_plain(int n, zcomplex* base, std::ptrdiff_t step, std::ptrdiff_t across, int nb,
                       const zcomplex* v, std::ptrdiff_t vstep, int fmin, int f0, bool left) {
    using qiv::conj;
    for (int b = 0; b < nb; ++b) {
        const zcomplex* vb = v + b * vstep;
        const int first = fmin > f0 - 2 * b ? fmin : f0 - 2 * b;
        if (first >= n) continue;
        zcomplex* x1 = base + first * step - 2 * b * across;
        if (left) {
            const zcomplex t1 = conj(vb[0]);
            refl3_plain(n - first, x1, x1 + across, x1 + 2 * across, step, conj(vb[1]), conj(vb[2]),
                        t1, t1 * vb[1], t1 * vb[2]);
        } else {
            const zcomplex t1 = vb[0];
            refl3_plain(n - first, x1, x1 + across, x1 + 2 * across, step, vb[1], vb[2], t1,
                        t1 * conj(vb[1]), t1 * conj(vb[2]));
        }
    }
}

}  // namespace qivoracle
