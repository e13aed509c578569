// Basic types of the calling convention shared by every routine of the library.
#pragma once

#include <cstddef>
#include <cstdint>

#include "qivlapackdll2.h"

namespace qiv {

// A complex binary64 element: real part, then imaginary part (16 bytes). The
// same layout as the public qivlapackdll2_complex; it lives in this namespace so
// that the arithmetic operators of frame/complex.h are found by argument-
// dependent lookup everywhere.
struct zcomplex {
    double re;
    double im;
};
static_assert(sizeof(zcomplex) == sizeof(::qivlapackdll2_complex), "layout");
static_assert(alignof(zcomplex) == alignof(double), "alignment");

// The exports receive the public element type; both have the same layout.
inline zcomplex* internal(::qivlapackdll2_complex* p) { return reinterpret_cast<zcomplex*>(p); }

// Length of a character argument, passed by value after the explicit arguments.
using charlen = std::uint64_t;

// Offset of element (i, j), both counted from 1, in a column-major array with
// leading dimension ld. Formed in 64-bit arithmetic: i*ld may exceed 32 bits.
inline std::ptrdiff_t at(int i, int j, int ld) {
    return static_cast<std::ptrdiff_t>(i - 1) + static_cast<std::ptrdiff_t>(j - 1) * ld;
}

}  // namespace qiv
