// Run-time self-test of binary32 infinity and NaN arithmetic.
#include "env/tuning.h"

namespace qiv {

int IEEECK(const int* ispec, const float* zero, const float* one) {
    // Read through volatile so the compiler cannot assume IEEE results and fold
    // the tests away: the arithmetic must really happen at run time.
    const volatile float vzero = *zero;
    const volatile float vone = *one;
    const float z = vzero;
    const float o = vone;

    volatile float posinf = o / z;
    if (posinf <= o) return 0;
    volatile float neginf = -(o / z);
    if (neginf >= z) return 0;
    volatile float negzro = o / (neginf + o);
    if (negzro != z) return 0;
    neginf = o / negzro;
    if (neginf >= z) return 0;
    volatile float newzro = negzro + z;
    if (newzro != z) return 0;
    posinf = o / newzro;
    if (posinf <= o) return 0;
    neginf = neginf * posinf;
    if (neginf >= z) return 0;
    posinf = posinf * posinf;
    if (posinf <= o) return 0;

    if (*ispec == 0) return 1;

    const volatile float nan1 = posinf + neginf;
    const volatile float nan2 = posinf / neginf;
    const volatile float nan3 = posinf / posinf;
    const volatile float nan4 = posinf * z;
    const volatile float nan5 = neginf * negzro;
    const volatile float nan6 = nan5 * z;
    if (nan1 == nan1) return 0;
    if (nan2 == nan2) return 0;
    if (nan3 == nan3) return 0;
    if (nan4 == nan4) return 0;
    if (nan5 == nan5) return 0;
    if (nan6 == nan6) return 0;
    return 1;
}

}  // namespace qiv
