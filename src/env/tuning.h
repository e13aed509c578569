// Tuning queries: block sizes, crossover points and QR parameters.
#pragma once

#include "frame/types.h"

namespace qiv {

// General tuning query (codes 1 to 17). name is read up to name_len
// characters; opts is never read.
int ILAENV(const int* ispec, const char* name, const char* opts, const int* n1, const int* n2,
           const int* n3, const int* n4, charlen name_len, charlen opts_len);

// Self-test of binary32 infinity (ispec = 0) and NaN arithmetic; 1 on success.
int IEEECK(const int* ispec, const float* zero, const float* one);

// Parameters of the multishift Hessenberg QR (codes 12 to 17).
int IPARMQ(const int* ispec, const char* name, const char* opts, const int* n, const int* ilo,
           const int* ihi, const int* lwork, charlen name_len, charlen opts_len);

// Convenience for callers inside the library: a string literal name and
// by-value dimensions, forwarded to ILAENV with the literal's true length.
template <std::size_t L, std::size_t K>
inline int ilaenv(int ispec, const char (&name)[L], const char (&opts)[K], int n1, int n2, int n3,
                  int n4) {
    return ILAENV(&ispec, name, opts, &n1, &n2, &n3, &n4, L - 1, K - 1);
}

}  // namespace qiv
