// ZTRMV: x := op(A)*x in place, with A triangular and op(A) = A, A^T or A^H.
//
// Without transpose, column j of A scaled by x(j) is added into the elements
// of x not yet final, and a zero x(j) skips its column. With a transpose each
// x(j) becomes a dot product, always formed in full.
//
// Those plain loops define the result. This routine checks the arguments,
// takes the quick return and hands the loops to the engine
// (kernels/matvec_engine.h), which keeps the order of the operations on every
// element while working on several columns and elements at once.
#include <cstddef>

#include "frame/complex.h"
#include "frame/lsame.h"
#include "frame/xerbla.h"
#include "kernels/matvec.h"
#include "kernels/matvec_engine.h"

namespace qiv {

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

void ZTRMV(const char* uplo, const char* trans, const char* diag, const int* n, const zcomplex* a,
           const int* lda, zcomplex* x, const int* incx) {
    int info = 0;
    if (!LSAME(uplo, "U") && !LSAME(uplo, "L")) {
        info = 1;
    } else if (!LSAME(trans, "N") && !LSAME(trans, "T") && !LSAME(trans, "C")) {
        info = 2;
    } else if (!LSAME(diag, "U") && !LSAME(diag, "N")) {
        info = 3;
    } else if (*n < 0) {
        info = 4;
    } else if (*lda < (*n > 1 ? *n : 1)) {
        info = 6;
    } else if (*incx == 0) {
        info = 8;
    }
    if (info != 0) {
        report_illegal("ZTRMV ", info);
        return;
    }

    const int N = *n, LDA = *lda;
    if (N == 0) return;

    const bool notrans = LSAME(trans, "N");
    const bool conja = LSAME(trans, "C");
    const Walk w = walk(N, *incx);
    const MvOp op = notrans ? MvOp::none : conja ? MvOp::conj : MvOp::trans;
    const TrmvArgs t{LSAME(uplo, "U"), op, !LSAME(diag, "N"), N, a, LDA, MvVec{x + w.start, w.inc}};
    trmv_engine(best_isa(), t);
}

}  // namespace qiv
