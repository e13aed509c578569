// Machine constants of binary64, NaN tests and careful scalar arithmetic.
#pragma once

#include <cmath>

#include "frame/types.h"

namespace qiv {

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

}  // namespace qiv
