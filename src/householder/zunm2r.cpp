// ZUNM2R: overwrites C with Q*C, Q^H*C, C*Q or C*Q^H, Q = H(1)*...*H(K) given
// by reflectors below the diagonal of A, one reflector at a time.
#include <algorithm>

#include "frame/complex.h"
#include "frame/lsame.h"
#include "frame/xerbla.h"
#include "householder/householder.h"

namespace qiv {

void ZUNM2R(const char* side, const char* trans, const int* m, const int* n, const int* k,
            const zcomplex* a, const int* lda, const zcomplex* tau, zcomplex* c, const int* ldc,
            zcomplex* work, int* info) {
    const int M = *m, N = *n, K = *k, LDA = *lda, LDC = *ldc;
    const bool left = LSAME(side, "L");
    const bool notran = LSAME(trans, "N");
    const int nq = left ? M : N;
    *info = 0;
    if (!left && !LSAME(side, "R")) {
        *info = -1;
    } else if (!notran && !LSAME(trans, "C")) {
        *info = -2;
    } else if (M < 0) {
        *info = -3;
    } else if (N < 0) {
        *info = -4;
    } else if (K < 0 || K > nq) {
        *info = -5;
    } else if (LDA < std::max(1, nq)) {
        *info = -7;
    } else if (LDC < std::max(1, M)) {
        *info = -10;
    }
    if (*info != 0) {
        report_illegal("ZUNM2R", -*info);
        return;
    }
    if (M == 0 || N == 0 || K == 0) return;

    // Q^H*C and C*Q take the reflectors first to last; Q*C and C*Q^H last to first.
    const bool ascending = left != notran;
    const int i1 = ascending ? 1 : K;
    const int step = ascending ? 1 : -1;
    const int one_i = 1;

    for (int cnt = 0, i = i1; cnt < K; ++cnt, i += step) {
        int mi = M, ni = N, ic = 1, jc = 1;
        if (left) {
            mi = M - i + 1;
            ic = i;
        } else {
            ni = N - i + 1;
            jc = i;
        }
        const zcomplex taui = notran ? tau[i - 1] : conj(tau[i - 1]);
        ZLARF1F(side, &mi, &ni, a + at(i, i, LDA), &one_i, &taui, c + at(ic, jc, LDC), ldc, work);
    }
}

}  // namespace qiv
