// The vector engine compiled for AVX2: 256-bit registers of two complex
// elements.
#include "frame/types.h"
#include "kernels/vector_engine.h"

#include "kernels/simd/target_avx2.h"

#include "kernels/simd/avx2.h"

namespace qiv {
namespace {

struct Avx2Extra {
    using V = __m256d;
    static V load(const zcomplex* p, std::ptrdiff_t step, int n) {
        if (step == 1) return Avx2Ops::loadc(p, n);
        const __m128d e0 = _mm_loadu_pd(&p->re);
        const __m128d e1 = n > 1 ? _mm_loadu_pd(&p[step].re) : _mm_setzero_pd();
        return _mm256_insertf128_pd(_mm256_castpd128_pd256(e0), e1, 1);
    }
    static void store(zcomplex* p, std::ptrdiff_t step, int n, V v) {
        if (step == 1) {
            Avx2Ops::storec(p, n, v);
            return;
        }
        _mm_storeu_pd(&p->re, _mm256_castpd256_pd128(v));
        if (n > 1) _mm_storeu_pd(&p[step].re, _mm256_extractf128_pd(v, 1));
    }
    static V abs(V v) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), v); }
    static void keep_greater(V v, V idx, V& best, V& besti) {
        const V m = _mm256_cmp_pd(v, best, _CMP_GT_OQ);
        best = _mm256_blendv_pd(best, v, m);
        besti = _mm256_blendv_pd(besti, idx, m);
    }
};

}  // namespace
}  // namespace qiv

#include "kernels/vector_engine_body.h"

namespace qiv {

void zaxpy_unit_avx2(int n, zcomplex a, const zcomplex* x, zcomplex* y) {
    zaxpy_body<Avx2Ops>(n, a, x, y);
}
void zscal_unit_avx2(int n, zcomplex a, zcomplex* x) { zscal_body<Avx2Ops>(n, a, x); }
void zdscal_unit_avx2(int n, double a, zcomplex* x) { zdscal_body<Avx2Ops>(n, a, x); }
int izamax_unit_avx2(int n, const zcomplex* x) { return izamax_body<Avx2Ops, Avx2Extra>(n, x); }
double dzasum_unit_avx2(int n, const zcomplex* x) { return dzasum_body<Avx2Ops, Avx2Extra>(n, x); }
void zrot_walk_avx2(const RotArgs& r) { zrot_body<Avx2Ops, Avx2Extra>(r); }
void refl3_apply_avx2(const Refl3Args& r) { refl3_body<Avx2Ops, Avx2Extra>(r); }

}  // namespace qiv

#include "kernels/simd/target_end.h"
