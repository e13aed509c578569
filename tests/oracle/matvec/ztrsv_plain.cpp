// ZTRSV as plain loops, the definition every fast path must reproduce: solves op(A)*x = b in place,
// with A triangular and op(A) = A, A^T or A^H.
//
// Without transpose, each solved x(j) is divided by the diagonal and its
// column eliminated from the remaining elements; a zero x(j) skips its
// column. With a transpose each x(j) is its right-hand side minus a dot
// product, divided by the (conjugated for "C") diagonal. No test for a zero
// or tiny diagonal element is made: the complex quotient decides the result.
#include <cstddef>

#include "frame/complex.h"
#include "frame/lsame.h"
#include "oracle/matvec/matvec_plain.h"

namespace qivoracle {

using namespace qiv;

void ztrsv_plain(const char* uplo, const char* trans, const char* diag, const int* n,
                 const zcomplex* a, const int* lda, zcomplex* x, const int* incx) {
    const int N = *n, LDA = *lda;
    if (N == 0) return;

    const bool upper = LSAME(uplo, "U");
    const bool notrans = LSAME(trans, "N");
    const bool conja = LSAME(trans, "C");
    const bool nounit = LSAME(diag, "N");
    const Walk w = walk(N, *incx);

    auto A = [&](int i, int j) -> zcomplex { return a[at(i, j, LDA)]; };
    // A(i, j) as op(A) uses it: conjugated for "C".
    auto opA = [&](int i, int j) -> zcomplex {
        return conja ? conj(a[at(i, j, LDA)]) : a[at(i, j, LDA)];
    };
    auto X = [&](int i) -> zcomplex& { return x[w.pos(i)]; };

    if (notrans) {
        if (upper) {
            for (int j = N; j >= 1; --j) {
                if (is_zero(X(j))) continue;
                if (nounit) X(j) = X(j) / A(j, j);
                const zcomplex t = X(j);
                for (int i = j - 1; i >= 1; --i) X(i) = X(i) - t * A(i, j);
            }
        } else {
            for (int j = 1; j <= N; ++j) {
                if (is_zero(X(j))) continue;
                if (nounit) X(j) = X(j) / A(j, j);
                const zcomplex t = X(j);
                for (int i = j + 1; i <= N; ++i) X(i) = X(i) - t * A(i, j);
            }
        }
    } else {
        if (upper) {
            for (int j = 1; j <= N; ++j) {
                zcomplex t = X(j);
                for (int i = 1; i <= j - 1; ++i) t = t - opA(i, j) * X(i);
                if (nounit) t = t / opA(j, j);
                X(j) = t;
            }
        } else {
            for (int j = N; j >= 1; --j) {
                zcomplex t = X(j);
                for (int i = N; i >= j + 1; --i) t = t - opA(i, j) * X(i);
                if (nounit) t = t / opA(j, j);
                X(j) = t;
            }
        }
    }
}

}  // namespace qivoracle
