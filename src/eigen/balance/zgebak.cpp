// ZGEBAK: turns eigenvectors of a matrix balanced by ZGEBAL into eigenvectors
// of the matrix as it was before balancing. The scaling is undone first (D*x
// for right vectors, D^-1*y for left ones), then the interchanges, in the
// reverse of the order in which ZGEBAL made them.
#include <algorithm>

#include "eigen/eigen.h"
#include "frame/complex.h"
#include "frame/lsame.h"
#include "frame/xerbla.h"
#include "kernels/vector.h"

namespace qiv {

void ZGEBAK(const char* job, const char* side, const int* n, const int* ilo, const int* ihi,
            const double* scale, const int* m, zcomplex* v, const int* ldv, int* info) {
    const int N = *n, ILO = *ilo, IHI = *ihi, M = *m, LDV = *ldv;
    const bool rightv = LSAME(side, "R");
    const bool leftv = LSAME(side, "L");
    *info = 0;
    if (!LSAME(job, "N") && !LSAME(job, "P") && !LSAME(job, "S") && !LSAME(job, "B")) {
        *info = -1;
    } else if (!rightv && !leftv) {
        *info = -2;
    } else if (N < 0) {
        *info = -3;
    } else if (ILO < 1 || ILO > std::max(1, N)) {
        *info = -4;
    } else if (IHI < std::min(ILO, N) || IHI > N) {
        *info = -5;
    } else if (M < 0) {
        *info = -7;
    } else if (LDV < std::max(1, N)) {
        *info = -9;
    }
    if (*info != 0) {
        report_illegal("ZGEBAK", -*info);
        return;
    }

    if (N == 0 || M == 0 || LSAME(job, "N")) return;

    // Scaling: row i of V times D(i) (right vectors) or 1/D(i) (left ones).
    if (ILO != IHI && (LSAME(job, "S") || LSAME(job, "B"))) {
        for (int i = ILO; i <= IHI; ++i) {
            const double s = rightv ? scale[i - 1] : 1.0 / scale[i - 1];
            ZDSCAL(&M, &s, v + at(i, 1, LDV), &LDV);
        }
    }

    // Interchanges: positions ILO-1 down to 1, then IHI+1 up to N.
    if (LSAME(job, "P") || LSAME(job, "B")) {
        for (int ii = 1; ii <= N; ++ii) {
            if (ii >= ILO && ii <= IHI) continue;
            const int i = ii < ILO ? ILO - ii : ii;
            const int k = static_cast<int>(scale[i - 1]);
            if (k != i) ZSWAP(&M, v + at(i, 1, LDV), &LDV, v + at(k, 1, LDV), &LDV);
        }
    }
}

}  // namespace qiv
