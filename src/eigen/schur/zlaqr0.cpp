// ZLAQR0: the multishift QR algorithm with aggressive early deflation, as
// called by ZHSEQR. Deflation windows go to ZLAQR3; extra shifts come from
// ZLAQR4 for blocks above the crossover and from ZLAHQR below it. The body is
// shared with ZLAQR4 (multishift_body.h).
#include "eigen/schur/multishift_body.h"

namespace qiv {

namespace {

struct TopLevelDriver {
    static constexpr char name[7] = "ZLAQR0";

    static void deflate(const int* wantt, const int* wantz, const int* n, const int* ktop,
                        const int* kbot, const int* nw, zcomplex* h, const int* ldh,
                        const int* iloz, const int* ihiz, zcomplex* z, const int* ldz, int* ns,
                        int* nd, zcomplex* sh, zcomplex* v, const int* ldv, const int* nh,
                        zcomplex* t, const int* ldt, const int* nv, zcomplex* wv, const int* ldwv,
                        zcomplex* work, const int* lwork) {
        ZLAQR3(wantt, wantz, n, ktop, kbot, nw, h, ldh, iloz, ihiz, z, ldz, ns, nd, sh, v, ldv, nh,
               t, ldt, nv, wv, ldwv, work, lwork);
    }

    static void block_eigenvalues(const int* ns, int nmin, zcomplex* b, const int* ldb,
                                  zcomplex* wb, zcomplex* work, const int* lwork, int* inf) {
        const int no = 0, ione = 1;
        zcomplex zdum[1];
        if (*ns > nmin)
            ZLAQR4(&no, &no, ns, &ione, ns, b, ldb, wb, &ione, &ione, zdum, &ione, work, lwork,
                   inf);
        else
            ZLAHQR(&no, &no, ns, &ione, ns, b, ldb, wb, &ione, &ione, zdum, &ione, inf);
    }
};

}  // namespace

void ZLAQR0(const int* wantt, const int* wantz, const int* n, const int* ilo, const int* ihi,
            zcomplex* h, const int* ldh, zcomplex* w, const int* iloz, const int* ihiz, zcomplex* z,
            const int* ldz, zcomplex* work, const int* lwork, int* info) {
    multishift_qr<TopLevelDriver>(wantt, wantz, n, ilo, ihi, h, ldh, w, iloz, ihiz, z, ldz, work,
                                  lwork, info);
}

}  // namespace qiv
