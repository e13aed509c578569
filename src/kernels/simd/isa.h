// Instruction sets the fast kernels are compiled for, and the choice among
// them at run time. Every kernel body exists once per instruction set in the
// same binary (selected with function target attributes), so the library runs
// on any x86-64 processor and uses the widest vectors the processor offers.
//
// The instruction sets are listed once, below: the enum names them, and one
// descriptor per set (in the same order, narrowest first) gives its report
// name and its test against the processor. Everything else is made from that
// list: isa_supported, best_isa, isa_name, all_isas for the tests, and every
// dispatch of an engine to the body of one set (with_isa). Adding a set means
// adding its enum member and descriptor here, then writing its bodies (one
// `<routine>_on<Isa::x>` specialisation per engine routine, in the unit
// compiled for it).
#pragma once

#include <array>
#include <cstddef>
#include <tuple>
#include <utility>

namespace qiv {

// The members, narrowest first; each has its descriptor, at the same place,
// in IsaSets below (checked at compile time).
enum class Isa {
    baseline,  // x86-64 with SSE2, present on every x86-64 processor
    avx2,      // 256-bit vectors
    avx512,    // 512-bit vectors (AVX-512F)
};

// One descriptor per instruction set: its enum member, a short lower-case
// name for reports and test names, and whether the processor running this
// code can execute it. The test reads the processor description the runtime
// filled in at start-up (including the operating system's support for saving
// the wider registers); the runtime wants the feature name as a literal.
struct IsaBaselineSet {
    static constexpr Isa isa = Isa::baseline;
    static constexpr const char* name = "baseline";
    static bool on_processor() { return true; }
};
struct IsaAvx2Set {
    static constexpr Isa isa = Isa::avx2;
    static constexpr const char* name = "avx2";
    static bool on_processor() { return __builtin_cpu_supports("avx2"); }
};
struct IsaAvx512Set {
    static constexpr Isa isa = Isa::avx512;
    static constexpr const char* name = "avx512";
    static bool on_processor() { return __builtin_cpu_supports("avx512f"); }
};

// The list, narrowest first: the descriptor of the k-th set is element k.
using IsaSets = std::tuple<IsaBaselineSet, IsaAvx2Set, IsaAvx512Set>;

constexpr int isa_count = static_cast<int>(std::tuple_size<IsaSets>::value);

template <int K>
using IsaSet = std::tuple_element_t<static_cast<std::size_t>(K), IsaSets>;

namespace isa_detail {
template <int K = 0>
constexpr bool listed_in_enum_order() {
    if constexpr (K == isa_count) {
        return true;
    } else {
        return IsaSet<K>::isa == static_cast<Isa>(K) && listed_in_enum_order<K + 1>();
    }
}
template <std::size_t... K>
constexpr std::array<Isa, sizeof...(K)> isas_in_order(std::index_sequence<K...>) {
    return {{static_cast<Isa>(K)...}};
}
}  // namespace isa_detail
static_assert(isa_detail::listed_in_enum_order(),
              "IsaSets must list one descriptor per Isa member, in the enum's order");

// Calls f with the descriptor of `isa` (f(IsaSet<k>{}) for isa = k) and
// returns its result: the one switch from a run-time instruction set to the
// code compiled for it, an if-chain the compiler sees whole. The generic
// lambda names the set as a compile-time constant, decltype(s)::isa; each
// engine's dispatch is
//   with_isa(isa, [&](auto s) { return body_on<decltype(s)::isa>(...); }).
// A value outside the list takes the last (widest) set's branch; callers pass
// only the members of Isa.
template <int K = 0, typename F>
decltype(auto) with_isa(Isa isa, F&& f) {
    if constexpr (K + 1 == isa_count) {
        return std::forward<F>(f)(IsaSet<K>{});
    } else {
        if (isa == IsaSet<K>::isa) return std::forward<F>(f)(IsaSet<K>{});
        return with_isa<K + 1>(isa, std::forward<F>(f));
    }
}

// Every instruction set, narrowest first, for the tests that run the kernels
// of each one (those the processor lacks are skipped there).
constexpr std::array<Isa, isa_count> all_isas =
    isa_detail::isas_in_order(std::make_index_sequence<isa_count>{});

// True when the processor running this code can execute the given kernels.
bool isa_supported(Isa isa);

// The widest instruction set the processor supports. Reads the processor
// description the runtime filled in at start-up: no state of our own and no
// cost worth mentioning next to even a small kernel call.
Isa best_isa();

// Short lower-case name ("baseline", "avx2", "avx512") for reports.
const char* isa_name(Isa isa);

}  // namespace qiv
