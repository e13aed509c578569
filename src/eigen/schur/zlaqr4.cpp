// ZLAQR4: the multishift QR algorithm one level down, used by ZLAQR3 for
// large deflation windows and by ZLAQR0 for extra shifts. Deflation windows
// go to ZLAQR2 and extra shifts always come from ZLAHQR, so it never calls
// ZLAQR3, ZLAQR0 or itself. The body is shared with ZLAQR0
// (multishift_body.h).
#include "eigen/schur/multishift_body.h"

namespace qiv {

namespace {

struct NestedDriver {
    static constexpr char name[7] = "ZLAQR4";

    static void deflate(const int* wantt, const int* wantz, const int* n, const int* ktop,
                        const int* kbot, const int* nw, zcomplex* h, const int* ldh,
                        const int* iloz, const int* ihiz, zcomplex* z, const int* ldz, int* ns,
                        int* nd, zcomplex* sh, zcomplex* v, const int* ldv, const int* nh,
                        zcomplex* t, const int* ldt, const int* nv, zcomplex* wv, const int* ldwv,
                        zcomplex* work, const int* lwork) {
        ZLAQR2(wantt, wantz, n, ktop, kbot, nw, h, ldh, iloz, ihiz, z, ldz, ns, nd, sh, v, ldv, nh,
               t, ldt, nv, wv, ldwv, work, lwork);
    }

    static void block_eigenvalues(const int* ns, int, zcomplex* b, const int* ldb, zcomplex* wb,
                                  zcomplex*, const int*, int* inf) {
        const int no = 0, ione = 1;
        zcomplex zdum[1];
        ZLAHQR(&no, &no, ns, &ione, ns, b, ldb, wb, &ione, &ione, zdum, &ione, inf);
    }
};

}  // namespace

void ZLAQR4(const int* wantt, const int* wantz, const int* n, const int* ilo, const int* ihi,
            zcomplex* h, const int* ldh, zcomplex* w, const int* iloz, const int* ihiz, zcomplex* z,
            const int* ldz, zcomplex* work, const int* lwork, int* info) {
    multishift_qr<NestedDriver>(wantt, wantz, n, ilo, ihi, h, ldh, w, iloz, ihiz, z, ldz, work,
                                lwork, info);
}

}  // namespace qiv
