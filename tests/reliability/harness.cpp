#include "reliability/harness.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace reltest {

bool small_scale() {
    const char* s = std::getenv("QIV_TEST_SCALE");
    return s != nullptr && std::strcmp(s, "small") == 0;
}

std::size_t elem_bytes(Elem e) {
    switch (e) {
        case Elem::complex:
            return 16;
        case Elem::real:
            return 8;
        case Elem::integer:
            return 4;
    }
    return 0;
}

std::size_t span_elems(const ArrayArg& a, std::int64_t ld) {
    if (a.rows <= 0 || a.cols <= 0) return 0;
    return static_cast<std::size_t>(ld * (a.cols - 1) + a.rows);
}

namespace {

// The sentinel pattern, by address: a signalling NaN with a recognisable
// payload in every aligned 8-byte word (two 32-bit halves that no pivot
// index takes).
constexpr std::uint64_t kSentinel = 0x7ff5a5a5a5a5a5a5ull;

unsigned char sentinel_byte(const unsigned char* addr) {
    return static_cast<unsigned char>(kSentinel >>
                                      (8 * (reinterpret_cast<std::uintptr_t>(addr) % 8)));
}

void paint(unsigned char* lo, std::size_t len) {
    unsigned char* const hi = lo + len;
    for (; lo < hi && reinterpret_cast<std::uintptr_t>(lo) % 8 != 0; ++lo) *lo = sentinel_byte(lo);
    for (; hi - lo >= 8; lo += 8) std::memcpy(lo, &kSentinel, 8);
    for (; lo < hi; ++lo) *lo = sentinel_byte(lo);
}

// Whether every byte of [lo, hi) still holds the pattern.
bool painted(const unsigned char* lo, const unsigned char* hi) {
    for (; lo < hi && reinterpret_cast<std::uintptr_t>(lo) % 8 != 0; ++lo)
        if (*lo != sentinel_byte(lo)) return false;
    for (; hi - lo >= 8; lo += 8) {
        std::uint64_t w;
        std::memcpy(&w, lo, 8);
        if (w != kSentinel) return false;
    }
    for (; lo < hi; ++lo)
        if (*lo != sentinel_byte(lo)) return false;
    return true;
}

unsigned char* element(void* p, const ArrayArg& a, std::int64_t ld, int i, int j) {
    return static_cast<unsigned char*>(p) +
           (static_cast<std::int64_t>(i) + static_cast<std::int64_t>(j) * ld) *
               static_cast<std::int64_t>(elem_bytes(a.elem));
}

// Fills a described element with a fresh value.
void fill_value(unsigned char* e, const ArrayArg& a, Rng& rng) {
    if (a.elem == Elem::integer) {
        // Outputs only (pivot vectors): a value no routine would produce.
        const std::int32_t v = -1000 - rng.below(1000);
        std::memcpy(e, &v, 4);
        return;
    }
    const int parts = a.elem == Elem::complex ? 2 : 1;
    for (int k = 0; k < parts; ++k) {
        const double v = a.input ? rng.uniform() : 1.0e3 * (1 + rng.below(9));
        std::memcpy(e + 8 * k, &v, 8);
    }
}

}  // namespace

Placement::Placed Placement::place(const ArrayArg& a) {
    Record r{a, nullptr, 0, {}};
    const Placed placed = allocate(a, r.ranges);
    r.p = static_cast<unsigned char*>(placed.p);
    r.ld = placed.ld;
    for (const auto& [lo, len] : r.ranges) paint(lo, len);
    records_.push_back(std::move(r));
    return placed;
}

bool Placement::intact() const {
    for (const Record& r : records_) {
        const std::int64_t eb = static_cast<std::int64_t>(elem_bytes(r.a.elem));
        const bool described = r.a.rows > 0 && r.a.cols > 0;
        for (const auto& [lo, len] : r.ranges) {
            // The gaps between the described runs of each column, clipped to
            // this range; before the first and after the last column as well.
            const unsigned char* from = lo;
            const unsigned char* const hi = lo + len;
            for (std::int64_t j = 0; described && j < r.a.cols && from < hi; ++j) {
                const unsigned char* col = r.p + j * r.ld * eb;
                const unsigned char* col_end = col + r.a.rows * eb;
                if (col_end <= from) continue;
                if (col >= hi) break;
                if (col > from && !painted(from, col)) return false;
                from = col_end;
            }
            if (from < hi && !painted(from, hi)) return false;
        }
    }
    return true;
}

