// The ZGEMV, ZGERC, ZTRMV and ZTRSV engine compiled for AVX-512F: 512-bit registers of four complex
// elements.
#include "frame/complex.h"
#include "kernels/engines/matvec/engine.h"
#include "kernels/engines/matvec/tuning.h"

// The instruction-set region: its includes stay in this order.
// clang-format off
#include "kernels/simd/target_avx512.h"

#include "kernels/simd/avx512.h"
#include "kernels/engines/common.h"
#include "kernels/engines/matvec/body.h"
// clang-format on

namespace qiv {

template <>
void gemv_engine_on<Isa::avx512>(const GemvArgs& g) {
    gemv_run<Avx512Ops>(g);
}
template <>
void gerc_engine_on<Isa::avx512>(const GercArgs& g) {
    gerc_run<Avx512Ops>(g);
}
template <>
void trmv_engine_on<Isa::avx512>(const TrmvArgs& t) {
    trmv_run<Avx512Ops>(t);
}
template <>
void trsv_engine_on<Isa::avx512>(const TrmvArgs& t) {
    trsv_run<Avx512Ops>(t);
}
template <>
void dots_engine_on<Isa::avx512>(const DotsArgs& d) {
    dots_run<Avx512Ops>(d);
}

}  // namespace qiv

#include "kernels/simd/target_end.h"
