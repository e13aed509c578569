// Opens the code of a per-instruction-set unit compiled for AVX-512F.
// Include after every system and library header the unit needs, then the
// vector-width wrapper and the engine body; close with simd/target_end.h.
// Everything between the two is compiled for this instruction set only, and,
// with internal linkage, never shared with a unit built for another one.
//
// Automatic vectorisation is off in the region (GCC): the engines are written
// with explicit vector operations, and GCC's vectoriser turns scalar complex
// products into fused multiply-adds (vfmaddsub) when the target has them, in
// spite of -ffp-contract=off. Clang never contracts with that flag.
// No include guard: a unit opens exactly one region. The standard headers
// the engines use come first, outside the region.
#include <immintrin.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#ifdef QIV_KERNEL_TARGET
#error "a unit opens one instruction-set region at a time"
#endif
#define QIV_KERNEL_TARGET avx512
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512f")
#pragma GCC optimize("no-tree-vectorize")
#endif
