// ZGERC as plain loops, the definition every fast path must reproduce: the conjugated rank-one
// update A := alpha*x*y^H + A.
//
// Column j of A gains x scaled by alpha*conj(y(j)); a column whose y(j) is
// zero is left untouched, NaNs and infinities in it included.
#include <cstddef>

#include "frame/complex.h"
#include "oracle/matvec_plain.h"

namespace qivoracle {

using namespace qiv;

namespace {

// Positions of a vector of length len with increment inc (non-zero): logical
// element i, counted from 1, lies at offset pos(i). A negative increment
// stores the vector backwards, its first element at the highest offset.
struct Walk {
    std::ptrdiff_t start, inc;
    std::ptrdiff_t pos(int i) const { return start + static_cast<std::ptrdiff_t>(i - 1) * inc; }
};
Walk walk(int len, int inc) {
    const std::ptrdiff_t s = inc > 0 ? 0 : -static_cast<std::ptrdiff_t>(len - 1) * inc;
    return Walk{s, inc};
}

}  // namespace

void zgerc_plain(const int* m, const int* n, const zcomplex* alpha, const zcomplex* x,
                 const int* incx, const zcomplex* y, const int* incy, zcomplex* a, const int* lda) {
    const int M = *m, N = *n, LDA = *lda;
    if (M == 0 || N == 0 || is_zero(*alpha)) return;

    const zcomplex al = *alpha;
    const Walk wx = walk(M, *incx);
    const Walk wy = walk(N, *incy);

    for (int j = 1; j <= N; ++j) {
        const zcomplex yj = y[wy.pos(j)];
        if (is_zero(yj)) continue;
        const zcomplex t = al * conj(yj);
        for (int i = 1; i <= M; ++i) {
            zcomplex& aij = a[at(i, j, LDA)];
            aij = aij + x[wx.pos(i)] * t;
        }
    }
}

}  // namespace qivoracle
