// Complex arithmetic on zcomplex exactly as the library defines it: the textbook
// product with all four real products formed, no special treatment of
// infinities or NaNs, and "zero"/"one" tested part by part.
#pragma once

#include <cmath>

#include "frame/types.h"

namespace qiv {

inline zcomplex zc(double re, double im = 0.0) { return zcomplex{re, im}; }

inline zcomplex operator+(zcomplex a, zcomplex b) { return zcomplex{a.re + b.re, a.im + b.im}; }
inline zcomplex operator-(zcomplex a, zcomplex b) { return zcomplex{a.re - b.re, a.im - b.im}; }
inline zcomplex operator-(zcomplex a) { return zcomplex{-a.re, -a.im}; }

// (ar + i ai)(br + i bi) = (ar br - ai bi) + i (ar bi + ai br).
inline zcomplex operator*(zcomplex a, zcomplex b) {
    return zcomplex{a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}

// Real scalar times complex, both parts multiplied separately (no zero products).
inline zcomplex scale(double d, zcomplex a) { return zcomplex{d * a.re, d * a.im}; }

// Conjugate: flips the sign bit of the imaginary part.
inline zcomplex conj(zcomplex a) { return zcomplex{a.re, -a.im}; }

// Zero when both parts compare equal to 0.0 (-0.0 counts, NaN does not).
inline bool is_zero(zcomplex a) { return a.re == 0.0 && a.im == 0.0; }

// One when the value is exactly 1 + 0i.
inline bool is_one(zcomplex a) { return a.re == 1.0 && a.im == 0.0; }

// The plain complex quotient a / d (no recovery of infinities or NaNs).
inline zcomplex operator/(zcomplex a, zcomplex d) {
    const double c = d.re;
    const double e = d.im;
    if (std::fabs(e) > std::fabs(c)) {
        const double r = c / e;
        const double den = e + c * r;
        return zcomplex{(a.re * r + a.im) / den, (a.im * r - a.re) / den};
    }
    const double r = e / c;
    const double den = c + e * r;
    return zcomplex{(a.re + a.im * r) / den, (a.im - a.re * r) / den};
}

}  // namespace qiv
