// Machine constants of IEEE binary64, and the NaN tests.
#include <cfloat>

#include "env/machine.h"
#include "frame/lsame.h"

namespace qiv {

double DLAMCH(const char* cmach, charlen) {
    constexpr double eps = DBL_EPSILON * 0.5;  // rounding unit 2^-53
    constexpr double sfmin = DBL_MIN;          // 2^-1022; its reciprocal does not overflow
    if (LSAME(cmach, "E")) return eps;
    if (LSAME(cmach, "S")) return sfmin;
    if (LSAME(cmach, "B")) return 2.0;
    if (LSAME(cmach, "P")) return eps * 2.0;
    if (LSAME(cmach, "N")) return 53.0;
    if (LSAME(cmach, "R")) return 1.0;
    if (LSAME(cmach, "M")) return -1021.0;
    if (LSAME(cmach, "U")) return DBL_MIN;
    if (LSAME(cmach, "L")) return 1024.0;
    if (LSAME(cmach, "O")) return DBL_MAX;
    return 0.0;
}

bool DLAISNAN(const double* din1, const double* din2) { return !(*din1 == *din2); }

bool DISNAN(const double* din) { return DLAISNAN(din, din); }

}  // namespace qiv
