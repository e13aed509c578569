// The fast computation behind the unit-stride vector kernels (ZAXPY, ZSCAL,
// ZDSCAL, IZAMAX, DZASUM), the plane rotation ZROT and the three-element
// reflector updates of the multishift QR sweep: for every output element the
// same IEEE operations in the same order as the plain loops that define them.
//
// Only independent elements share a register: the i-th elements of the
// vectors (rows of a column update, columns of a row update, pairs of a
// rotation). Each complex product is the textbook product, formed with
// separate multiplies and adds as (ar*tr + (-ai)*ti, ai*tr + ar*ti), which is
// bit for bit ar*tr - ai*ti and ai*tr + ar*ti. The reductions keep their
// order: DZASUM adds the magnitudes one after another from zero, and IZAMAX
// returns the first index of the largest magnitude, a NaN magnitude never
// winning (a NaN first element gives index 1).
//
// No heap, no threads, no state; the only stack scratch is one register's
// worth of doubles for the final comparison of IZAMAX.
#pragma once

#include <cstddef>
#include <cstdint>

#include "frame/types.h"
#include "kernels/simd/isa.h"

namespace qiv {

// x_k := x_k - (x1 + s2*x2 + s3*x3)*t_k for k = 1, 2, 3, at the n positions
// x_k + i*step (i = 0 .. n-1), the sum formed left to right and each product
// rounded before it is added or subtracted. With step 1 and x_k three
// columns it applies a reflector from the right to n rows; with x2 = x1 + 1,
// x3 = x1 + 2 and step = LD it applies one from the left to n columns. The
// n positions of different i must not overlap.
struct Refl3Args {
    int n;
    zcomplex *x1, *x2, *x3;
    std::ptrdiff_t step;
    zcomplex s2, s3, t1, t2, t3;
};

// ZROT on n >= 1 pairs x[i*incx], y[i*incy] (increments non-zero, already
// resolved to the walk's start), no pair sharing an element with another.
struct RotArgs {
    int n;
    zcomplex* x;
    std::ptrdiff_t incx;
    zcomplex* y;
    std::ptrdiff_t incy;
    double c;
    zcomplex s;
};

// True when the n-element walks x[i*incx] and y[i*incy] (increments non-zero)
// share no element, so that their pairs may be processed in any order. Walks
// with equal increments may interleave (two rows of one matrix); otherwise the
// address ranges must be apart.
inline bool walks_disjoint(const zcomplex* x, std::ptrdiff_t incx, const zcomplex* y,
                           std::ptrdiff_t incy, int n) {
    const auto ax = reinterpret_cast<std::uintptr_t>(x);
    const auto ay = reinterpret_cast<std::uintptr_t>(y);
    const std::ptrdiff_t bytes = static_cast<std::ptrdiff_t>(sizeof(zcomplex));
    if (incx == incy) {
        const std::ptrdiff_t gap = static_cast<std::ptrdiff_t>(ay - ax);
        const std::ptrdiff_t stride = incx * bytes;
        if (gap % stride != 0) return true;
        const std::ptrdiff_t d = gap / stride;
        return d >= n || -d >= n;
    }
    auto lo = [&](std::uintptr_t a, std::ptrdiff_t inc) {
        return inc < 0 ? a + (n - 1) * inc * bytes : a;
    };
    auto hi = [&](std::uintptr_t a, std::ptrdiff_t inc) {
        return (inc < 0 ? a : a + (n - 1) * inc * bytes) + bytes;
    };
    return hi(ax, incx) <= lo(ay, incy) || hi(ay, incy) <= lo(ax, incx);
}

// The computations with the kernels of the given instruction set, which the
// processor must support (see isa_supported). n >= 1 for every one, n >= 2
// for IZAMAX; unit-stride vectors.
void zaxpy_unit(Isa isa, int n, zcomplex a, const zcomplex* x, zcomplex* y);
void zscal_unit(Isa isa, int n, zcomplex a, zcomplex* x);
void zdscal_unit(Isa isa, int n, double a, zcomplex* x);
int izamax_unit(Isa isa, int n, const zcomplex* x);
double dzasum_unit(Isa isa, int n, const zcomplex* x);
void zrot_walk(Isa isa, const RotArgs& r);
void refl3_apply(Isa isa, const Refl3Args& r);

// The bodies compiled for each instruction set (vector_engine_<isa>.cpp).
void zaxpy_unit_baseline(int n, zcomplex a, const zcomplex* x, zcomplex* y);
void zscal_unit_baseline(int n, zcomplex a, zcomplex* x);
void zdscal_unit_baseline(int n, double a, zcomplex* x);
int izamax_unit_baseline(int n, const zcomplex* x);
double dzasum_unit_baseline(int n, const zcomplex* x);
void zrot_walk_baseline(const RotArgs& r);
void refl3_apply_baseline(const Refl3Args& r);
void zaxpy_unit_avx2(int n, zcomplex a, const zcomplex* x, zcomplex* y);
void zscal_unit_avx2(int n, zcomplex a, zcomplex* x);
void zdscal_unit_avx2(int n, double a, zcomplex* x);
int izamax_unit_avx2(int n, const zcomplex* x);
double dzasum_unit_avx2(int n, const zcomplex* x);
void zrot_walk_avx2(const RotArgs& r);
void refl3_apply_avx2(const Refl3Args& r);
void zaxpy_unit_avx512(int n, zcomplex a, const zcomplex* x, zcomplex* y);
void zscal_unit_avx512(int n, zcomplex a, zcomplex* x);
void zdscal_unit_avx512(int n, double a, zcomplex* x);
int izamax_unit_avx512(int n, const zcomplex* x);
double dzasum_unit_avx512(int n, const zcomplex* x);
void zrot_walk_avx512(const RotArgs& r);
void refl3_apply_avx512(const Refl3Args& r);

}  // namespace qiv
