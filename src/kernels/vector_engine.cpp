// Dispatch of the vector engine to the bodies of one instruction set.
#include "kernels/vector_engine.h"

#include <cmath>

namespace qiv {

void zaxpy_unit(Isa isa, int n, zcomplex a, const zcomplex* x, zcomplex* y) {
    with_isa(isa, [&](auto s) { zaxpy_unit_on<decltype(s)::isa>(n, a, x, y); });
}

void zscal_unit(Isa isa, int n, zcomplex a, zcomplex* x) {
    with_isa(isa, [&](auto s) { zscal_unit_on<decltype(s)::isa>(n, a, x); });
}

void zdscal_unit(Isa isa, int n, double a, zcomplex* x) {
    with_isa(isa, [&](auto s) { zdscal_unit_on<decltype(s)::isa>(n, a, x); });
}

int izamax_unit(Isa isa, int n, const zcomplex* x) {
    return with_isa(isa, [&](auto s) { return izamax_unit_on<decltype(s)::isa>(n, x); });
}

// The largest magnitude among the elements that are not NaN is the one at
// IZAMAX's index, unless the first element is NaN: nothing compares greater
// than it, and IZAMAX answers 1.
double zaxpy_izamax_magnitude(Isa isa, int n, zcomplex a, const zcomplex* x, zcomplex* y) {
    const double best =
        with_isa(isa, [&](auto s) { return zaxpy_max_unit_on<decltype(s)::isa>(n, a, x, y); });
    const double first = std::fabs(y[0].re) + std::fabs(y[0].im);
    return first != first ? first : best;
}

double dzasum_unit(Isa isa, int n, const zcomplex* x) {
    return with_isa(isa, [&](auto s) { return dzasum_unit_on<decltype(s)::isa>(n, x); });
}

void zrot_walk(Isa isa, const RotArgs& r) {
    with_isa(isa, [&](auto s) { zrot_walk_on<decltype(s)::isa>(r); });
}

void refl2_apply(Isa isa, const Refl2Args& r) {
    with_isa(isa, [&](auto s) { refl2_apply_on<decltype(s)::isa>(r); });
}

void refl3_apply(Isa isa, const Refl3Args& r) {
    with_isa(isa, [&](auto s) { refl3_apply_on<decltype(s)::isa>(r); });
}

void refl3_chain(Isa isa, const Refl3ChainArgs& r) {
    with_isa(isa, [&](auto s) { refl3_chain_on<decltype(s)::isa>(r); });
}

}  // namespace qiv
