// The vector engine compiled for any x86-64 processor (SSE2): 128-bit
// registers of one complex element.
#include <algorithm>

#include "frame/complex.h"
#include "frame/types.h"
#include "kernels/vector_engine.h"

// The instruction-set region: its includes stay in this order.
// clang-format off
#include "kernels/simd/target_baseline.h"

#include "kernels/simd/sse2.h"
// clang-format on

namespace qiv {
namespace {

struct Sse2Extra {
    using V = __m128d;
    static V gather(const zcomplex* p, std::ptrdiff_t) { return _mm_loadu_pd(&p->re); }
    static void scatter(zcomplex* p, std::ptrdiff_t, V v) { _mm_storeu_pd(&p->re, v); }
    static V load(const zcomplex* p, std::ptrdiff_t, int n) {
        return n > 0 ? _mm_loadu_pd(&p->re) : _mm_setzero_pd();
    }
    static void store(zcomplex* p, std::ptrdiff_t, int n, V v) {
        if (n > 0) _mm_storeu_pd(&p->re, v);
    }
    static V abs(V v) { return _mm_andnot_pd(_mm_set1_pd(-0.0), v); }
    // One lane: k >= 1 keeps old.
    static V from_lane(V, V old, int) { return old; }
    static void keep_greater(V v, V idx, V& best, V& besti) {
        const V m = _mm_cmpgt_pd(v, best);
        best = _mm_or_pd(_mm_and_pd(m, v), _mm_andnot_pd(m, best));
        besti = _mm_or_pd(_mm_and_pd(m, idx), _mm_andnot_pd(m, besti));
    }
    // v where it exceeds best, else best (MAX returns its second operand
    // for a NaN).
    static V keep_max(V v, V best) { return _mm_max_pd(v, best); }
};

}  // namespace
}  // namespace qiv

#include "kernels/vector_engine_body.h"

namespace qiv {

template <>
void zaxpy_unit_on<Isa::baseline>(int n, zcomplex a, const zcomplex* x, zcomplex* y) {
    zaxpy_body<Sse2Ops>(n, a, x, y);
}
template <>
void zscal_unit_on<Isa::baseline>(int n, zcomplex a, zcomplex* x) {
    zscal_body<Sse2Ops>(n, a, x);
}
template <>
void zdscal_unit_on<Isa::baseline>(int n, double a, zcomplex* x) {
    zdscal_body<Sse2Ops>(n, a, x);
}
template <>
int izamax_unit_on<Isa::baseline>(int n, const zcomplex* x) {
    return izamax_body<Sse2Ops, Sse2Extra>(n, x);
}
template <>
double dzasum_unit_on<Isa::baseline>(int n, const zcomplex* x) {
    return dzasum_body<Sse2Ops, Sse2Extra>(n, x);
}
template <>
void zrot_walk_on<Isa::baseline>(const RotArgs& r) {
    zrot_body<Sse2Ops, Sse2Extra>(r);
}
template <>
void refl2_apply_on<Isa::baseline>(const Refl2Args& r) {
    refl2_body<Sse2Ops, Sse2Extra>(r);
}
template <>
void refl3_apply_on<Isa::baseline>(const Refl3Args& r) {
    refl3_body<Sse2Ops, Sse2Extra>(r);
}

template <>
void refl3_chain_on<Isa::baseline>(const Refl3ChainArgs& r) {
    refl3_chain_body<Sse2Ops, Sse2Extra>(r);
}

template <>
double zaxpy_max_unit_on<Isa::baseline>(int n, zcomplex a, const zcomplex* x, zcomplex* y) {
    return zaxpy_max_body<Sse2Ops, Sse2Extra>(n, a, x, y);
}

}  // namespace qiv

#include "kernels/simd/target_end.h"
