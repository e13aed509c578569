// Random data with special values for the bitwise tests of the fast kernels:
// infinities, NaNs and zeros of either sign decide many results bit for bit.
#pragma once

#include "frame/types.h"
#include "support/matrix.h"

namespace qivtest {

// One of +inf, -inf, NaN, +0, -0, uniformly.
double special_part(Rng& rng);

// 0 + 0i with each part's sign drawn at random.
zcomplex signed_zero(Rng& rng);

// How entries are drawn.
enum class Data {
    uniform,   // uniform parts
    specials,  // uniform, with about one entry in special_rate given a special part
    sparse,    // small integers over a power of two, about half of them zeros of either sign
};

// One entry of size about scale.
zcomplex draw(Data d, Rng& rng, double scale, int special_rate);

}  // namespace qivtest
