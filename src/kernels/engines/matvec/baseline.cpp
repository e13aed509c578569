// The ZGEMV, ZGERC, ZTRMV and ZTRSV engine compiled for any x86-64 processor (SSE2): 128-bit
// registers of one complex element.
#include "frame/complex.h"
#include "kernels/engines/matvec/engine.h"
#include "kernels/engines/matvec/tuning.h"

// The instruction-set region: its includes stay in this order.
// clang-format off
#include "kernels/simd/target_baseline.h"

#include "kernels/simd/sse2.h"
#include "kernels/engines/common.h"
#include "kernels/engines/matvec/body.h"
// clang-format on

namespace qiv {

template <>
void gemv_engine_on<Isa::baseline>(const GemvArgs& g) {
    gemv_run<Sse2Ops>(g);
}
template <>
void gerc_engine_on<Isa::baseline>(const GercArgs& g) {
    gerc_run<Sse2Ops>(g);
}
template <>
void trmv_engine_on<Isa::baseline>(const TrmvArgs& t) {
    trmv_run<Sse2Ops>(t);
}
template <>
void trsv_engine_on<Isa::baseline>(const TrmvArgs& t) {
    trsv_run<Sse2Ops>(t);
}
template <>
void dots_engine_on<Isa::baseline>(const DotsArgs& d) {
    dots_run<Sse2Ops>(d);
}

}  // namespace qiv

#include "kernels/simd/target_end.h"
