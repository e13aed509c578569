// Plain-loop versions of ZGEMV, ZGERC, ZTRMV and ZTRSV: the definition of their
// results, bit for bit. The tests compare every fast path against them and the
// benchmarks use them as the yardstick for speed-ups. Arguments by address
// exactly as the library routines take them, already valid (no argument
// checks here).
#pragma once

#include <cstddef>

#include "frame/types.h"
#include "kernels/vector.h"

namespace qivoracle {

using qiv::zcomplex;

// Positions of a vector of length len with increment inc (non-zero): logical
// element i, counted from 1, lies at offset pos(i). A negative increment
// stores the vector backwards, its first element at the highest offset.
struct Walk {
    std::ptrdiff_t start, inc;
    std::ptrdiff_t pos(int i) const { return start + static_cast<std::ptrdiff_t>(i - 1) * inc; }
};
inline Walk walk(int len, int inc) { return Walk{qiv::walk_start(len, inc), inc}; }

void zgemv_plain(const char* trans, const int* m, const int* n, const zcomplex* alpha,
                 const zcomplex* a, const int* lda, const zcomplex* x, const int* incx,
                 const zcomplex* beta, zcomplex* y, const int* incy);
void zgerc_plain(const int* m, const int* n, const zcomplex* alpha, const zcomplex* x,
                 const int* incx, const zcomplex* y, const int* incy, zcomplex* a, const int* lda);
void ztrmv_plain(const char* uplo, const char* trans, const char* diag, const int* n,
                 const zcomplex* a, const int* lda, zcomplex* x, const int* incx);
void ztrsv_plain(const char* uplo, const char* trans, const char* diag, const int* n,
                 const zcomplex* a, const int* lda, zcomplex* x, const int* incx);

}  // namespace qivoracle
