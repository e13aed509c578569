// ZLAQR1: a scaled first column of (H - s1*I)(H - s2*I) for a 2-by-2 or
// 3-by-3 Hessenberg matrix H. The multishift sweep uses it to start a bulge
// from a pair of shifts. The column is divided through by the size of the
// first column of H - s2*I, which keeps it clear of overflow and underflow;
// only its direction matters to the caller.
#include "eigen/eigen.h"
#include "env/machine.h"
#include "frame/complex.h"

namespace qiv {

namespace {

inline double cabs1(zcomplex z) { return DCABS1(&z); }

// A complex number divided by a real one, part by part.
inline zcomplex div_real(zcomplex a, double d) { return zcomplex{a.re / d, a.im / d}; }

}  // namespace

void ZLAQR1(const int* n, const zcomplex* h, const int* ldh, const zcomplex* s1, const zcomplex* s2,
            zcomplex* v) {
    const int N = *n, LDH = *ldh;
    if (N != 2 && N != 3) return;
    const auto H = [h, LDH](int i, int j) { return h[at(i, j, LDH)]; };
    const zcomplex S1 = *s1, S2 = *s2;
    const zcomplex zero = zc(0.0, 0.0);
    const zcomplex h11s2 = H(1, 1) - S2;

    if (N == 2) {
        const double s = cabs1(h11s2) + cabs1(H(2, 1));
        if (s == 0.0) {
            v[0] = zero;
            v[1] = zero;
            return;
        }
        const zcomplex h21s = div_real(H(2, 1), s);
        v[0] = h21s * H(1, 2) + (H(1, 1) - S1) * div_real(h11s2, s);
        v[1] = h21s * (H(1, 1) + H(2, 2) - S1 - S2);
        return;
    }

    const double s = cabs1(h11s2) + cabs1(H(2, 1)) + cabs1(H(3, 1));
    if (s == 0.0) {
        v[0] = zero;
        v[1] = zero;
        v[2] = zero;
        return;
    }
    const zcomplex h21s = div_real(H(2, 1), s);
    const zcomplex h31s = div_real(H(3, 1), s);
    v[0] = (H(1, 1) - S1) * div_real(h11s2, s) + H(1, 2) * h21s + H(1, 3) * h31s;
    v[1] = h21s * (H(1, 1) + H(2, 2) - S1 - S2) + H(2, 3) * h31s;
    v[2] = h31s * (H(1, 1) + H(3, 3) - S1 - S2) + h21s * H(3, 2);
}

}  // namespace qiv
