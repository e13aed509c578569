// Helpers shared by the tests: seeded random complex data, padded matrices
// with sentinels, bitwise comparison (any NaN equals any NaN) and norms.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "frame/types.h"

namespace qivtest {

using qiv::zcomplex;

// Bitwise equality of doubles, treating every NaN as equal to every NaN.
inline bool same_bits(double a, double b) {
    if (a != a && b != b) return true;
    std::uint64_t ua, ub;
    std::memcpy(&ua, &a, 8);
    std::memcpy(&ub, &b, 8);
    return ua == ub;
}
inline bool same_bits(zcomplex a, zcomplex b) {
    return same_bits(a.re, b.re) && same_bits(a.im, b.im);
}

// Index of the first element where two arrays differ bitwise, or -1.
long first_difference(const zcomplex* a, const zcomplex* b, std::size_t n);

// A column-major matrix with rows..ld-1 of each column and a margin around the
// whole array filled with a sentinel pattern that no kernel may touch.
class Padded {
   public:
    Padded(int rows, int cols, int ld, std::uint64_t seed = 1, int margin = 8);
    zcomplex* data() { return buf_.data() + margin_; }
    const zcomplex* data() const { return buf_.data() + margin_; }
    zcomplex& operator()(int i, int j) { return data()[qiv::at(i, j, ld_)]; }  // 1-based
    const zcomplex& operator()(int i, int j) const { return data()[qiv::at(i, j, ld_)]; }
    int rows() const { return rows_; }
    int cols() const { return cols_; }
    int ld() const { return ld_; }
    // True when every element outside the rows-by-cols block still holds its sentinel.
    bool sentinels_intact() const;
    std::vector<zcomplex> block() const;  // the rows-by-cols contents, packed

   private:
    int rows_, cols_, ld_, margin_;
    std::vector<zcomplex> buf_;
};

// The sentinel value at a given slot: a NaN with a recognisable payload.
zcomplex sentinel(std::size_t slot);

// Uniform random complex numbers with parts in [-1, 1).
class Rng {
   public:
    explicit Rng(std::uint64_t seed) : gen_(seed) {}
    double uniform() { return dist_(gen_); }
    zcomplex z() { return zcomplex{uniform(), uniform()}; }
    int below(int n) { return static_cast<int>(gen_() % static_cast<std::uint64_t>(n)); }
    void fill(zcomplex* a, int m, int n, int ld) {
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < m; ++i) a[i + static_cast<std::ptrdiff_t>(j) * ld] = z();
    }
    std::mt19937_64& engine() { return gen_; }

   private:
    std::mt19937_64 gen_;
    std::uniform_real_distribution<double> dist_{-1.0, 1.0};
};

// Largest modulus-free magnitude |re| + |im| over an m-by-n matrix (a norm
// good enough for residual checks; independent of the library's own norms).
double max_abs1(const zcomplex* a, int m, int n, int ld);
// One-norm (largest column sum of |re| + |im|).
double norm1(const zcomplex* a, int m, int n, int ld);

}  // namespace qivtest
