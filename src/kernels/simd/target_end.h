// Closes the instruction-set region opened by simd/target_<isa>.h.
#ifndef QIV_KERNEL_TARGET
#error "no instruction-set region is open"
#endif
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#undef QIV_KERNEL_TARGET
