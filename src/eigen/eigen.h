// The nonsymmetric eigensolver: balancing, the Hessenberg QR algorithm in its
// small-matrix, multishift and aggressive-early-deflation forms, eigenvectors
// of the triangular Schur factor with an overflow-safe triangular solve, and
// the eigen driver ZGEEV.
//
// Logical arguments are 32-bit integers: 0 is false, anything else true.
// Character arguments are option letters; only the first character is read.
#pragma once

#include "frame/types.h"

namespace qiv {

// Balancing (permutation and power-of-two scaling) and its inverse on
// eigenvectors. Both check their arguments; ZGEBAL also reports a NaN met
// while scaling as an illegal argument 3.
void ZGEBAL(const char* job, const int* n, zcomplex* a, const int* lda, int* ilo, int* ihi,
            double* scale, int* info);
void ZGEBAK(const char* job, const char* side, const int* n, const int* ilo, const int* ihi,
            const double* scale, const int* m, zcomplex* v, const int* ldv, int* info);

// Single-shift QR on a small Hessenberg matrix. No argument checks.
void ZLAHQR(const int* wantt, const int* wantz, const int* n, const int* ilo, const int* ihi,
            zcomplex* h, const int* ldh, zcomplex* w, const int* iloz, const int* ihiz, zcomplex* z,
            const int* ldz, int* info);

// First column of (H - s1*I)(H - s2*I), scaled, for N = 2 or 3.
void ZLAQR1(const int* n, const zcomplex* h, const int* ldh, const zcomplex* s1, const zcomplex* s2,
            zcomplex* v);

// One multishift QR sweep with a tightly packed chain of bulges. No checks.
void ZLAQR5(const int* wantt, const int* wantz, const int* kacc22, const int* n, const int* ktop,
            const int* kbot, const int* nshfts, const zcomplex* s, zcomplex* h, const int* ldh,
            const int* iloz, const int* ihiz, zcomplex* z, const int* ldz, zcomplex* v,
            const int* ldv, zcomplex* u, const int* ldu, const int* nv, zcomplex* wv,
            const int* ldwv, const int* nh, zcomplex* wh, const int* ldwh);

// Aggressive early deflation on a trailing window. ZLAQR2 finds the window's
// Schur form with ZLAHQR, ZLAQR3 with ZLAQR4 for large windows. No checks.
void ZLAQR2(const int* wantt, const int* wantz, const int* n, const int* ktop, const int* kbot,
            const int* nw, zcomplex* h, const int* ldh, const int* iloz, const int* ihiz,
            zcomplex* z, const int* ldz, int* ns, int* nd, zcomplex* sh, zcomplex* v,
            const int* ldv, const int* nh, zcomplex* t, const int* ldt, const int* nv, zcomplex* wv,
            const int* ldwv, zcomplex* work, const int* lwork);
void ZLAQR3(const int* wantt, const int* wantz, const int* n, const int* ktop, const int* kbot,
            const int* nw, zcomplex* h, const int* ldh, const int* iloz, const int* ihiz,
            zcomplex* z, const int* ldz, int* ns, int* nd, zcomplex* sh, zcomplex* v,
            const int* ldv, const int* nh, zcomplex* t, const int* ldt, const int* nv, zcomplex* wv,
            const int* ldwv, zcomplex* work, const int* lwork);

// Reordering of a complex Schur form (checks its arguments), and the plane
// rotation it is built from.
void ZTREXC(const char* compq, const int* n, zcomplex* t, const int* ldt, zcomplex* q,
            const int* ldq, const int* ifst, const int* ilst, int* info);
void ZLARTG(const zcomplex* f, const zcomplex* g, double* c, zcomplex* s, zcomplex* r);

// Hessenberg QR drivers. ZHSEQR checks its arguments; ZLAQR0 (multishift QR
// with aggressive early deflation through ZLAQR3) and its twin one level down,
// ZLAQR4 (through ZLAQR2), do not.
void ZHSEQR(const char* job, const char* compz, const int* n, const int* ilo, const int* ihi,
            zcomplex* h, const int* ldh, zcomplex* w, zcomplex* z, const int* ldz, zcomplex* work,
            const int* lwork, int* info);
void ZLAQR0(const int* wantt, const int* wantz, const int* n, const int* ilo, const int* ihi,
            zcomplex* h, const int* ldh, zcomplex* w, const int* iloz, const int* ihiz, zcomplex* z,
            const int* ldz, zcomplex* work, const int* lwork, int* info);
void ZLAQR4(const int* wantt, const int* wantz, const int* n, const int* ilo, const int* ihi,
            zcomplex* h, const int* ldh, zcomplex* w, const int* iloz, const int* ihiz, zcomplex* z,
            const int* ldz, zcomplex* work, const int* lwork, int* info);

// Triangular solve with scaling against overflow. Checks its arguments.
void ZLATRS(const char* uplo, const char* trans, const char* diag, const char* normin, const int* n,
            const zcomplex* a, const int* lda, zcomplex* x, double* scale, double* cnorm,
            int* info);

// Eigenvectors of an upper triangular matrix, optionally back-transformed by
// the Schur vectors in VL/VR. Checks its arguments.
void ZTREVC3(const char* side, const char* howmny, const int* select, const int* n, zcomplex* t,
             const int* ldt, zcomplex* vl, const int* ldvl, zcomplex* vr, const int* ldvr,
             const int* mm, int* m, zcomplex* work, const int* lwork, double* rwork,
             const int* lrwork, int* info);

// Eigenvalues and, on request, normalised left and right eigenvectors of a
// general matrix. Checks its arguments.
void ZGEEV(const char* jobvl, const char* jobvr, const int* n, zcomplex* a, const int* lda,
           zcomplex* w, zcomplex* vl, const int* ldvl, zcomplex* vr, const int* ldvr,
           zcomplex* work, const int* lwork, double* rwork, int* info);

}  // namespace qiv
