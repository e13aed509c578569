// ZTRMV as plain loops, the definition every fast path must reproduce: x := op(A)*x in place, with
// A triangular and op(A) = A, A^T or A^H.
//
// Without transpose, column j of A scaled by x(j) is added into the elements
// of x not yet final, and a zero x(j) skips its column. With a transpose each
// x(j) becomes a dot product, always formed in full.
#include <cstddef>

#include "frame/complex.h"
#include "frame/lsame.h"
#include "oracle/matvec/matvec_plain.h"

namespace qivoracle {

using namespace qiv;

void ztrmv_plain(const char* uplo, const char* trans, const char* diag, const int* n,
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
            for (int j = 1; j <= N; ++j) {
                if (is_zero(X(j))) continue;
                const zcomplex t = X(j);
                for (int i = 1; i <= j - 1; ++i) X(i) = X(i) + t * A(i, j);
                if (nounit) X(j) = X(j) * A(j, j);
            }
        } else {
            for (int j = N; j >= 1; --j) {
                if (is_zero(X(j))) continue;
                const zcomplex t = X(j);
                for (int i = N; i >= j + 1; --i) X(i) = X(i) + t * A(i, j);
                if (nounit) X(j) = X(j) * A(j, j);
            }
        }
    } else {
        if (upper) {
            for (int j = N; j >= 1; --j) {
                zcomplex t = X(j);
                if (nounit) t = t * opA(j, j);
                for (int i = j - 1; i >= 1; --i) t = t + opA(i, j) * X(i);
                X(j) = t;
            }
        } else {
            for (int j = 1; j <= N; ++j) {
                zcomplex t = X(j);
                if (nounit) t = t * opA(j, j);
                for (int i = j + 1; i <= N; ++i) t = t + opA(i, j) * X(i);
                X(j) = t;
            }
        }
    }
}

}  // namespace qivoracle
