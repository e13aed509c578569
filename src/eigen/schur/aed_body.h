// Aggressive early deflation, written once for ZLAQR2 and ZLAQR3.
//
// The trailing JW-by-JW window of the active block KTOP..KBOT is copied into
// T and reduced to Schur form T = V^H * window * V. The window's coupling to
// the rest of the matrix is the single entry S = H(KWTOP, KWTOP-1); after the
// reduction it becomes the spike S*conj(V(1, j)), and every eigenvalue whose
// spike entry is negligible deflates at once. The undeflatable eigenvalues are
// moved to the top of the window, sorted by size, and returned as shifts; the
// window is then brought back to Hessenberg form (a reflector folds the spike
// into the first column, ZGEHRD does the rest), written back into H, and the
// rows above it, the columns right of it and Z are multiplied by V in slabs.
//
// The two routines differ only in how the window's Schur form is found and in
// what that costs in workspace, which the Solver type provides:
//   static int workspace(const int* jw, zcomplex* t, const int* ldt,
//                        zcomplex* sh, zcomplex* v, const int* ldv,
//                        zcomplex* work);
//       the solver's own workspace length for a window of order JW (found by
//       a workspace query; 1 when it needs none);
//   static void schur(const int* jw, zcomplex* t, const int* ldt,
//                     zcomplex* sh, zcomplex* v, const int* ldv,
//                     zcomplex* work, const int* lwork, int* infqr);
//       the Schur form of T with V accumulated, the eigenvalues in SH.
// ZLAQR2's solver is ZLAHQR alone; ZLAQR3's uses ZLAQR4 for large windows.
// ZLAQR4 in turn deflates with ZLAQR2, so the nesting stays at a fixed depth.
//
// Scratch: V, T and WV may lie in the part of the caller's H below the first
// subdiagonal; they are written before they are read. WORK holds the
// reflector of the spike, the scalar factors of the Hessenberg reduction and
// the workspace of ZGEHRD and ZUNMHR behind them.
#pragma once

#include <algorithm>

#include "eigen/eigen.h"
#include "env/machine.h"
#include "frame/complex.h"
#include "householder/householder.h"
#include "kernels/gemm.h"
#include "kernels/matutil.h"
#include "kernels/vector.h"