Placement::Placed HeapPlacement::allocate(const ArrayArg& a, std::vector<Range>& accessible) {
    const int ld = a.has_ld ? std::max(1, a.rows) + pad_ : std::max(1, a.rows);
    // A margin of 64 bytes on each side; at least one element, so that an
    // array with nothing described still has an address.
    const std::size_t bytes = std::max<std::size_t>(1, span_elems(a, ld)) * elem_bytes(a.elem);
    const std::size_t total = bytes + 128;
    blocks_.emplace_back(new std::uint64_t[(total + 7) / 8]);
    unsigned char* base = reinterpret_cast<unsigned char*>(blocks_.back().get());
    accessible.push_back({base, total});
    return {base + 64, ld};
}

Outcome execute(const Call& c, Placement& where, std::uint64_t seed) {
    const std::size_t n = c.arrays.size();
    std::vector<void*> p(n);
    std::vector<int> ld(n);
    for (std::size_t k = 0; k < n; ++k) {
        const ArrayArg& a = c.arrays[k];
        const auto placed = where.place(a);
        p[k] = placed.p;
        ld[k] = placed.ld;
        Rng rng(seed * 1000003u + k);
        if (p[k] == nullptr) {
            Outcome failed;
            failed.info = -99999;
            return failed;
        }
        for (int j = 0; j < a.cols; ++j)
            for (int i = 0; i < a.rows; ++i) fill_value(element(p[k], a, ld[k], i, j), a, rng);
    }
    if (c.prepare) c.prepare(p.data(), ld.data());
    Outcome out;
    out.info = c.run(p.data(), ld.data());
    out.lds = ld;
    out.arrays.resize(n);
    for (std::size_t k = 0; k < n; ++k) {
        const ArrayArg& a = c.arrays[k];
        const std::size_t eb = elem_bytes(a.elem);
        auto& packed = out.arrays[k];
        packed.resize(static_cast<std::size_t>(std::max(0, a.rows)) *
                      static_cast<std::size_t>(std::max(0, a.cols)) * eb);
        std::size_t pos = 0;
        for (int j = 0; j < a.cols; ++j)
            for (int i = 0; i < a.rows; ++i, pos += eb)
                std::memcpy(packed.data() + pos, element(p[k], a, ld[k], i, j), eb);
    }
    out.padding_intact = where.intact();
    if (c.verify) out.verdict = c.verify(p.data(), ld.data());
    return out;
}

std::string compare(const Call& c, const Outcome& want, const Outcome& got) {
    std::ostringstream why;
    if (want.info != got.info) {
        why << c.label << ": INFO " << got.info << ", expected " << want.info;
        return why.str();
    }
    for (std::size_t k = 0; k < c.arrays.size(); ++k) {
        const auto& w = want.arrays[k];
        const auto& g = got.arrays[k];
        if (w != g) {
            const ArrayArg& a = c.arrays[k];
            const std::size_t eb = elem_bytes(a.elem);
            std::size_t e = 0;
            while (e * eb < w.size() && std::memcmp(w.data() + e * eb, g.data() + e * eb, eb) == 0)
                ++e;
            why << c.label << ": " << a.name << " differs at element (" << e % a.rows + 1 << ", "
                << e / a.rows + 1 << ") with leading dimensions " << want.lds[k] << " and "
                << got.lds[k];
            return why.str();
        }
    }
    return {};
}

namespace {

const char* volatile g_fault_label = "";
struct sigaction g_old_segv {};
struct sigaction g_old_bus {};

void name_fault(int sig, siginfo_t* info, void*) {
    char line[768];
    const int n = std::snprintf(line, sizeof line, "\nfault at %p during: %s\n", info->si_addr,
                                g_fault_label);
    if (n > 0) (void)!write(STDERR_FILENO, line, static_cast<std::size_t>(n));
    std::signal(sig, SIG_DFL);
    raise(sig);
}

}  // namespace

FaultNamer::FaultNamer() {
    struct sigaction sa {};
    sa.sa_sigaction = name_fault;
    sa.sa_flags = SA_SIGINFO;
    sigaction(SIGSEGV, &sa, &g_old_segv);
    sigaction(SIGBUS, &sa, &g_old_bus);
}

FaultNamer::~FaultNamer() {
    sigaction(SIGSEGV, &g_old_segv, nullptr);
    sigaction(SIGBUS, &g_old_bus, nullptr);
    g_fault_label = "";
}

void FaultNamer::during(const char* label) { g_fault_label = label; }

void* module_symbol(const char* name) {
    // Loaded once and never unloaded: the tests of one program share it.
    static void* const handle = dlopen(QIV_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    return handle != nullptr ? dlsym(handle, name) : nullptr;
}

}  // namespace reltest
