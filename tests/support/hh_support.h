// Dense helpers for the reflector and Hessenberg tests: a small matrix type,
// products and norms computed with the tests' own plain loops, and random
// reflectors in every storage layout of a block reflector.
#pragma once

#include <cstdint>
#include <vector>

#include "frame/types.h"

namespace hhtest {

using qiv::zcomplex;

constexpr double kEps = 2.220446049250313e-16;  // 2^-52

// Column-major matrix, 1-based element access.
struct Mat {
    int m = 0, n = 0, ld = 1;
    std::vector<zcomplex> a;
    Mat() = default;
    Mat(int rows, int cols, int lead = 0);  // zero-filled; lead 0 means max(1, rows)
    zcomplex& operator()(int i, int j) { return a[qiv::at(i, j, ld)]; }
    const zcomplex& operator()(int i, int j) const { return a[qiv::at(i, j, ld)]; }
    zcomplex* data() { return a.data(); }
    const zcomplex* data() const { return a.data(); }
};

Mat identity(int n);
Mat random_mat(int m, int n, std::uint64_t seed, int lead = 0);
// Fills every element (padding rows included) with a quiet NaN.
void fill_nan(Mat& x);

// op(A)*op(B) with op 'N', 'T' or 'C'.
Mat mul(const Mat& a, char opa, const Mat& b, char opb);
Mat conj_transpose(const Mat& a);

// One-norm (largest column sum of |re| + |im|) over the m-by-n block.
double norm1(const Mat& a);
double diff_norm1(const Mat& a, const Mat& b);
// ||Q^H*Q - I||_1 / (n*eps).
double unitarity(const Mat& q);
// True when the two m-by-n blocks agree bit for bit (NaN equals NaN).
bool same_block(const Mat& a, const Mat& b);

// K reflectors of order n, as ZLARFG makes them, in the forward columnwise
// layout: column i has its unit element in row i, zeros above, the vector
// below; tau(i) in tau[i-1]. The unit elements are stored explicitly.
struct Reflectors {
    int n = 0, k = 0;
    Mat v;
    std::vector<zcomplex> tau;
};
Reflectors random_reflectors(int n, int k, std::uint64_t seed);

// The same block reflector in the layout of a DIRECT/STOREV pair: for
// backward the reflectors are those of the forward set with rows and the
// order of reflectors reversed (so H_backward = P*H_forward*P, P the reversal
// of order n); rowwise storage is the conjugate transpose of columnwise.
// `stored` has NaN in every position ZLARFT/ZLARFB must not read (the unit
// elements, the implicit zeros and the padding rows); `full` holds the
// explicit ones and zeros.
struct Layout {
    Mat stored, full;
    std::vector<zcomplex> tau;
};
Layout layout(const Reflectors& r, char direct, char storev, int pad);

// Applies H = H(1)*...*H(K) (or H^H) of a forward columnwise set to C from
// side 'L' or 'R', one reflector at a time with ZLARF1F. With `reversed` the
// matrix of the backward layout is applied instead: C's rows (left) or
// columns (right) are reversed, the forward set applied, and reversed back.
void apply_one_at_a_time(const Reflectors& r, char side, bool conj_trans, bool reversed, Mat& c);

// A general N-by-N matrix that is upper triangular outside rows and columns
// ILO..IHI, as balancing leaves it.
Mat hessenberg_input(int n, int ilo, int ihi, std::uint64_t seed);
// The upper Hessenberg part of the reduced matrix (zeros below the first
// subdiagonal).
Mat hessenberg_part(const Mat& a);

}  // namespace hhtest
