// ZLAQR3: aggressive early deflation as in ZLAQR2, except that a window
// larger than the multishift crossover gets its Schur form from ZLAQR4 (which
// deflates with ZLAQR2, never with this routine). Called by ZLAQR0; the body
// is shared with ZLAQR2 (aed_body.h).
#include "eigen/schur/aed_body.h"
#include "env/tuning.h"

namespace qiv {

namespace {

struct MultishiftWindow {
    // ZLAQR4's own workspace answer for the window (1 up to order 15).
    static int workspace(const int* jw, zcomplex* t, const int* ldt, zcomplex* sh, zcomplex* v,
                         const int* ldv, zcomplex* work) {
        const int yes = 1, ione = 1, query = -1;
        int infqr = 0;
        ZLAQR4(&yes, &yes, jw, &ione, jw, t, ldt, sh, &ione, jw, v, ldv, work, &query, &infqr);
        return static_cast<int>(work[0].re);
    }
    static void schur(const int* jw, zcomplex* t, const int* ldt, zcomplex* sh, zcomplex* v,
                      const int* ldv, zcomplex* work, const int* lwork, int* infqr) {
        const int yes = 1, ione = 1;
        // The crossover as the tuning query gives it, without the floor of
        // 15 that the drivers put under it.
        const int nmin = ilaenv(12, "ZLAQR3", "SV", *jw, 1, *jw, *lwork);
        if (*jw > nmin)
            ZLAQR4(&yes, &yes, jw, &ione, jw, t, ldt, sh, &ione, jw, v, ldv, work, lwork, infqr);
        else
            ZLAHQR(&yes, &yes, jw, &ione, jw, t, ldt, sh, &ione, jw, v, ldv, infqr);
    }
};

}  // namespace

void ZLAQR3(const int* wantt, const int* wantz, const int* n, const int* ktop, const int* kbot,
            const int* nw, zcomplex* h, const int* ldh, const int* iloz, const int* ihiz,
            zcomplex* z, const int* ldz, int* ns, int* nd, zcomplex* sh, zcomplex* v,
            const int* ldv, const int* nh, zcomplex* t, const int* ldt, const int* nv, zcomplex* wv,
            const int* ldwv, zcomplex* work, const int* lwork) {
    aggressive_early_deflation<MultishiftWindow>(wantt, wantz, n, ktop, kbot, nw, h, ldh, iloz,
                                                 ihiz, z, ldz, ns, nd, sh, v, ldv, nh, t, ldt, nv,
                                                 wv, ldwv, work, lwork);
}

}  // namespace qiv
