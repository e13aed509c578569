// Plain-loop versions of the vector kernels that have fast paths (ZAXPY,
// ZSCAL, ZDSCAL, IZAMAX, DZASUM, ZROT), of the two-element reflector update
// of the single-shift QR sweep and of the three-element one of the multishift
// sweep: the definition of their results, bit for bit. The tests compare the
// vector engine against them on every instruction-set path.
#pragma once

#include <cstddef>

#include "frame/types.h"

namespace qivoracle {

using qiv::zcomplex;

// Unit-stride loops, n >= 0.
void zaxpy_plain(int n, zcomplex a, const zcomplex* x, zcomplex* y);
void zscal_plain(int n, zcomplex a, zcomplex* x);
void zdscal_plain(int n, double a, zcomplex* x);
int izamax_plain(int n, const zcomplex* x);
double dzasum_plain(int n, const zcomplex* x);

// ZROT on the pairs x[i*incx], y[i*incy], i = 0 .. n-1, one pair after another.
void zrot_plain(int n, zcomplex* x, std::ptrdiff_t incx, zcomplex* y, std::ptrdiff_t incy, double c,
                zcomplex s);

// For i = 0 .. n-1, at x_k + i*step: sum = a*x1 + r*x2 (both parts of x2
// times the real r), x1 := x1 - sum, x2 := x2 - sum*b.
void refl2_plain(int n, zcomplex* x1, zcomplex* x2, std::ptrdiff_t step, zcomplex a, double r,
                 zcomplex b);

// For i = 0 .. n-1, at x_k + i*step: refsum = x1 + s2*x2 + s3*x3, then
// x_k := x_k - refsum*t_k for k = 1, 2, 3.
void refl3_plain(int n, zcomplex* x1, zcomplex* x2, zcomplex* x3, std::ptrdiff_t step, zcomplex s2,
                 zcomplex s3, zcomplex t1, zcomplex t2, zcomplex t3);

// Reflectors b = 0 .. nb-1 in turn, each as refl3_plain on the lanes
// i = max(fmin, f0 - 2b) .. n-1 at base + i*step + (j - 2b)*across, with the
// scalars of a left (s = conj(v2), conj(v3); t1 = conj(tau), t2 = t1*v2,
// t3 = t1*v3) or right (s = v2, v3; t1 = tau, t2 = t1*conj(v2), t3 =
// t1*conj(v3)) application of the reflector (tau, v2, v3) at v + b*vstep.
void refl3_chain_plain(int n, zcomplex* base, std::ptrdiff_t step, std::ptrdiff_t across, int nb,
                       const zcomplex* v, std::ptrdiff_t vstep, int fmin, int f0, bool left);

}  // namespace qivoracle
