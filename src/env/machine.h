// Machine constants of binary64, NaN tests and careful scalar arithmetic.
#pragma once

#include <cfloat>
#include <cmath>

#include "frame/types.h"

namespace qiv {

// The constants DLAMCH returns, for code that knows which one it wants: no
// letter to compare on every call.
constexpr double mach_eps = DBL_EPSILON * 0.5;  // "E": rounding unit 2^-53
constexpr double mach_sfmin = DBL_MIN;          // "S", "U": 2^-1022
constexpr double mach_prec = DBL_EPSILON;       // "P": eps * base, 2^-52
constexpr double mach_ovfl = DBL_MAX;           // "O": largest finite value

// The binary64 constant named by the first letter of cmach (E S B P N R M U L
// O, either case); 0.0 for any other letter.
double DLAMCH(const char* cmach, charlen len = 1);

// True exactly for a NaN.
bool DISNAN(const double* din);

// True when din1 and din2 do not compare equal (unordered counts as unequal).
bool DLAISNAN(const double* din1, const double* din2);

// sqrt(x^2 + y^2 + z^2) without avoidable overflow.
double DLAPY3(const double* x, const double* y, const double* z);

// p + iq = (a + ib) / (c + id), scaled against overflow and underflow.
void DLADIV(const double* a, const double* b, const double* c, const double* d, double* p,
            double* q);
void DLADIV1(double* a, const double* b, const double* c, const double* d, double* p, double* q);
double DLADIV2(const double* a, const double* b, const double* c, const double* d, const double* r,
               const double* t);

// x / y by DLADIV.
zcomplex ZLADIV(const zcomplex* x, const zcomplex* y);

// |Re z| + |Im z|: the cheap magnitude used for comparisons.
inline double DCABS1(const zcomplex* z) { return std::fabs(z->re) + std::fabs(z->im); }

// The larger of two absolute values u then v, a NaN u replaced by v.
inline double max_nan_second(double u, double v) { return (v > u || u != u) ? v : u; }

// The smaller of u then v, a NaN u replaced by v (a NaN v is dropped unless u
// is NaN too): the minimum that goes with max_nan_second.
inline double min_nan_second(double u, double v) { return (v < u || u != u) ? v : u; }

// Complex modulus: hypot(Re z, Im z) from IEEE basic operations and the
// correctly rounded square root, so every platform gives the same bits.
double zabs(zcomplex z);

// Real hypot(x, y) used by zabs.
double hypot_exact(double x, double y);

// Principal complex square root, built like zabs from basic operations.
zcomplex zsqrt(zcomplex z);

// The bodies of DLAPY3 and DLADIV on values, inline for the callers that run
// them once per reflector; the routines above call these.

inline double dlapy3(double x, double y, double z) {
    const double xabs = std::fabs(x);
    const double yabs = std::fabs(y);
    const double zabs = std::fabs(z);
    double wmax = max_nan_second(xabs, yabs);
    wmax = max_nan_second(wmax, zabs);
    // A zero or infinite maximum: the plain sum keeps any NaN the maximum dropped.
    if (wmax == 0.0 || wmax > mach_ovfl) return (xabs + yabs) + zabs;
    const double a = xabs / wmax;
    const double b = yabs / wmax;
    const double c = zabs / wmax;
    return wmax * std::sqrt((a * a + b * b) + c * c);
}

inline double dladiv2(double a, double b, double c, double d, double r, double t) {
    if (r == 0.0) return ((b / c) * d + a) * t;
    const double br = r * b;
    if (br != 0.0) return (br + a) * t;
    return a * t + r * (b * t);  // br underflowed to zero
}

// DLADIV1 without its side effect on a (the caller's copy is negated there).
inline void dladiv1(double a, double b, double c, double d, double& p, double& q) {
    const double r = d / c;
    const double t = 1.0 / (d * r + c);
    p = dladiv2(a, b, c, d, r, t);
    q = dladiv2(b, -a, c, d, r, t);
}

inline void dladiv(double a, double b, double c, double d, double& p, double& q) {
    double aa = a, bb = b, cc = c, dd = d;
    const double ab = max_nan_second(std::fabs(a), std::fabs(b));
    const double cd = max_nan_second(std::fabs(c), std::fabs(d));
    double s = 1.0;

    constexpr double be = 2.0 / (mach_eps * mach_eps);
    constexpr double small = (mach_sfmin + mach_sfmin) / mach_eps;
    constexpr double big = 0.5 * mach_ovfl;

    if (ab >= big) {
        aa = 0.5 * aa;
        bb = 0.5 * bb;
        s = 2.0 * s;
    }
    if (cd >= big) {
        cc = 0.5 * cc;
        dd = 0.5 * dd;
        s = 0.5 * s;
    }
    if (ab <= small) {
        aa = aa * be;
        bb = bb * be;
        s = s / be;
    }
    if (cd <= small) {
        cc = cc * be;
        dd = dd * be;
        s = s * be;
    }
    if (std::fabs(c) >= std::fabs(d)) {
        dladiv1(aa, bb, cc, dd, p, q);
    } else {
        dladiv1(bb, aa, dd, cc, p, q);
        q = -q;
    }
    p = p * s;
    q = q * s;
}

inline zcomplex zladiv(zcomplex x, zcomplex y) {
    double p, q;
    dladiv(x.re, x.im, y.re, y.im, p, q);
    return zcomplex{p, q};
}

}  // namespace qiv
