// The vector engine compiled for AVX2: 256-bit registers of two complex
// elements.
#include <algorithm>

#include "frame/complex.h"
#include "frame/types.h"
#include "kernels/vector_engine.h"

// The instruction-set region: its includes stay in this order.
// clang-format off
#include "kernels/simd/target_avx2.h"

#include "kernels/simd/avx2.h"
// clang-format on

namespace qiv {
namespace {

struct Avx2Extra {
    using V = __m256d;
    static V gather(const zcomplex* p, std::ptrdiff_t step) {
        return _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(&p->re)),
                                    _mm_loadu_pd(&p[step].re), 1);
    }
    static void scatter(zcomplex* p, std::ptrdiff_t step, V v) {
        _mm_storeu_pd(&p->re, _mm256_castpd256_pd128(v));
        _mm_storeu_pd(&p[step].re, _mm256_extractf128_pd(v, 1));
    }
    // n < 2: element 0 only.
    static V load(const zcomplex* p, std::ptrdiff_t, int) {
        return _mm256_insertf128_pd(_mm256_setzero_pd(), _mm_loadu_pd(&p->re), 0);
    }
    static void store(zcomplex* p, std::ptrdiff_t, int, V v) {
        _mm_storeu_pd(&p->re, _mm256_castpd256_pd128(v));
    }
    static V abs(V v) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), v); }
    static V from_lane(V upd, V old, int k) {
        return k == 1 ? _mm256_blend_pd(old, upd, 0xc) : old;
    }
    static void keep_greater(V v, V idx, V& best, V& besti) {
        const V m = _mm256_cmp_pd(v, best, _CMP_GT_OQ);
        best = _mm256_blendv_pd(best, v, m);
        besti = _mm256_blendv_pd(besti, idx, m);
    }
    // v where it exceeds best, else best (MAX returns its second operand
    // for a NaN).
    static V keep_max(V v, V best) { return _mm256_max_pd(v, best); }
};

}  // namespace
}  // namespace qiv

#include "kernels/vector_engine_body.h"

namespace qiv {

template <>
void zaxpy_unit_on<Isa::avx2>(int n, zcomplex a, const zcomplex* x, zcomplex* y) {
    zaxpy_body<Avx2Ops>(n, a, x, y);
}
template <>
void zscal_unit_on<Isa::avx2>(int n, zcomplex a, zcomplex* x) {
    zscal_body<Avx2Ops>(n, a, x);
}
template <>
void zdscal_unit_on<Isa::avx2>(int n, double a, zcomplex* x) {
    zdscal_body<Avx2Ops>(n, a, x);
}
template <>
int izamax_unit_on<Isa::avx2>(int n, const zcomplex* x) {
    return izamax_body<Avx2Ops, Avx2Extra>(n, x);
}
template <>
double dzasum_unit_on<Isa::avx2>(int n, const zcomplex* x) {
    return dzasum_body<Avx2Ops, Avx2Extra>(n, x);
}
template <>
void zrot_walk_on<Isa::avx2>(const RotArgs& r) {
    zrot_body<Avx2Ops, Avx2Extra>(r);
}
template <>
void refl2_apply_on<Isa::avx2>(const Refl2Args& r) {
    refl2_body<Avx2Ops, Avx2Extra>(r);
}
template <>
void refl3_apply_on<Isa::avx2>(const Refl3Args& r) {
    refl3_body<Avx2Ops, Avx2Extra>(r);
}

template <>
void refl3_chain_on<Isa::avx2>(const Refl3ChainArgs& r) {
    refl3_chain_body<Avx2Ops, Avx2Extra>(r);
}

template <>
double zaxpy_max_unit_on<Isa::avx2>(int n, zcomplex a, const zcomplex* x, zcomplex* y) {
    return zaxpy_max_body<Avx2Ops, Avx2Extra>(n, a, x, y);
}

}  // namespace qiv

#include "kernels/simd/target_end.h"
