// Residual measures for the LU tests, computed with the tests' own loops.
#pragma once

#include <vector>

#include "frame/types.h"

namespace qivtest {

using qiv::zcomplex;

// ||P*A - L*U||_1 / (||A||_1 * max(M, N) * eps) for factors in f (as returned
// by the factorisation of the M-by-N matrix a) and pivots ipiv.
double lu_backward_error(const std::vector<zcomplex>& a, const std::vector<zcomplex>& f,
                         const std::vector<int>& ipiv, int m, int n, int lda);

// ||op(A)*X - B||_1 / (||A||_1 * ||X||_1 * N * eps), op by trans 'N', 'T', 'C'.
double solve_residual(char trans, const std::vector<zcomplex>& a, int n, int lda,
                      const std::vector<zcomplex>& x, const std::vector<zcomplex>& b, int nrhs,
                      int ldb);

}  // namespace qivtest
