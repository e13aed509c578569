// Forwarding header: the instruction-set choice lives in kernels/simd/isa.h.
#pragma once
#include "kernels/simd/isa.h"
