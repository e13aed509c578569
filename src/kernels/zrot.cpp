// ZROT: applies the plane rotation with real cosine c and complex sine s to
// the pairs (x(i), y(i)) of two strided complex vectors (any increment).
// When no element belongs to two pairs (non-zero increments, vectors apart or
// interleaved like two rows of a matrix) the pairs go through the vector
// engine (kernels/vector_engine.h), several per register, same bits.
#include "frame/complex.h"
#include "kernels/vector.h"
#include "kernels/vector_engine.h"

namespace qiv {

namespace {

// x := c*x + s*y and y := c*y - conj(s)*x (old x). c*z is the full complex
// product (c + 0i)*z: the products with the zero imaginary part are formed,
// so an infinite part of x or y turns the other part of c*z into NaN.
inline void rotate_pair(zcomplex& x, zcomplex& y, double c, zcomplex s) {
    const double zero = 0.0;
    const double xr = x.re, xi = x.im, yr = y.re, yi = y.im;
    const double nsi = -s.im;
    x.re = (c * xr - zero * xi) + (yr * s.re - yi * s.im);
    x.im = (c * xi + zero * xr) + (yr * s.im + yi * s.re);
    y.re = (c * yr - zero * yi) - (xr * s.re - xi * nsi);
    y.im = (c * yi + zero * yr) - (xr * nsi + xi * s.re);
}

}  // namespace

void ZROT(const int* n, zcomplex* cx, const int* incx, zcomplex* cy, const int* incy,
          const double* c, const zcomplex* s) {
    if (*n <= 0) return;
    const double cc = *c;
    const zcomplex ss = *s;
    std::ptrdiff_t ix = walk_start(*n, *incx);
    std::ptrdiff_t iy = walk_start(*n, *incy);
    // Pairs are independent when no element belongs to two of them.
    if (*incx != 0 && *incy != 0 && walks_disjoint(cx + ix, *incx, cy + iy, *incy, *n)) {
        zrot_walk(best_isa(), RotArgs{*n, cx + ix, *incx, cy + iy, *incy, cc, ss});
        return;
    }
    if (*incx == 1 && *incy == 1) {
        for (int i = 0; i < *n; ++i) rotate_pair(cx[i], cy[i], cc, ss);
        return;
    }
    for (int i = 0; i < *n; ++i) {
        rotate_pair(cx[ix], cy[iy], cc, ss);
        ix += *incx;
        iy += *incy;
    }
}

}  // namespace qiv
