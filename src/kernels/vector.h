// Vector kernels on strided complex (and a few real) vectors. No argument
// checks; callers pass legal arguments.
#pragma once

#include <cstddef>

#include "frame/types.h"

namespace qiv {

// 0-based offset of the first element a strided walk visits: element 1 for an
// increment of zero or more, element 1 + (n - 1)*|inc| (the far end) for a
// negative one. Formed in 64-bit arithmetic: a row walk with an increment of
// LDA passes 2^31 elements long before n does.
inline std::ptrdiff_t walk_start(int n, int inc) {
    return inc < 0 ? static_cast<std::ptrdiff_t>(1 - n) * static_cast<std::ptrdiff_t>(inc) : 0;
}

void ZAXPY(const int* n, const zcomplex* za, const zcomplex* zx, const int* incx, zcomplex* zy,
           const int* incy);
void ZCOPY(const int* n, const zcomplex* zx, const int* incx, zcomplex* zy, const int* incy);
void ZSWAP(const int* n, zcomplex* zx, const int* incx, zcomplex* zy, const int* incy);
zcomplex ZDOTC(const int* n, const zcomplex* zx, const int* incx, const zcomplex* zy,
               const int* incy);
zcomplex ZDOTU(const int* n, const zcomplex* zx, const int* incx, const zcomplex* zy,
               const int* incy);
// ZDOTC (conj) or ZDOTU of each of ncols columns of A with x, continued from
// acc: acc[c] := acc[c] + sum over i = 0 ... m-1, in that order, of
// op(A(i, c))*x(i). From acc[c] = 0 each equals the single dot product bit for
// bit; several columns are accumulated at once. x contiguous.
void zdot_columns(bool conj, int m, int ncols, const zcomplex* a, int lda, const zcomplex* x,
                  zcomplex* acc);
void ZSCAL(const int* n, const zcomplex* za, zcomplex* zx, const int* incx);
void ZDSCAL(const int* n, const double* da, zcomplex* zx, const int* incx);
void DSCAL(const int* n, const double* da, double* dx, const int* incx);
void ZLACGV(const int* n, zcomplex* x, const int* incx);
void ZROT(const int* n, zcomplex* cx, const int* incx, zcomplex* cy, const int* incy,
          const double* c, const zcomplex* s);
double DZASUM(const int* n, const zcomplex* zx, const int* incx);
int IZAMAX(const int* n, const zcomplex* zx, const int* incx);
int IDAMAX(const int* n, const double* dx, const int* incx);
double DZNRM2(const int* n, const zcomplex* x, const int* incx);

}  // namespace qiv
