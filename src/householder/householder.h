// Elementary reflectors H = I - tau*v*v^H (v(1) = 1, implicit), block
// reflectors I - V*T*V^H, the reduction of a general matrix to upper
// Hessenberg form, and forming or applying the unitary factor Q that such a
// reduction (or a QR-type factorisation) leaves behind as reflectors.
#pragma once

#include "frame/types.h"

namespace qiv {

// Reflectors. No argument checks; callers pass legal arguments.
void ZLARFG(const int* n, zcomplex* alpha, zcomplex* x, const int* incx, zcomplex* tau);
void ZLARF1F(const char* side, const int* m, const int* n, const zcomplex* v, const int* incv,
             const zcomplex* tau, zcomplex* c, const int* ldc, zcomplex* work);
void ZLARFT(const char* direct, const char* storev, const int* n, const int* k, const zcomplex* v,
            const int* ldv, const zcomplex* tau, zcomplex* t, const int* ldt);
void ZLARFB(const char* side, const char* trans, const char* direct, const char* storev,
            const int* m, const int* n, const int* k, const zcomplex* v, const int* ldv,
            const zcomplex* t, const int* ldt, zcomplex* c, const int* ldc, zcomplex* work,
            const int* ldwork);

// Hessenberg reduction Q^H*A*Q = H. ZGEHRD and ZGEHD2 check their arguments.
void ZGEHRD(const int* n, const int* ilo, const int* ihi, zcomplex* a, const int* lda,
            zcomplex* tau, zcomplex* work, const int* lwork, int* info);
void ZGEHD2(const int* n, const int* ilo, const int* ihi, zcomplex* a, const int* lda,
            zcomplex* tau, zcomplex* work, int* info);
void ZLAHR2(const int* n, const int* k, const int* nb, zcomplex* a, const int* lda, zcomplex* tau,
            zcomplex* t, const int* ldt, zcomplex* y, const int* ldy);

// Forming Q explicitly. All check their arguments.
void ZUNG2R(const int* m, const int* n, const int* k, zcomplex* a, const int* lda,
            const zcomplex* tau, zcomplex* work, int* info);
void ZUNGQR(const int* m, const int* n, const int* k, zcomplex* a, const int* lda,
            const zcomplex* tau, zcomplex* work, const int* lwork, int* info);
void ZUNGHR(const int* n, const int* ilo, const int* ihi, zcomplex* a, const int* lda,
            const zcomplex* tau, zcomplex* work, const int* lwork, int* info);

// Applying Q or Q^H from either side. All check their arguments; A is only read.
void ZUNM2R(const char* side, const char* trans, const int* m, const int* n, const int* k,
            const zcomplex* a, const int* lda, const zcomplex* tau, zcomplex* c, const int* ldc,
            zcomplex* work, int* info);
void ZUNMQR(const char* side, const char* trans, const int* m, const int* n, const int* k,
            const zcomplex* a, const int* lda, const zcomplex* tau, zcomplex* c, const int* ldc,
            zcomplex* work, const int* lwork, int* info);
void ZUNMHR(const char* side, const char* trans, const int* m, const int* n, const int* ilo,
            const int* ihi, const zcomplex* a, const int* lda, const zcomplex* tau, zcomplex* c,
            const int* ldc, zcomplex* work, const int* lwork, int* info);

}  // namespace qiv
