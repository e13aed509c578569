#include "support/special_values.h"

#include <cmath>
#include <limits>

namespace qivtest {

double special_part(Rng& rng) {
    const double s[] = {std::numeric_limits<double>::infinity(),
                        -std::numeric_limits<double>::infinity(),
                        std::numeric_limits<double>::quiet_NaN(), 0.0, -0.0};
    return s[rng.below(5)];
}

zcomplex signed_zero(Rng& rng) {
    const double re = rng.below(2) ? 0.0 : -0.0;
    const double im = rng.below(2) ? 0.0 : -0.0;
    return zcomplex{re, im};
}

zcomplex draw(Data d, Rng& rng, double scale, int special_rate) {
    if (d == Data::sparse) {
        if (rng.below(2)) return signed_zero(rng);
        // Small integers times a power of two: sums cancel exactly.
        const double p = std::exp2(std::ceil(std::log2(1.0 / scale)));
        return zcomplex{(rng.below(5) - 2) / p, (rng.below(3) - 1) / p};
    }
    zcomplex v{scale * rng.uniform(), scale * rng.uniform()};
    if (d == Data::specials && rng.below(special_rate) == 0) {
        if (rng.below(2))
            v.re = special_part(rng);
        else
            v.im = special_part(rng);
    }
    return v;
}

}  // namespace qivtest
