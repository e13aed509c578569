// The fast computation behind the unit-stride vector kernels (ZAXPY, ZSCAL,
// ZDSCAL, IZAMAX, DZASUM), the plane rotation ZROT, the two-element reflector
// updates of the single-shift QR sweep and the three-element ones of the
// multishift sweep: for every output element the
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
// No heap, no threads, no state; the stack scratch is a few registers' worth
// of doubles (the lane indices and the final comparison of IZAMAX, the
// magnitudes of one unit for DZASUM).
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

// The two-element reflector step of the single-shift QR sweep, at the n
// positions x1 + i*step, x2 + i*step (i = 0 .. n-1): sum = a*x1 + r*x2 (a
// complex, r real and multiplying both parts of x2), then x1 := x1 - sum and
// x2 := x2 - sum*b, each product rounded before it is added or subtracted.
// With step 1 and x1, x2 two columns it applies the reflector from the right
// to n rows; with x2 = x1 + 1 and step = LD from the left to n columns. The n
// positions of different i must not overlap.
struct Refl2Args {
    int n;
    zcomplex *x1, *x2;
    std::ptrdiff_t step;
    zcomplex a;
    double r;
    zcomplex b;
};

// A chain of nb three-element reflectors applied in turn (b = 0, 1, ...) to
// n lanes (lane i at base + i*step). Reflector b acts on the three elements
// base + i*step + (j - 2b)*across, j = 0, 1, 2: each reflector overlaps the
// previous one in one element, as the bulges of a multishift sweep do. Lane i
// receives reflector b only when i >= max(fmin, f0 - 2b); otherwise its
// three elements keep their values (a register of lanes that only partly
// receives the reflector reads them and stores them back unchanged, so they
// must lie inside the caller's matrix; nothing else may change them during
// the call). Reflector b is (tau, v2, v3) at v + b*vstep:
//  - left (H := (I - conj(tau) v v^H) H on columns): s2, s3 = conj(v2),
//    conj(v3); t1 = conj(tau), t2 = t1*v2, t3 = t1*v3;
//  - right (X := X (I - tau v v^H) on rows): s2, s3 = v2, v3; t1 = tau,
//    t2 = t1*conj(v2), t3 = t1*conj(v3);
// and then, per lane, refsum = x1 + s2*x2 + s3*x3 and x_j := x_j - refsum*t_j,
// as in Refl3Args. Every lane sees the reflectors in the order b = 0, 1, ...
struct Refl3ChainArgs {
    int n;
    zcomplex* base;
    std::ptrdiff_t step, across;
    int nb;
    const zcomplex* v;
    std::ptrdiff_t vstep;
    int fmin, f0;
    bool left;
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
// y := y + a*x as ZAXPY (without its quick return), then |Re| + |Im| of the
// element IZAMAX would pick from the new y: the largest magnitude, or the
// first element's when that is NaN. One pass; n >= 1, x and y apart.
double zaxpy_izamax_magnitude(Isa isa, int n, zcomplex a, const zcomplex* x, zcomplex* y);
double dzasum_unit(Isa isa, int n, const zcomplex* x);
void zrot_walk(Isa isa, const RotArgs& r);
void refl2_apply(Isa isa, const Refl2Args& r);
void refl3_apply(Isa isa, const Refl3Args& r);
void refl3_chain(Isa isa, const Refl3ChainArgs& r);

// The bodies compiled for instruction set I (explicit specialisations in
// vector_engine_<set>.cpp, the unit compiled for that set).
template <Isa I>
void zaxpy_unit_on(int n, zcomplex a, const zcomplex* x, zcomplex* y);
template <Isa I>
void zscal_unit_on(int n, zcomplex a, zcomplex* x);
template <Isa I>
void zdscal_unit_on(int n, double a, zcomplex* x);
template <Isa I>
int izamax_unit_on(int n, const zcomplex* x);
template <Isa I>
double zaxpy_max_unit_on(int n, zcomplex a, const zcomplex* x, zcomplex* y);
template <Isa I>
double dzasum_unit_on(int n, const zcomplex* x);
template <Isa I>
void zrot_walk_on(const RotArgs& r);
template <Isa I>
void refl2_apply_on(const Refl2Args& r);
template <Isa I>
void refl3_apply_on(const Refl3Args& r);
template <Isa I>
void refl3_chain_on(const Refl3ChainArgs& r);

}  // namespace qiv
