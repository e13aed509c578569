// ZLANGE: largest modulus, one-norm, infinity-norm or Frobenius norm of a
// general complex matrix.
#include <cmath>
#include <limits>

#include "env/machine.h"
#include "frame/lsame.h"
#include "kernels/matutil.h"

namespace qiv {

namespace {

// value := t when t is larger or NaN; once value is NaN it stays NaN.
inline void take_larger(double& value, double t) {
    if (value < t || t != t) value = t;
}

}  // namespace

double ZLANGE(const char* norm, const int* m, const int* n, const zcomplex* a, const int* lda,
              double* work) {
    const int rows = *m, cols = *n, ld = *lda;
    if (rows <= 0 || cols <= 0) return 0.0;

    if (LSAME(norm, "M")) {
        double value = 0.0;
        // |z| <= |Re z| + |Im z| holds after rounding too (the sum exceeds
        // the modulus by at least half the smaller part, far more than the
        // modulus's rounding), so an element whose sum is no larger than the
        // current value cannot replace it and its modulus is not formed. A
        // NaN sum fails the test and goes through take_larger.
        for (int j = 1; j <= cols; ++j) {
            const zcomplex* col = a + at(1, j, ld);
            for (int i = 0; i < rows; ++i) {
                if (std::fabs(col[i].re) + std::fabs(col[i].im) <= value) continue;
                take_larger(value, zabs(col[i]));
            }
        }
        return value;
    }
    if (LSAME(norm, "O") || norm[0] == '1') {
        double value = 0.0;
        for (int j = 1; j <= cols; ++j) {
            double sum = 0.0;
            for (int i = 1; i <= rows; ++i) sum = sum + zabs(a[at(i, j, ld)]);
            take_larger(value, sum);
        }
        return value;
    }
    if (LSAME(norm, "I")) {
        for (int i = 0; i < rows; ++i) work[i] = 0.0;
        for (int j = 1; j <= cols; ++j)
            for (int i = 1; i <= rows; ++i) work[i - 1] = work[i - 1] + zabs(a[at(i, j, ld)]);
        double value = 0.0;
        for (int i = 0; i < rows; ++i) take_larger(value, work[i]);
        return value;
    }
    if (LSAME(norm, "F") || LSAME(norm, "E")) {
        double scale = 0.0, sumsq = 1.0;
        const int one = 1;
        for (int j = 1; j <= cols; ++j) ZLASSQ(m, &a[at(1, j, ld)], &one, &scale, &sumsq);
        return scale * std::sqrt(sumsq);
    }
    // No norm by that letter: NaN, so that the caller cannot mistake it for a
    // size.
    return std::numeric_limits<double>::quiet_NaN();
}

}  // namespace qiv
