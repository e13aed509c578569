// ZTREXC: reorders a complex Schur form. The diagonal entry in position IFST
// of the upper triangular T moves to position ILST through swaps of adjacent
// diagonal entries, each done by a plane rotation applied to the two rows and
// columns involved (and, on request, accumulated into the Schur vectors Q).
#include <algorithm>
#include <utility>

#include "eigen/eigen.h"
#include "frame/complex.h"
#include "frame/lsame.h"
#include "frame/xerbla.h"
#include "kernels/vector.h"

namespace qiv {

namespace {

// One swap of the diagonal entries in positions k and k+1 of T. The rotation
// maps (T(k, k+1), T(k+1, k+1) - T(k, k)), the pair's eigenvector for
// T(k+1, k+1), onto a multiple of the first unit vector; T(k, k+1) itself
// keeps its value. The swap rotates rows k and k+1 right of the pair (with
// cs, sn), columns k and k+1 above it (with cs, conj(sn)) and, on request,
// columns k and k+1 of Q, and exchanges T(k, k) and T(k+1, k+1).
//
// The next swap's rotation reads one entry that this swap's rotations change
// (T(k+1, k+2) moving down, T(k-1, k) moving up) and the exchanged diagonal.
// So a swap first rotates that one pair and exchanges the diagonal (near),
// then the next rotation is generated, and only then does this swap rotate
// the rest of its rows and columns and Q (far), before the next swap touches
// any of them: the processor overlaps the generator's divisions and square
// root with those long rotations. Every element receives the same rotations
// in the same order.
struct Swaps {
    int n;
    zcomplex* t;
    int ldt;
    zcomplex* q;
    int ldq;
    bool wantq;

    zcomplex* T(int i, int j) const { return t + at(i, j, ldt); }

    struct Rot {
        double cs;
        zcomplex sn;
    };

    Rot rotation(int k) const {
        Rot r;
        zcomplex r_unused;
        const zcomplex diff = *T(k + 1, k + 1) - *T(k, k);
        ZLARTG(T(k, k + 1), &diff, &r.cs, &r.sn, &r_unused);
        return r;
    }

    // Rows k and k+1 in columns c1..c2.
    void rows(int k, int c1, int c2, const Rot& r) const {
        const int len = c2 - c1 + 1;
        if (len > 0) ZROT(&len, T(k, c1), &ldt, T(k + 1, c1), &ldt, &r.cs, &r.sn);
    }
    // Columns k and k+1 in rows r1..r2.
    void cols(int k, int r1, int r2, const Rot& r) const {
        const int one = 1, len = r2 - r1 + 1;
        const zcomplex snc = conj(r.sn);
        if (len > 0) ZROT(&len, T(r1, k), &one, T(r1, k + 1), &one, &r.cs, &snc);
    }
    void exchange(int k) const { std::swap(*T(k, k), *T(k + 1, k + 1)); }
    void vectors(int k, const Rot& r) const {
        if (!wantq) return;
        const int one = 1;
        const zcomplex snc = conj(r.sn);
        ZROT(&n, q + at(1, k, ldq), &one, q + at(1, k + 1, ldq), &one, &r.cs, &snc);
    }

    // Swaps k = first .. last in steps of dir (+1 down, -1 up).
    void run(int first, int last, int dir) const {
        Rot r = rotation(first);
        for (int k = first;; k += dir) {
            const bool more = k != last;
            Rot next{};
            if (dir > 0) {
                // Moving down: the next rotation reads T(k+1, k+2).
                rows(k, k + 2, more ? k + 2 : k + 1, r);
                exchange(k);
                if (more) next = rotation(k + 1);
                rows(k, more ? k + 3 : k + 2, n, r);
                cols(k, 1, k - 1, r);
            } else {
                // Moving up: the next rotation reads T(k-1, k).
                cols(k, k - 1, more ? k - 1 : k - 2, r);
                exchange(k);
                if (more) next = rotation(k - 1);
                rows(k, k + 2, n, r);
                cols(k, 1, more ? k - 2 : k - 1, r);
            }
            vectors(k, r);
            if (!more) return;
            r = next;
        }
    }
};

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

    const Swaps swaps{N, t, LDT, q, LDQ, wantq};
    if (IFST < ILST) {
        swaps.run(IFST, ILST - 1, 1);
    } else {
        swaps.run(IFST - 1, ILST, -1);
    }
}

}  // namespace qiv
