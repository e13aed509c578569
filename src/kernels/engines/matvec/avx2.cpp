// The ZGEMV, ZGERC, ZTRMV and ZTRSV engine compiled for AVX2: 256-bit registers of two complex
// elements.
#include "frame/complex.h"
#include "kernels/engines/matvec/engine.h"
#include "kernels/engines/matvec/tuning.h"

// The instruction-set region: its includes stay in this order.
// clang-format off
#include "kernels/simd/target_avx2.h"

#include "kernels/simd/avx2.h"
#include "kernels/engines/common.h"
#include "kernels/engines/matvec/body.h"
// clang-format on

namespace qiv {

template <>
void gemv_engine_on<Isa::avx2>(const GemvArgs& g) {
    gemv_run<Avx2Ops>(g);
}
template <>
void gerc_engine_on<Isa::avx2>(const GercArgs& g) {
    gerc_run<Avx2Ops>(g);
}
template <>
void trmv_engine_on<Isa::avx2>(const TrmvArgs& t) {
    trmv_run<Avx2Ops>(t);
}
template <>
void trsv_engine_on<Isa::avx2>(const TrmvArgs& t) {
    trsv_run<Avx2Ops>(t);
}
template <>
void dots_engine_on<Isa::avx2>(const DotsArgs& d) {
    dots_run<Avx2Ops>(d);
}

}  // namespace qiv

#include "kernels/simd/target_end.h"
