// Restricting the library's run-time choice of instruction set, for tests
// that must see every path through a whole driver. The library asks the
// runtime's processor description (filled in at start-up) what the
// processor offers; a test process, typically a forked child, may cut that
// description down so that the library picks a narrower path.
#pragma once

#include <vector>

#include "kernels/simd/isa.h"

namespace qivtest {

// The instruction sets the processor running the tests can execute.
std::vector<qiv::Isa> supported_isas();

// Makes the library choose `isa` from now on in this process by clearing the
// wider sets from the runtime's processor description. Returns false (and
// changes nothing) when the library's choice would not follow.
bool cap_isa(qiv::Isa isa);

}  // namespace qivtest
