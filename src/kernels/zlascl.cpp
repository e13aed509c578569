// ZLASCL: multiplies a full, triangular, Hessenberg or band matrix by the real
// quotient cto/cfrom, in several passes when forming the quotient directly
// would overflow or underflow.
#include <algorithm>
#include <cmath>

#include "env/machine.h"
#include "frame/complex.h"
#include "frame/lsame.h"
#include "frame/xerbla.h"
#include "kernels/matutil.h"

namespace qiv {

namespace {

// Storage shapes, by the first letter of TYPE.
enum Shape : int {
    kFull = 0,        // G
    kLower = 1,       // L
    kUpper = 2,       // U
    kHessenberg = 3,  // H
    kLowerBand = 4,   // B: lower half of a symmetric band, band storage
    kUpperBand = 5,   // Q: upper half of a symmetric band, band storage
    kBand = 6,        // Z: general band with kl extra leading rows
    kUnknown = -1
};

Shape decode(const char* type) {
    if (LSAME(type, "G")) return kFull;
    if (LSAME(type, "L")) return kLower;
    if (LSAME(type, "U")) return kUpper;
    if (LSAME(type, "H")) return kHessenberg;
    if (LSAME(type, "B")) return kLowerBand;
    if (LSAME(type, "Q")) return kUpperBand;
    if (LSAME(type, "Z")) return kBand;
    return kUnknown;
}

// Position (1-based) of the first failed argument check, or 0.
int check(Shape shape, int kl, int ku, double cfrom, double cto, int m, int n, int lda) {
    const bool sym_band = shape == kLowerBand || shape == kUpperBand;
    if (shape == kUnknown) return 1;
    if (cfrom == 0.0 || DISNAN(&cfrom)) return 4;
    if (DISNAN(&cto)) return 5;
    if (m < 0) return 6;
    if (n < 0 || (sym_band && n != m)) return 7;
    if (shape <= kHessenberg) return lda < std::max(1, m) ? 9 : 0;
    if (kl < 0 || kl > std::max(m - 1, 0)) return 2;
    if (ku < 0 || ku > std::max(n - 1, 0) || (sym_band && kl != ku)) return 3;
    if ((shape == kLowerBand && lda < kl + 1) || (shape == kUpperBand && lda < ku + 1) ||
        (shape == kBand && lda < 2 * kl + ku + 1))
        return 9;
    return 0;
}

// The rows of column j that the shape selects, first to last (1-based).
struct Rows {
    int first, last;
};

Rows selected_rows(Shape shape, int kl, int ku, int m, int n, int j) {
    switch (shape) {
        case kFull:
            return {1, m};
        case kLower:
            return {j, m};
        case kUpper:
            return {1, std::min(j, m)};
        case kHessenberg:
            return {1, std::min(j + 1, m)};
        case kLowerBand:
            return {1, std::min(kl + 1, n + 1 - j)};
        case kUpperBand:
            return {std::max(ku + 2 - j, 1), ku + 1};
        default:
            return {std::max(kl + ku + 2 - j, kl + 1),
                    std::min(2 * kl + ku + 1, kl + ku + 1 + m - j)};
    }
}

}  // namespace

void ZLASCL(const char* type, const int* kl, const int* ku, const double* cfrom, const double* cto,
            const int* m, const int* n, zcomplex* a, const int* lda, int* info) {
    const Shape shape = decode(type);
    *info = 0;
    const int bad = check(shape, *kl, *ku, *cfrom, *cto, *m, *n, *lda);
    if (bad != 0) {
        *info = -bad;
        report_illegal("ZLASCL", bad);
    }
    if (*n == 0 || *m == 0) return;

    const double smlnum = mach_sfmin;
    const double bignum = 1.0 / smlnum;
    double cfromc = *cfrom;
    double ctoc = *cto;
    bool done = false;
    while (!done) {
        double mul;
        const double cfrom1 = cfromc * smlnum;
        if (cfrom1 == cfromc) {
            // cfromc is infinite: a finite cto gives a signed zero, an
            // infinite one NaN.
            mul = ctoc / cfromc;
            done = true;
        } else {
            const double cto1 = ctoc / bignum;
            if (cto1 == ctoc) {
                // ctoc is zero or infinite.
                mul = ctoc;
                done = true;
                cfromc = 1.0;
            } else if (std::fabs(cfrom1) > std::fabs(ctoc) && ctoc != 0.0) {
                mul = smlnum;
                cfromc = cfrom1;
            } else if (std::fabs(cto1) > std::fabs(cfromc)) {
                mul = bignum;
                ctoc = cto1;
            } else {
                mul = ctoc / cfromc;
                done = true;
                if (mul == 1.0) return;
            }
        }

        // Each element times (mul + 0i) by the full complex product, so an
        // infinite part turns the other part into NaN.
        const zcomplex factor = zc(mul, 0.0);
        for (int j = 1; j <= *n; ++j) {
            const Rows rows = selected_rows(shape, *kl, *ku, *m, *n, j);
            for (int i = rows.first; i <= rows.last; ++i) {
                zcomplex& e = a[at(i, j, *lda)];
                e = e * factor;
            }
        }
    }
}

}  // namespace qiv
