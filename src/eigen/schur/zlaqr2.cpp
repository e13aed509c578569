// ZLAQR2: aggressive early deflation on a trailing window whose Schur form is
// found by the single-shift ZLAHQR. Called by ZLAQR4; the body is shared with
// ZLAQR3 (aed_body.h).
#include "eigen/schur/aed_body.h"

namespace qiv {

namespace {

// The window's Schur form by ZLAHQR, which needs no workspace.
struct SingleShiftWindow {
    static int workspace(const int*, zcomplex*, const int*, zcomplex*, zcomplex*, const int*,
                         zcomplex*) {
        return 1;
    }
    static void schur(const int* jw, zcomplex* t, const int* ldt, zcomplex* sh, zcomplex* v,
                      const int* ldv, zcomplex*, const int*, int* infqr) {
        const int yes = 1, ione = 1;
        ZLAHQR(&yes, &yes, jw, &ione, jw, t, ldt, sh, &ione, jw, v, ldv, infqr);
    }
};

}  // namespace

void ZLAQR2(const int* wantt, const int* wantz, const int* n, const int* ktop, const int* kbot,
            const int* nw, zcomplex* h, const int* ldh, const int* iloz, const int* ihiz,
            zcomplex* z, const int* ldz, int* ns, int* nd, zcomplex* sh, zcomplex* v,
            const int* ldv, const int* nh, zcomplex* t, const int* ldt, const int* nv, zcomplex* wv,
            const int* ldwv, zcomplex* work, const int* lwork) {
    aggressive_early_deflation<SingleShiftWindow>(wantt, wantz, n, ktop, kbot, nw, h, ldh, iloz,
                                                  ihiz, z, ldz, ns, nd, sh, v, ldv, nh, t, ldt, nv,
                                                  wv, ldwv, work, lwork);
}

}  // namespace qiv
