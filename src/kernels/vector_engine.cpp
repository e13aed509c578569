// Dispatch of the vector engine to the bodies of one instruction set.
#include "kernels/vector_engine.h"

namespace qiv {

void zaxpy_unit(Isa isa, int n, zcomplex a, const zcomplex* x, zcomplex* y) {
    switch (isa) {
        case Isa::avx512: return zaxpy_unit_avx512(n, a, x, y);
        case Isa::avx2: return zaxpy_unit_avx2(n, a, x, y);
        case Isa::baseline: return zaxpy_unit_baseline(n, a, x, y);
    }
}

void zscal_unit(Isa isa, int n, zcomplex a, zcomplex* x) {
    switch (isa) {
        case Isa::avx512: return zscal_unit_avx512(n, a, x);
        case Isa::avx2: return zscal_unit_avx2(n, a, x);
        case Isa::baseline: return zscal_unit_baseline(n, a, x);
    }
}

void zdscal_unit(Isa isa, int n, double a, zcomplex* x) {
    switch (isa) {
        case Isa::avx512: return zdscal_unit_avx512(n, a, x);
        case Isa::avx2: return zdscal_unit_avx2(n, a, x);
        case Isa::baseline: return zdscal_unit_baseline(n, a, x);
    }
}

int izamax_unit(Isa isa, int n, const zcomplex* x) {
    switch (isa) {
        case Isa::avx512: return izamax_unit_avx512(n, x);
        case Isa::avx2: return izamax_unit_avx2(n, x);
        case Isa::baseline: return izamax_unit_baseline(n, x);
    }
    return izamax_unit_baseline(n, x);
}

int zaxpy_izamax_unit(Isa isa, int n, zcomplex a, const zcomplex* x, zcomplex* y) {
    switch (isa) {
        case Isa::avx512: return zaxpy_izamax_unit_avx512(n, a, x, y);
        case Isa::avx2: return zaxpy_izamax_unit_avx2(n, a, x, y);
        case Isa::baseline: return zaxpy_izamax_unit_baseline(n, a, x, y);
    }
    return zaxpy_izamax_unit_baseline(n, a, x, y);
}

double dzasum_unit(Isa isa, int n, const zcomplex* x) {
    switch (isa) {
        case Isa::avx512: return dzasum_unit_avx512(n, x);
        case Isa::avx2: return dzasum_unit_avx2(n, x);
        case Isa::baseline: return dzasum_unit_baseline(n, x);
    }
    return dzasum_unit_baseline(n, x);
}

void zrot_walk(Isa isa, const RotArgs& r) {
    switch (isa) {
        case Isa::avx512: return zrot_walk_avx512(r);
        case Isa::avx2: return zrot_walk_avx2(r);
        case Isa::baseline: return zrot_walk_baseline(r);
    }
}

void refl3_apply(Isa isa, const Refl3Args& r) {
    switch (isa) {
        case Isa::avx512: return refl3_apply_avx512(r);
        case Isa::avx2: return refl3_apply_avx2(r);
        case Isa::baseline: return refl3_apply_baseline(r);
    }
}

void refl3_chain(Isa isa, const Refl3ChainArgs& r) {
    switch (isa) {
        case Isa::avx512: return refl3_chain_avx512(r);
        case Isa::avx2: return refl3_chain_avx2(r);
        case Isa::baseline: return refl3_chain_baseline(r);
    }
}

}  // namespace qiv
