// Helpers shared by the Schur-form and eigenvalue tests: random Hessenberg
// matrices, the checks of a computed Schur factorisation, matrices with a
// prescribed spectrum, and a measure of eigenvalue errors.
//
// Matrices are hhtest::Mat (column-major, 1-based access); products and
// norms come from tests/support/hh_support.h, so everything here is computed
// with the tests' own plain loops except the Hessenberg reduction, which uses
// the library's ZGEHRD and ZUNGHR (themselves tested elsewhere).
#pragma once

#include <cstdint>
#include <vector>

#include "support/hh_support.h"

namespace eigtest {

using hhtest::kEps;  // 2^-52
using hhtest::Mat;
using qiv::zcomplex;

// ---------------------------------------------------------------------------
// Random Hessenberg input

// An N-by-N upper Hessenberg matrix with entries uniform in [-1, 1) (both
// parts) on and above the subdiagonal and exact zeros below it. The
// subdiagonal entries H(i+1, i) with i < ILO or i >= IHI are zero, so that
// rows and columns ILO..IHI form an isolated block and the matrix is upper
// triangular outside it, as balancing leaves it (ihi = 0 means N). With
// real_subdiagonal the subdiagonal of the block has zero imaginary parts.
Mat random_hessenberg(int n, std::uint64_t seed, int ilo = 1, int ihi = 0,
                      bool real_subdiagonal = false);

// ---------------------------------------------------------------------------
// Schur checks

// Measures of a Schur factorisation Z^H*H0*Z = T of the original matrix H0,
// with eigenvalues w (w[i-1] for position i).
struct SchurCheck {
    double residual = 0;         // ||Z^H*H0*Z - T||_1 / (||H0||_1 * N * eps)
    double orthogonality = 0;    // ||Z^H*Z - I||_1 / (N * eps)
    bool triangular = false;     // T(i, j) is exactly zero for ILO <= j < i <= IHI
    bool diagonal_is_w = false;  // T(i, i) and w[i-1] agree bitwise for i in ILO..IHI
};
SchurCheck check_schur(const Mat& h0, const Mat& t, const Mat& z, const std::vector<zcomplex>& w,
                       int ilo = 1, int ihi = 0);

// True when T(i, j) is exactly zero for ILO <= j < i <= IHI (ihi = 0: N).
bool lower_part_zero(const Mat& t, int ilo = 1, int ihi = 0);

// ---------------------------------------------------------------------------
// Prescribed spectra

enum class Spectrum {
    distinct,   // random points in the unit square
    clustered,  // groups of four eigenvalues within 1e-6 of each other
    repeated,   // three values, each repeated (semisimple: D is diagonal)
    graded      // magnitudes from 1 down to 1e-15, random phases
};
std::vector<zcomplex> make_spectrum(Spectrum kind, int n, std::uint64_t seed);

// A matrix with known eigenvalues `eig` and an estimate of their condition.
struct Known {
    Mat a;
    std::vector<zcomplex> eig;
    double cond = 1;  // bound on the eigenvector-basis condition number
};

// Q*D*Q^H with D = diag(eig) and Q a product of N random reflectors: a normal
// matrix, every eigenvalue perfectly conditioned (cond = 1).
Known normal_with_spectrum(const std::vector<zcomplex>& eig, std::uint64_t seed);

// Q*S*D*S^-1*Q^H with S unit lower triangular (random entries below the
// diagonal scaled by `coupling`), its inverse formed explicitly by forward
// substitution, and Q as above. cond = ||S||_1 * ||S^-1||_1 (the unitary Q
// changes nothing there).
Known similar_with_spectrum(const std::vector<zcomplex>& eig, std::uint64_t seed,
                            double coupling = 0.5);

// The library's Hessenberg reduction A = Q*H*Q^H (ZGEHRD, then ZUNGHR), with
// H cleared below its first subdiagonal. Fails the calling test (gtest) on a
// non-zero INFO.
struct Hessenberg {
    Mat h, q;
};
Hessenberg to_hessenberg(const Mat& a);

// Matches computed eigenvalues to prescribed ones (repeatedly pairing the
// closest remaining pair) and returns the largest distance divided by
// N * eps * max(norm_a, tiny) * cond. Returns +infinity if the counts differ
// and NaN if a computed value is NaN.
double eigenvalue_error(const std::vector<zcomplex>& computed,
                        const std::vector<zcomplex>& prescribed, double norm_a, double cond);

// ---------------------------------------------------------------------------
// The driver

struct GeevResult {
    std::vector<zcomplex> w, vl, vr, a;
    int info = -99;
    int lwork_opt = 0;
};

// Runs ZGEEV on a copy of a (order n, leading dimension n) after a workspace
// query. lwork 0 means the optimal length. Expects (gtest) that the query
// succeeds and that WORK(1) gives the optimal length after the call.
GeevResult geev(const std::vector<zcomplex>& a, int n, bool left, bool right, int lwork = 0);

}  // namespace eigtest
