// ZLARTG: the plane rotation [C, S; -conj(S), C] with real C >= 0 that maps
// (F, G) to (R, 0). Values whose squares could overflow or underflow are
// scaled by a power-of-2-bounded factor first, so the rotation is finite and
// correctly scaled for every finite F and G.
#include <algorithm>
#include <cmath>

#include "eigen/eigen.h"
#include "env/machine.h"
#include "frame/complex.h"

namespace qiv {

namespace {

constexpr double safmin = 0x1p-1022;
constexpr double safmax = 0x1p1022;  // 1 / safmin
constexpr double rtmin = 0x1p-511;   // sqrt(safmin)
constexpr double rtmax = 0x1p510;    // sqrt(safmax / 4)
// sqrt(safmax / 2) = 2^510 * sqrt(2), correctly rounded; the bound used when
// only G needs scaling.
constexpr double rtmax_g = 0x1p510 * 0x1.6a09e667f3bcdp+0;

inline double abssq(zcomplex z) { return z.re * z.re + z.im * z.im; }
inline zcomplex div_real(zcomplex z, double d) { return zcomplex{z.re / d, z.im / d}; }

// The larger of two reals; a NaN operand gives way to the other one.
inline double max_of(double u, double v) { return max_nan_second(u, v); }

// The rotation for F, G in a range where (scaled) squares neither overflow
// nor underflow; f2 = |F|^2, h2 = |F|^2 + |G|^2 as given.
void rotation(zcomplex f, zcomplex g, double f2, double h2, double* c, zcomplex* s, zcomplex* r) {
    if (f2 >= h2 * safmin) {
        *c = std::sqrt(f2 / h2);
        *r = div_real(f, *c);
        if (f2 > rtmin && h2 < 2.0 * rtmax) {
            *s = conj(g) * div_real(f, std::sqrt(f2 * h2));
        } else {
            *s = conj(g) * div_real(*r, h2);
        }
    } else {
        const double d = std::sqrt(f2 * h2);
        *c = f2 / d;
        if (*c >= safmin) {
            *r = div_real(f, *c);
        } else {
            *r = scale(h2 / d, f);
        }
        *s = conj(g) * div_real(f, d);
    }
}

}  // namespace

void ZLARTG(const zcomplex* f, const zcomplex* g, double* c, zcomplex* s, zcomplex* r) {
    const zcomplex F = *f;
    const zcomplex G = *g;

    if (is_zero(G)) {
        *c = 1.0;
        *s = zc(0.0, 0.0);
        *r = F;
        return;
    }

    if (is_zero(F)) {
        *c = 0.0;
        if (G.re == 0.0) {
            const double d = std::fabs(G.im);
            *s = div_real(conj(G), d);
            *r = zc(d, 0.0);
        } else if (G.im == 0.0) {
            const double d = std::fabs(G.re);
            *s = div_real(conj(G), d);
            *r = zc(d, 0.0);
        } else {
            const double g1 = max_of(std::fabs(G.re), std::fabs(G.im));
            if (g1 > rtmin && g1 < rtmax_g) {
                const double d = std::sqrt(abssq(G));
                *s = div_real(conj(G), d);
                *r = zc(d, 0.0);
            } else {
                // max_of drops a NaN, so the min below never sees one.
                const double u = std::min(safmax, max_of(safmin, g1));
                const zcomplex gs = div_real(G, u);
                const double d = std::sqrt(abssq(gs));
                *s = div_real(conj(gs), d);
                *r = zc(d * u, 0.0);
            }
        }
        return;
    }

    const double f1 = max_of(std::fabs(F.re), std::fabs(F.im));
    const double g1 = max_of(std::fabs(G.re), std::fabs(G.im));
    if (f1 > rtmin && f1 < rtmax && g1 > rtmin && g1 < rtmax) {
        const double f2 = abssq(F);
        const double g2 = abssq(G);
        const double h2 = f2 + g2;
        rotation(F, G, f2, h2, c, s, r);
        return;
    }

    // Scale both by u (and F separately by v when it is tiny next to G). As
    // above, max_of leaves no NaN for the min.
    const double u = std::min(safmax, max_of(max_of(safmin, f1), g1));
    const zcomplex gs = div_real(G, u);
    const double g2 = abssq(gs);
    double w;
    zcomplex fs;
    double f2, h2;
    if (f1 / u < rtmin) {
        const double v = std::min(safmax, max_of(safmin, f1));
        w = v / u;
        fs = div_real(F, v);
        f2 = abssq(fs);
        h2 = f2 * (w * w) + g2;
    } else {
        w = 1.0;
        fs = div_real(F, u);
        f2 = abssq(fs);
        h2 = f2 + g2;
    }
    rotation(fs, gs, f2, h2, c, s, r);
    *c = *c * w;
    *r = scale(u, *r);
}

}  // namespace qiv
