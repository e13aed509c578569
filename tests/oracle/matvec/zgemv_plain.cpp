// ZGEMV as plain loops, the definition every fast path must reproduce: y := alpha*op(A)*x + beta*y
// with op(A) = A, A^T or A^H.
//
// With op(A) = A the columns of A, scaled by alpha*x(j), are added into y one
// after another; otherwise each y(j) gains alpha times the dot product of
// column j of A (conjugated for "C") with x. Every product is formed, with no
// test for zero elements of x.
#include <cstddef>

#include "frame/complex.h"
#include "frame/lsame.h"
#include "oracle/matvec/matvec_plain.h"

namespace qivoracle {

using namespace qiv;

void zgemv_plain(const char* trans, const int* m, const int* n, const zcomplex* alpha,
                 const zcomplex* a, const int* lda, const zcomplex* x, const int* incx,
                 const zcomplex* beta, zcomplex* y, const int* incy) {
    const int M = *m, N = *n, LDA = *lda;
    if (M == 0 || N == 0) return;
    if (is_zero(*alpha) && is_one(*beta)) return;

    const zcomplex al = *alpha;
    const zcomplex be = *beta;
    const bool notrans = LSAME(trans, "N");
    const bool conja = LSAME(trans, "C");
    const int lenx = notrans ? N : M;
    const int leny = notrans ? M : N;
    const Walk wx = walk(lenx, *incx);
    const Walk wy = walk(leny, *incy);

    // y := beta*y; a zero beta clears y without reading it.
    if (!is_one(be)) {
        for (int i = 1; i <= leny; ++i) {
            zcomplex& yi = y[wy.pos(i)];
            yi = is_zero(be) ? zc(0.0, 0.0) : be * yi;
        }
    }
    if (is_zero(al)) return;

    if (notrans) {
        // y := alpha*A*x + y, one column of A at a time.
        for (int j = 1; j <= N; ++j) {
            const zcomplex t = al * x[wx.pos(j)];
            for (int i = 1; i <= M; ++i) {
                zcomplex& yi = y[wy.pos(i)];
                yi = yi + t * a[at(i, j, LDA)];
            }
        }
    } else {
        // y(j) := alpha*(column j of A, conjugated for "C", dotted with x) + y(j).
        for (int j = 1; j <= N; ++j) {
            zcomplex t = zc(0.0, 0.0);
            for (int i = 1; i <= M; ++i) {
                const zcomplex aij = conja ? conj(a[at(i, j, LDA)]) : a[at(i, j, LDA)];
                t = t + aij * x[wx.pos(i)];
            }
            zcomplex& yj = y[wy.pos(j)];
            yj = yj + al * t;
        }
    }
}

}  // namespace qivoracle
