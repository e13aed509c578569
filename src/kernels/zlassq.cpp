// ZLASSQ: folds the squares of the real and imaginary parts of a strided
// complex vector into a scaled sum of squares (scale, sumsq) standing for
// scale^2 * sumsq, with three bins against overflow and underflow.
#include <cmath>

#include "kernels/matutil.h"
#include "kernels/vector.h"

namespace qiv {

namespace {

constexpr double tsml = 0x1p-511;  // values below go to the small bin
constexpr double tbig = 0x1p486;   // values above go to the big bin
constexpr double ssml = 0x1p537;   // small values are scaled up before squaring
constexpr double sbig = 0x1p-538;  // big values are scaled down before squaring

}  // namespace

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

    double abig = 0.0, amed = 0.0, asml = 0.0;
    bool notbig = true;
    const auto accumulate = [&](double p) {
        const double a = std::fabs(p);
        if (a > tbig) {
            const double t = a * sbig;
            abig = abig + t * t;
            notbig = false;
        } else if (a < tsml) {
            // After a big value, later small ones are dropped.
            if (notbig) {
                const double t = a * ssml;
                asml = asml + t * t;
            }
        } else {
            amed = amed + p * p;  // also takes a NaN
        }
    };

    std::ptrdiff_t ix = walk_start(*n, *incx);
    for (int i = 0; i < *n; ++i) {
        accumulate(x[ix].re);
        accumulate(x[ix].im);
        ix += *incx;
    }

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
