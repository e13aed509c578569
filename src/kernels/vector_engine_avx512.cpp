// The vector engine compiled for AVX-512F: 512-bit registers of four complex
// elements.
#include <algorithm>

#include "frame/complex.h"
#include "frame/types.h"
#include "kernels/vector_engine.h"

// The instruction-set region: its includes stay in this order.
// clang-format off
#include "kernels/simd/target_avx512.h"

#include "kernels/simd/avx512.h"
// clang-format on

namespace qiv {
namespace {

// The masked forms of the insert and extract instructions, with every lane
// selected: the unmasked intrinsics start from an undefined register in some
// compilers.
struct Avx512Extra {
    using V = __m512d;
    // Elements 2k and 2k+1 of a strided walk (those below n) as one 256-bit
    // half.
    static __m256d half(const zcomplex* p, std::ptrdiff_t step, int k, int n) {
        const __m128d e0 = 2 * k < n ? _mm_loadu_pd(&p[2 * k * step].re) : _mm_setzero_pd();
        const __m128d e1 =
            2 * k + 1 < n ? _mm_loadu_pd(&p[(2 * k + 1) * step].re) : _mm_setzero_pd();
        return _mm256_insertf128_pd(_mm256_castpd128_pd256(e0), e1, 1);
    }
    static void put(zcomplex* p, std::ptrdiff_t step, int k, int n, __m256d h) {
        if (2 * k < n) _mm_storeu_pd(&p[2 * k * step].re, _mm256_castpd256_pd128(h));
        if (2 * k + 1 < n) _mm_storeu_pd(&p[(2 * k + 1) * step].re, _mm256_extractf128_pd(h, 1));
    }
    static V load(const zcomplex* p, std::ptrdiff_t step, int n) {
        return _mm512_maskz_insertf64x4(0xff, _mm512_castpd256_pd512(half(p, step, 0, n)),
                                        half(p, step, 1, n), 1);
    }
    static void store(zcomplex* p, std::ptrdiff_t step, int n, V v) {
        put(p, step, 0, n, _mm512_maskz_extractf64x4_pd(0xff, v, 0));
        put(p, step, 1, n, _mm512_maskz_extractf64x4_pd(0xff, v, 1));
    }
    static V gather(const zcomplex* p, std::ptrdiff_t step) { return load(p, step, 4); }
    static void scatter(zcomplex* p, std::ptrdiff_t step, V v) { store(p, step, 4, v); }
    static V abs(V v) {
        const __m512i mag = _mm512_set1_epi64(INT64_MAX);
        return _mm512_castsi512_pd(_mm512_and_si512(_mm512_castpd_si512(v), mag));
    }
    static V from_lane(V upd, V old, int k) {
        const __mmask8 m = static_cast<__mmask8>((0xffu << (2 * k)) & 0xffu);
        return _mm512_mask_mov_pd(old, m, upd);
    }
    static void keep_greater(V v, V idx, V& best, V& besti) {
        const __mmask8 m = _mm512_cmp_pd_mask(v, best, _CMP_GT_OQ);
        best = _mm512_mask_mov_pd(best, m, v);
        besti = _mm512_mask_mov_pd(besti, m, idx);
    }
    // v where it exceeds best, else best (MAX returns its second operand
    // for a NaN).
    static V keep_max(V v, V best) { return _mm512_mask_max_pd(best, 0xff, v, best); }
};

}  // namespace
}  // namespace qiv

#include "kernels/vector_engine_body.h"

namespace qiv {

template <>
void zaxpy_unit_on<Isa::avx512>(int n, zcomplex a, const zcomplex* x, zcomplex* y) {
    zaxpy_body<Avx512Ops>(n, a, x, y);
}
template <>
void zscal_unit_on<Isa::avx512>(int n, zcomplex a, zcomplex* x) {
    zscal_body<Avx512Ops>(n, a, x);
}
template <>
void zdscal_unit_on<Isa::avx512>(int n, double a, zcomplex* x) {
    zdscal_body<Avx512Ops>(n, a, x);
}
template <>
int izamax_unit_on<Isa::avx512>(int n, const zcomplex* x) {
    return izamax_body<Avx512Ops, Avx512Extra>(n, x);
}
template <>
double dzasum_unit_on<Isa::avx512>(int n, const zcomplex* x) {
    return dzasum_body<Avx512Ops, Avx512Extra>(n, x);
}
template <>
void zrot_walk_on<Isa::avx512>(const RotArgs& r) {
    zrot_body<Avx512Ops, Avx512Extra>(r);
}
template <>
void refl2_apply_on<Isa::avx512>(const Refl2Args& r) {
    refl2_body<Avx512Ops, Avx512Extra>(r);
}
template <>
void refl3_apply_on<Isa::avx512>(const Refl3Args& r) {
    refl3_body<Avx512Ops, Avx512Extra>(r);
}

template <>
void refl3_chain_on<Isa::avx512>(const Refl3ChainArgs& r) {
    refl3_chain_body<Avx512Ops, Avx512Extra>(r);
}

template <>
double zaxpy_max_unit_on<Isa::avx512>(int n, zcomplex a, const zcomplex* x, zcomplex* y) {
    return zaxpy_max_body<Avx512Ops, Avx512Extra>(n, a, x, y);
}

}  // namespace qiv

#include "kernels/simd/target_end.h"
