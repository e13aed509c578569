// ZLASSQ: folds the squares of the real and imaginary parts of a strided
// complex vector into a scaled sum of squares (scale, sumsq) standing for
// scale^2 * sumsq, with three bins against overflow and underflow.
#include <cmath>

#include "kernels/dznrm2.h"
#include "kernels/matutil.h"
#include "kernels/vector.h"

namespace qiv {

void ZLASSQ(const int* n, const zcomplex* x, const int* incx, double* scale, double* sumsq) {
    // A NaN pair is passed back untouched.
    if (*scale != *scale || *sumsq != *sumsq) return;
    if (*sumsq == 0.0) {
        *scale = 1.0;
    } else if (*scale == 0.0) {
        *scale = 1.0;
        *sumsq = 0.0;
    }
    if (*n <= 0) return;

    SquareBins bins;
    bins.add_walk(*n, x, *incx);
    double abig = bins.abig, amed = bins.amed, asml = bins.asml;
    const bool notbig = bins.notbig;
    constexpr double tsml = SquareBins::tsml, tbig = SquareBins::tbig;
    constexpr double ssml = SquareBins::ssml, sbig = SquareBins::sbig;

    // Fold in the incoming pair, in the bin its value belongs to.
    double sc = *scale;
    const double sq = *sumsq;
    if (sq > 0.0) {
        const double a = sc * std::sqrt(sq);
        if (a > tbig) {
            if (sc > 1.0) {
                sc = sc * sbig;
                abig = abig + sq * sc * sc;
            } else {
                abig = abig + sq * sbig * sbig * sc * sc;
            }
        } else if (a < tsml) {
            if (notbig) {
                if (sc < 1.0) {
                    sc = sc * ssml;
                    asml = asml + sq * sc * sc;
                } else {
                    asml = asml + sq * ssml * ssml * sc * sc;
                }
            }
        } else {
            amed = amed + sq * sc * sc;
        }
    }

    // Combine the bins into the result pair.
    if (abig > 0.0) {
        if (amed > 0.0 || amed != amed) abig = abig + (amed * sbig) * sbig;
        *scale = 0x1p538;
        *sumsq = abig;
    } else if (asml > 0.0) {
        if (amed > 0.0 || amed != amed) {
            const double ymed = std::sqrt(amed);
            const double ysml = std::sqrt(asml) / ssml;
            double ymax, ymin;
            if (ysml > ymed) {
                ymax = ysml;
                ymin = ymed;
            } else {
                ymax = ymed;
                ymin = ysml;
            }
            const double r = ymin / ymax;
            *scale = 1.0;
            *sumsq = (1.0 + r * r) * (ymax * ymax);
        } else {
            *scale = 0x1p-537;
            *sumsq = asml;
        }
    } else {
        *scale = 1.0;
        *sumsq = amed;
    }
}

}  // namespace qiv
