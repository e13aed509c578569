// ZGEHD2: unblocked reduction of A(ILO:IHI, ILO:IHI) to upper Hessenberg form
// by one reflector per column, applied from the right to rows 1..IHI and from
// the left to columns i+1..N.
#include <algorithm>

#include "frame/complex.h"
#include "frame/xerbla.h"
#include "householder/householder.h"

namespace qiv {

void ZGEHD2(const int* n, const int* ilo, const int* ihi, zcomplex* a, const int* lda,
            zcomplex* tau, zcomplex* work, int* info) {
    const int N = *n, ILO = *ilo, IHI = *ihi, LDA = *lda;
    *info = 0;
    if (N < 0) {
        *info = -1;
    } else if (ILO < 1 || ILO > std::max(1, N)) {
        *info = -2;
    } else if (IHI < std::min(ILO, N) || IHI > N) {
        *info = -3;
    } else if (LDA < std::max(1, N)) {
        *info = -5;
    }
    if (*info != 0) {
        report_illegal("ZGEHD2", -*info);
        return;
    }

    const int one = 1;
    for (int i = ILO; i <= IHI - 1; ++i) {
        // H(i) annihilates A(i+2:IHI, i); A(i+1, i) receives beta and keeps it:
        // the reflector's unit element is implicit and never read.
        const int order = IHI - i;
        zcomplex* v = a + at(i + 1, i, LDA);
        ZLARFG(&order, v, a + at(std::min(i + 2, N), i, LDA), &one, tau + (i - 1));

        // A(1:IHI, i+1:IHI) := A(1:IHI, i+1:IHI) * H(i)
        ZLARF1F("Right", ihi, &order, v, &one, tau + (i - 1), a + at(1, i + 1, LDA), lda, work);

        // A(i+1:IHI, i+1:N) := H(i)^H * A(i+1:IHI, i+1:N)
        const int ncols = N - i;
        const zcomplex ctau = conj(tau[i - 1]);
        ZLARF1F("Left", &order, &ncols, v, &one, &ctau, a + at(i + 1, i + 1, LDA), lda, work);
    }
}

}  // namespace qiv
