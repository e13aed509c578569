// DZNRM2's body: Euclidean norm of a strided complex vector (any increment),
// summed in three bins so that no square overflows or underflows needlessly.
// Inline for the reflector generator, which takes the norm of one or two
// elements per reflector; DZNRM2 (kernels/dznrm2.cpp) calls it.
#pragma once

#include <cfloat>
#include <cmath>

#include "frame/types.h"
#include "kernels/vector.h"

namespace qiv {

// The three bins of a sum of squares against overflow and underflow, as
// DZNRM2 and ZLASSQ fill them: parts above tbig are scaled down by sbig
// before squaring, parts below tsml up by ssml (and dropped once a big part
// has been seen), the rest (and NaN, which every result then carries) squared
// as they are.
struct SquareBins {
    static constexpr double tsml = 0x1p-511;
    static constexpr double tbig = 0x1p486;
    static constexpr double ssml = 0x1p537;
    static constexpr double sbig = 0x1p-538;

    double abig = 0.0, amed = 0.0, asml = 0.0;
    bool notbig = true;

    void add(double v) {
        const double a = std::fabs(v);
        if (a > tbig) {
            const double t = a * sbig;
            abig = abig + t * t;
            notbig = false;
        } else if (a < tsml) {
            if (notbig) {
                const double t = a * ssml;
                asml = asml + t * t;
            }
        } else {
            amed = amed + v * v;
        }
    }
    // The real and imaginary parts of the n elements of a walk, in order.
    void add_walk(int n, const zcomplex* x, int incx) {
        std::ptrdiff_t ix = walk_start(n, incx);
        for (int i = 0; i < n; ++i) {
            add(x[ix].re);
            add(x[ix].im);
            ix += incx;
        }
    }
};

inline double dznrm2(int n, const zcomplex* x, int incx) {
    if (n <= 0) return 0.0;
    SquareBins bins;
    bins.add_walk(n, x, incx);
    double abig = bins.abig, amed = bins.amed, asml = bins.asml;
    constexpr double sbig = SquareBins::sbig;

    const bool amed_counts = amed > 0.0 || amed > DBL_MAX || amed != amed;
    if (abig > 0.0) {
        if (amed_counts) abig = abig + (amed * sbig) * sbig;
        return std::sqrt(abig) * 0x1p538;
    }
    if (asml > 0.0) {
        if (amed_counts) {
            amed = std::sqrt(amed);
            asml = std::sqrt(asml) * 0x1p-537;
            double ymax, ymin;
            if (asml > amed) {
                ymax = asml;
                ymin = amed;
            } else {
                ymax = amed;
                ymin = asml;
            }
            const double r = ymin / ymax;
            return std::sqrt(ymax * ymax * (r * r + 1.0));
        }
        return std::sqrt(asml) * 0x1p-537;
    }
    return std::sqrt(amed);
}

}  // namespace qiv
