// ZTREXC's reordering with its rotations applied by plain loops, swap after
// swap in the defining order: the rotation from the current T, then rows k
// and k+1 right of the pair, columns k and k+1 above it, the exchange of the
// diagonal entries and Q.
#include "eigen/eigen.h"
#include "frame/complex.h"
#include "oracle/eigen/eigen_plain.h"
#include "oracle/vector/vector_plain.h"

namespace qivoracle {

namespace {

void swap_plain(bool wantq, int n, zcomplex* t, int ldt, zcomplex* q, int ldq, int k) {
    using qiv::at;
    const zcomplex t11 = t[at(k, k, ldt)];
    const zcomplex t22 = t[at(k + 1, k + 1, ldt)];
    double cs;
    zcomplex sn, r;
    const zcomplex diff = t22 - t11;
    qiv::ZLARTG(&t[at(k, k + 1, ldt)], &diff, &cs, &sn, &r);
    if (k + 2 <= n)
        zrot_plain(n - k - 1, t + at(k, k + 2, ldt), ldt, t + at(k + 1, k + 2, ldt), ldt, cs, sn);
    const zcomplex snc = qiv::conj(sn);
    zrot_plain(k - 1, t + at(1, k, ldt), 1, t + at(1, k + 1, ldt), 1, cs, snc);
    t[at(k, k, ldt)] = t22;
    t[at(k + 1, k + 1, ldt)] = t11;
    if (wantq) zrot_plain(n, q + at(1, k, ldq), 1, q + at(1, k + 1, ldq), 1, cs, snc);
}

}  // namespace

void ztrexc_plain(bool wantq, int n, zcomplex* t, int ldt, zcomplex* q, int ldq, int ifst,
                  int ilst) {
    if (n <= 1 || ifst == ilst) return;
    if (ifst < ilst) {
        for (int k = ifst; k <= ilst - 1; ++k) swap_plain(wantq, n, t, ldt, q, ldq, k);
    } else {
        for (int k = ifst - 1; k >= ilst; --k) swap_plain(wantq, n, t, ldt, q, ldq, k);
    }
}

}  // namespace qivoracle