namespace qiv {
namespace {

template <class Solver>
void aggressive_early_deflation(const int* wantt, const int* wantz, const int* n, const int* ktop,
                                const int* kbot, const int* nw, zcomplex* h, const int* ldh,
                                const int* iloz, const int* ihiz, zcomplex* z, const int* ldz,
                                int* ns, int* nd, zcomplex* sh, zcomplex* v, const int* ldv,
                                const int* nh, zcomplex* t, const int* ldt, const int* nv,
                                zcomplex* wv, const int* ldwv, zcomplex* work, const int* lwork) {
    const bool WANTT = *wantt != 0, WANTZ = *wantz != 0;
    const int N = *n, KTOP = *ktop, KBOT = *kbot, NW = *nw, LDH = *ldh, ILOZ = *iloz, IHIZ = *ihiz,
              LDZ = *ldz, LDV = *ldv, NH = *nh, LDT = *ldt, NV = *nv, LWORK = *lwork;
    const zcomplex zero = zc(0.0, 0.0), one = zc(1.0, 0.0);
    const int ione = 1;
    auto H = [&](int i, int j) -> zcomplex& { return h[at(i, j, LDH)]; };
    auto T = [&](int i, int j) -> zcomplex& { return t[at(i, j, LDT)]; };

    // Workspace estimate, made on every call: the window's Hessenberg
    // reduction and its back-transformation, behind JW scalar factors.
    int jw = std::min(NW, KBOT - KTOP + 1);
    int lwkopt = 1;
    if (jw > 2) {
        const int jwm1 = jw - 1, query = -1;
        int iinfo = 0;
        ZGEHRD(&jw, &ione, &jwm1, t, ldt, work, work, &query, &iinfo);
        const int lwk1 = static_cast<int>(work[0].re);
        ZUNMHR("R", "N", &jw, &jw, &ione, &jwm1, t, ldt, work, v, ldv, work, &query, &iinfo);
        const int lwk2 = static_cast<int>(work[0].re);
        lwkopt = jw + std::max(lwk1, lwk2);
        lwkopt = std::max(lwkopt, Solver::workspace(&jw, t, ldt, sh, v, ldv, work));
    }
    if (LWORK == -1) {
        work[0] = zc(static_cast<double>(lwkopt), 0.0);
        return;
    }

    *ns = 0;
    *nd = 0;
    work[0] = one;
    if (KTOP > KBOT || NW < 1) return;

    const double safmin = mach_sfmin;
    const double ulp = mach_prec;
    const double smlnum = (static_cast<double>(N) / ulp) * safmin;

    jw = std::min(NW, KBOT - KTOP + 1);
    const int kwtop = KBOT - jw + 1;
    zcomplex s = kwtop == KTOP ? zero : H(kwtop, kwtop - 1);

    // A 1-by-1 window: its only eigenvalue deflates when the spike is small.
    if (KBOT == kwtop) {
        sh[kwtop - 1] = H(kwtop, kwtop);
        *ns = 1;
        *nd = 0;
        if (DCABS1(&s) <= max_nan_second(smlnum, ulp * DCABS1(&H(kwtop, kwtop)))) {
            *ns = 0;
            *nd = 1;
            if (kwtop > KTOP) H(kwtop, kwtop - 1) = zero;
        }
        work[0] = one;
        return;
    }

    // T = the window (upper triangle and subdiagonal only: whatever lies
    // below the subdiagonal of H is scratch), V = identity.
    const int jwm1 = jw - 1, ldh1 = LDH + 1, ldt1 = LDT + 1;
    ZLACPY("U", &jw, &jw, &H(kwtop, kwtop), ldh, t, ldt);
    ZCOPY(&jwm1, &H(kwtop + 1, kwtop), &ldh1, &T(2, 1), &ldt1);
    ZLASET("A", &jw, &jw, &zero, &one, v, ldv);

    int infqr = 0;
    Solver::schur(&jw, t, ldt, sh + (kwtop - 1), v, ldv, work, lwork, &infqr);
    // Positions 1..INFQR did not converge: they are neither deflated nor
    // offered as shifts.

    // Deflation detection: the bottom candidate either deflates (shortening
    // the spike) or is moved up to the next free position at the top.
    int nsv = jw;
    int ilst = infqr + 1;
    for (int knt = infqr + 1; knt <= jw; ++knt) {
        double foo = DCABS1(&T(nsv, nsv));
        if (foo == 0.0) foo = DCABS1(&s);
        if (DCABS1(&s) * DCABS1(&v[at(1, nsv, LDV)]) <= max_nan_second(smlnum, ulp * foo)) {
            --nsv;
        } else {
            const int ifst = nsv, ilst_now = ilst;
            int iinfo = 0;
            ZTREXC("V", &jw, t, ldt, v, ldv, &ifst, &ilst_now, &iinfo);
            ++ilst;
        }
    }
    if (nsv == 0) s = zero;

    // Something deflated: sort the shifts by decreasing size, a later
    // position winning only when strictly larger.
    if (nsv < jw) {
        for (int i = infqr + 1; i <= nsv; ++i) {
            int ifst = i;
            for (int j = i + 1; j <= nsv; ++j)
                if (DCABS1(&T(j, j)) > DCABS1(&T(ifst, ifst))) ifst = j;
            if (ifst != i) {
                const int ilst_now = i;
                int iinfo = 0;
                ZTREXC("V", &jw, t, ldt, v, ldv, &ifst, &ilst_now, &iinfo);
            }
        }
    }

    for (int i = infqr + 1; i <= jw; ++i) sh[kwtop + i - 2] = T(i, i);

    if (nsv < jw || is_zero(s)) {
        const int lwrest = LWORK - jw;
        const bool fold = nsv > 1 && !is_zero(s);
        if (fold) {
            // The reflector that maps the spike conj(V(1, 1..NS)) onto its
            // first entry, applied to both sides of T and to V; then the
            // undeflated part goes back to Hessenberg form.
            ZCOPY(&nsv, v, ldv, work, &ione);
            for (int i = 0; i < nsv; ++i) work[i] = conj(work[i]);
            zcomplex tau;
            ZLARFG(&nsv, work, work + 1, &ione, &tau);
            const int jwm2 = jw - 2;
            ZLASET("L", &jwm2, &jwm2, &zero, &zero, &T(3, 1), ldt);
            const zcomplex ctau = conj(tau);
            ZLARF1F("L", &nsv, &jw, work, &ione, &ctau, t, ldt, work + jw);
            ZLARF1F("R", &nsv, &nsv, work, &ione, &tau, t, ldt, work + jw);
            ZLARF1F("R", &jw, &nsv, work, &ione, &tau, v, ldv, work + jw);
            int iinfo = 0;
            ZGEHRD(&jw, &ione, &nsv, t, ldt, work, work + jw, &lwrest, &iinfo);
        }

        if (kwtop > 1) H(kwtop, kwtop - 1) = s * conj(v[0]);
        ZLACPY("U", &jw, &jw, t, ldt, &H(kwtop, kwtop), ldh);
        ZCOPY(&jwm1, &T(2, 1), &ldt1, &H(kwtop + 1, kwtop), &ldh1);

        if (fold) {
            int iinfo = 0;
            ZUNMHR("R", "N", &jw, &nsv, &ione, &nsv, t, ldt, work, v, ldv, work + jw, &lwrest,
                   &iinfo);
        }

        // Rows above the window, NV at a time through WV.
        const int ltop = WANTT ? 1 : KTOP;
        for (int krow = ltop; krow <= kwtop - 1; krow += NV) {
            const int kln = std::min(NV, kwtop - krow);
            ZGEMM("N", "N", &kln, &jw, &jw, &one, &H(krow, kwtop), ldh, v, ldv, &zero, wv, ldwv);
            ZLACPY("A", &kln, &jw, wv, ldwv, &H(krow, kwtop), ldh);
        }
        // Columns right of the active block, NH at a time through T.
        if (WANTT) {
            for (int kcol = KBOT + 1; kcol <= N; kcol += NH) {
                const int kln = std::min(NH, N - kcol + 1);
                ZGEMM("C", "N", &jw, &kln, &jw, &one, v, ldv, &H(kwtop, kcol), ldh, &zero, t, ldt);
                ZLACPY("A", &jw, &kln, t, ldt, &H(kwtop, kcol), ldh);
            }
        }
        // Z, whenever it is wanted: eigenvalues alone (WANTT false) may still
        // come with Schur vectors.
        if (WANTZ) {
            for (int krow = ILOZ; krow <= IHIZ; krow += NV) {
                const int kln = std::min(NV, IHIZ - krow + 1);
                ZGEMM("N", "N", &kln, &jw, &jw, &one, &z[at(krow, kwtop, LDZ)], ldz, v, ldv, &zero,
                      wv, ldwv);
                ZLACPY("A", &kln, &jw, wv, ldwv, &z[at(krow, kwtop, LDZ)], ldz);
            }
        }
    }

    *nd = jw - nsv;
    *ns = nsv - infqr;
    work[0] = zc(static_cast<double>(lwkopt), 0.0);
}

}  // namespace
}  // namespace qiv
