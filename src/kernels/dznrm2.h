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

namespace dznrm2_bins {

constexpr double tsml = 0x1p-511;  // parts below go to the small bin
constexpr double tbig = 0x1p486;   // parts above go to the big bin
constexpr double ssml = 0x1p537;   // small parts are scaled up before squaring
constexpr double sbig = 0x1p-538;  // big parts are scaled down before squaring

}  // namespace dznrm2_bins

inline double dznrm2(int n, const zcomplex* x, int incx) {
    if (n <= 0) return 0.0;
    double abig = 0.0, amed = 0.0, asml = 0.0;
    bool notbig = true;
    using namespace dznrm2_bins;

    const auto accumulate = [&](double v) {
        const double a = std::fabs(v);
        if (a > tbig) {
            const double t = a * sbig;
            abig = abig + t * t;
            notbig = false;
        } else if (a < tsml) {
            // Once a big value has been seen the small ones cannot matter.
            if (notbig) {
                const double t = a * ssml;
                asml = asml + t * t;
            }
        } else {
            // Mid-range values, and NaN, which every exit below carries.
            amed = amed + v * v;
        }
    };

    std::ptrdiff_t ix = walk_start(n, incx);
    for (int i = 0; i < n; ++i) {
        accumulate(x[ix].re);
        accumulate(x[ix].im);
        ix += incx;
    }

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
