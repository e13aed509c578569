// ZLARF1F: applies H = I - tau*v*v^H (v(1) = 1, never read) to C from the
// left (C := H*C) or from the right (C := C*H).
//
// The work is confined to the part of C that the reflector actually meets:
// trailing zeros of v shorten the reflector, and trailing zero columns (left)
// or rows (right) of C, found by ILAZLC/ILAZLR, are skipped.
#include "frame/complex.h"
#include "frame/lsame.h"
#include "householder/householder.h"
#include "kernels/matutil.h"
#include "kernels/matvec.h"
#include "kernels/vector.h"

namespace qiv {

void ZLARF1F(const char* side, const int* m, const int* n, const zcomplex* v, const int* incv,
             const zcomplex* tau, zcomplex* c, const int* ldc, zcomplex* work) {
    const bool applyleft = LSAME(side, "L");
    if (is_zero(*tau)) return;

    const int inc = *incv;
    const int one_i = 1;
    const zcomplex one = zc(1.0, 0.0);
    const zcomplex zero = zc(0.0, 0.0);

    // Last non-zero element among v(2..lastv); element 1 is never inspected.
    int lastv = applyleft ? *m : *n;
    if (lastv > 1) {
        std::ptrdiff_t pos = static_cast<std::ptrdiff_t>(lastv - 1) * inc;
        while (lastv > 1 && is_zero(v[pos])) {
            --lastv;
            pos -= inc;
        }
    }

    const int lastc = applyleft ? ILAZLC(&lastv, n, c, ldc) : ILAZLR(m, &lastv, c, ldc);
    if (lastc == 0) return;

    const zcomplex mtau = zc(-tau->re, -tau->im);
    const zcomplex* v2 = v + inc;  // v(2)
    const int lastv1 = lastv - 1;
    const int LDC = *ldc;

    if (applyleft) {
        if (lastv == 1) {
            // H acts on row 1 alone: multiply it by 1 - tau.
            const zcomplex s = zc(1.0 - tau->re, -tau->im);
            ZSCAL(&lastc, &s, c, ldc);
            return;
        }
        // w := C(2:lastv, 1:lastc)^H * v(2:lastv) + conj(C(1, 1:lastc))
        ZGEMV("Conjugate transpose", &lastv1, &lastc, &one, c + at(2, 1, LDC), ldc, v2, incv, &zero,
              work, &one_i);
        for (int i = 1; i <= lastc; ++i) work[i - 1] = work[i - 1] + conj(c[at(1, i, LDC)]);
        // C(1, :) -= tau * w^H
        for (int i = 1; i <= lastc; ++i) {
            zcomplex& c1i = c[at(1, i, LDC)];
            c1i = c1i - *tau * conj(work[i - 1]);
        }
        // C(2:lastv, :) -= tau * v(2:lastv) * w^H
        ZGERC(&lastv1, &lastc, &mtau, v2, incv, work, &one_i, c + at(2, 1, LDC), ldc);
    } else {
        if (lastv == 1) {
            const zcomplex s = zc(1.0 - tau->re, -tau->im);
            ZSCAL(&lastc, &s, c, &one_i);
            return;
        }
        // w := C(1:lastc, 2:lastv) * v(2:lastv) + C(1:lastc, 1)
        ZGEMV("No transpose", &lastc, &lastv1, &one, c + at(1, 2, LDC), ldc, v2, incv, &zero, work,
              &one_i);
        ZAXPY(&lastc, &one, c, &one_i, work, &one_i);
        // C(:, 1) -= tau * w
        ZAXPY(&lastc, &mtau, work, &one_i, c, &one_i);
        // C(:, 2:lastv) -= tau * w * v(2:lastv)^H
        ZGERC(&lastc, &lastv1, &mtau, work, &one_i, v2, incv, c + at(1, 2, LDC), ldc);
    }
}

}  // namespace qiv
