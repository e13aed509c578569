// Machine constants of IEEE binary64, and the NaN tests.
#include "env/machine.h"

namespace qiv {

// The letter is folded to upper case as LSAME folds it (the 26 ASCII letters
// only), then looked up: one comparison chain instead of one LSAME call per
// candidate letter.
double DLAMCH(const char* cmach, charlen) {
    unsigned char c = static_cast<unsigned char>(cmach[0]);
    if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 32u);
    switch (c) {
        case 'E':
            return mach_eps;
        case 'S':
            return mach_sfmin;
        case 'B':
            return 2.0;
        case 'P':
            return mach_prec;
        case 'N':
            return 53.0;
        case 'R':
            return 1.0;
        case 'M':
            return -1021.0;
        case 'U':
            return DBL_MIN;
        case 'L':
            return 1024.0;
        case 'O':
            return mach_ovfl;
        default:
            return 0.0;
    }
}

bool DLAISNAN(const double* din1, const double* din2) { return !(*din1 == *din2); }

bool DISNAN(const double* din) { return DLAISNAN(din, din); }

}  // namespace qiv
