// Plain-loop versions of the eigen routines whose inner loops have fast paths:
// the definition of their results, bit for bit. Arguments as the library
// routines take them, already valid.
#pragma once

#include "frame/types.h"

namespace qivoracle {

using qiv::zcomplex;

// ZLAHQR (single-shift Hessenberg QR) with its reflectors applied by plain
// loops, one reflector after another.
void zlahqr_plain(const int* wantt, const int* wantz, const int* n, const int* ilo, const int* ihi,
                  zcomplex* h, const int* ldh, zcomplex* w, const int* iloz, const int* ihiz,
                  zcomplex* z, const int* ldz, int* info);

// ZTREXC's reordering (valid positions, no argument checks) with its rotations
// applied by plain loops, swap after swap.
void ztrexc_plain(bool wantq, int n, zcomplex* t, int ldt, zcomplex* q, int ldq, int ifst,
                  int ilst);

// ZLAQR5 (one multishift QR sweep) with its reflectors applied by plain loops.
void zlaqr5_plain(const int* wantt, const int* wantz, const int* kacc22, const int* n,
                  const int* ktop, const int* kbot, const int* nshfts, const zcomplex* s,
                  zcomplex* h, const int* ldh, const int* iloz, const int* ihiz, zcomplex* z,
                  const int* ldz, zcomplex* v, const int* ldv, zcomplex* u, const int* ldu,
                  const int* nv, zcomplex* wv, const int* ldwv, const int* nh, zcomplex* wh,
                  const int* ldwh);

}  // namespace qivoracle
