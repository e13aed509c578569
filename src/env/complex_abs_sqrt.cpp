// Complex modulus and principal square root from IEEE basic operations and
// the correctly rounded square root only. The C libraries' hypot and csqrt
// differ in the last bit between platforms; these give the same bits
// everywhere.
#include <cmath>

#include "env/machine.h"

namespace qiv {

namespace {

constexpr double two_p600 = 0x1p600;
constexpr double two_m600 = 0x1p-600;

// Exact product a*b = hi + lo by Dekker's splitting (no fused multiply-add).
// Valid while a and b are well inside the exponent range.
void two_product(double a, double b, double& hi, double& lo) {
    constexpr double splitter = 134217729.0;  // 2^27 + 1
    const double ca = splitter * a;
    const double ah = ca - (ca - a);
    const double al = a - ah;
    const double cb = splitter * b;
    const double bh = cb - (cb - b);
    const double bl = b - bh;
    hi = a * b;
    lo = ((ah * bh - hi) + ah * bl + al * bh) + al * bl;
}

}  // namespace

double hypot_exact(double x, double y) {
    double ax = std::fabs(x);
    double ay = std::fabs(y);
    if (std::isinf(ax) || std::isinf(ay)) return HUGE_VAL;
    if (std::isnan(ax) || std::isnan(ay)) return ax + ay;
    if (ax < ay) {
        const double t = ax;
        ax = ay;
        ay = t;
    }
    if (ay == 0.0) return ax;
    // Below this ratio ay^2 is under half an ulp of ax^2 and the result is ax.
    if (ay < ax * 0x1p-27) return ax;

    // Bring ax into [2^-500, 2^500] by a power of two so the squares neither
    // overflow nor underflow (ay is within 2^27 of ax).
    double s = 1.0;
    if (ax > 0x1p500) {
        ax *= two_m600;
        ay *= two_m600;
        s = two_p600;
    } else if (ax < 0x1p-500) {
        ax *= two_p600;
        ay *= two_p600;
        s = two_m600;
    }

    double h = std::sqrt(ax * ax + ay * ay);
    // One Newton correction with the exact residual ax^2 + ay^2 - h^2 makes the
    // result correctly rounded in all but extremely rare ties.
    double xh, xl, yh, yl, hh, hl;
    two_product(ax, ax, xh, xl);
    two_product(ay, ay, yh, yl);
    two_product(h, h, hh, hl);
    const double residual = ((xh - hh) + yh) + ((xl + yl) - hl);
    h = h + residual / (2.0 * h);
    return h * s;
}

double zabs(zcomplex z) { return hypot_exact(z.re, z.im); }

zcomplex zsqrt(zcomplex z) {
    const double x = z.re;
    const double y = z.im;
    if (std::isinf(y)) return zcomplex{HUGE_VAL, y};
    if (std::isnan(x)) return zcomplex{x, x};
    if (std::isinf(x)) {
        if (std::isnan(y)) {
            if (x > 0) return zcomplex{x, y};
            return zcomplex{y, std::copysign(HUGE_VAL, y)};
        }
        if (x > 0) return zcomplex{x, std::copysign(0.0, y)};
        return zcomplex{0.0, std::copysign(HUGE_VAL, y)};
    }
    if (std::isnan(y)) return zcomplex{y, y};

    if (y == 0.0) {
        if (x >= 0.0) return zcomplex{std::sqrt(x) + 0.0, y};  // +0.0 turns -0 into +0
        return zcomplex{0.0, std::copysign(std::sqrt(-x), y)};
    }

    // Scale by an even power of two so that ax + |z| cannot overflow and tiny
    // operands keep their precision; sqrt halves the exponent of the scale.
    double ax = std::fabs(x);
    double ay = std::fabs(y);
    double unscale = 1.0;
    const double big = ax > ay ? ax : ay;
    if (big >= 0x1p1000) {
        ax *= 0.25;
        ay *= 0.25;
        unscale = 2.0;
    } else if (big < 0x1p-1000) {
        ax *= two_p600;
        ay *= two_p600;
        unscale = 0x1p-300;
    }
    if (ax == 0.0) {
        // Purely imaginary: both parts are sqrt(|y|/2), correctly rounded and
        // equal (|y|/2 is exact after the scaling above).
        const double r = std::sqrt(0.5 * ay) * unscale;
        return zcomplex{r, std::copysign(r, y)};
    }
    const double t = std::sqrt(0.5 * (ax + hypot_exact(ax, ay)));
    const double u = ay / (2.0 * t);
    if (x >= 0.0) return zcomplex{t * unscale, std::copysign(u * unscale, y)};
    return zcomplex{u * unscale, std::copysign(t * unscale, y)};
}

}  // namespace qiv
