// ZTREXC: reorders a complex Schur form. The diagonal entry in position IFST
// of the upper triangular T moves to position ILST through swaps of adjacent
// diagonal entries, each done by a plane rotation applied to the two rows and
// columns involved (and, on request, accumulated into the Schur vectors Q).
#include <algorithm>

#include "eigen/eigen.h"
#include "frame/complex.h"
#include "frame/lsame.h"
#include "frame/xerbla.h"
#include "kernels/vector.h"

namespace qiv {

namespace {

// Exchanges the diagonal entries in positions k and k+1 of T. The rotation
// maps (T(k, k+1), T(k+1, k+1) - T(k, k)), the pair's eigenvector for
// T(k+1, k+1), onto a multiple of the first unit vector; T(k, k+1) itself
// keeps its value.
void swap_adjacent(int n, zcomplex* t, int ldt, zcomplex* q, int ldq, bool wantq, int k) {
    const int one = 1;
    const zcomplex t11 = t[at(k, k, ldt)];
    const zcomplex t22 = t[at(k + 1, k + 1, ldt)];

    double cs;
    zcomplex sn;
    zcomplex r_unused;
    const zcomplex diff = t22 - t11;
    ZLARTG(&t[at(k, k + 1, ldt)], &diff, &cs, &sn, &r_unused);

    // Rows k and k+1 to the right of the pair.
    if (k + 2 <= n) {
        const int len = n - k - 1;
        ZROT(&len, t + at(k, k + 2, ldt), &ldt, t + at(k + 1, k + 2, ldt), &ldt, &cs, &sn);
    }
    // Columns k and k+1 above the pair.
    const zcomplex snc = conj(sn);
    const int above = k - 1;
    ZROT(&above, t + at(1, k, ldt), &one, t + at(1, k + 1, ldt), &one, &cs, &snc);

    t[at(k, k, ldt)] = t22;
    t[at(k + 1, k + 1, ldt)] = t11;

    if (wantq) ZROT(&n, q + at(1, k, ldq), &one, q + at(1, k + 1, ldq), &one, &cs, &snc);
}

}  // namespace

void ZTREXC(const char* compq, const int* n, zcomplex* t, const int* ldt, zcomplex* q,
            const int* ldq, const int* ifst, const int* ilst, int* info) {
    const int N = *n, LDT = *ldt, LDQ = *ldq, IFST = *ifst, ILST = *ilst;
    const bool wantq = LSAME(compq, "V");
    *info = 0;
    if (!LSAME(compq, "N") && !wantq) {
        *info = -1;
    } else if (N < 0) {
        *info = -2;
    } else if (LDT < std::max(1, N)) {
        *info = -4;
    } else if (LDQ < 1 || (wantq && LDQ < std::max(1, N))) {
        *info = -6;
    } else if ((IFST < 1 || IFST > N) && N > 0) {
        *info = -7;
    } else if ((ILST < 1 || ILST > N) && N > 0) {
        *info = -8;
    }
    if (*info != 0) {
        report_illegal("ZTREXC", -*info);
        return;
    }

    if (N <= 1 || IFST == ILST) return;

    if (IFST < ILST) {
        for (int k = IFST; k <= ILST - 1; ++k) swap_adjacent(N, t, LDT, q, LDQ, wantq, k);
    } else {
        for (int k = IFST - 1; k >= ILST; --k) swap_adjacent(N, t, LDT, q, LDQ, wantq, k);
    }
}

}  // namespace qiv
