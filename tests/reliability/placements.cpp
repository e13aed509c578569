// Placements built from page mappings: arrays between inaccessible pages, and
// sparse reservations for huge leading dimensions.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

#include "reliability/harness.h"

namespace reltest {

namespace {

std::size_t page_size() { return static_cast<std::size_t>(sysconf(_SC_PAGESIZE)); }

std::size_t round_up(std::size_t v, std::size_t to) { return (v + to - 1) / to * to; }

// Reserves len bytes with no access; nullptr when refused.
unsigned char* reserve(std::size_t len) {
    void* m = mmap(nullptr, len, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    return m == MAP_FAILED ? nullptr : static_cast<unsigned char*>(m);
}

bool open_up(unsigned char* lo, std::size_t len) {
    return mprotect(lo, len, PROT_READ | PROT_WRITE) == 0;
}

}  // namespace

const char* guard_name(Guard g) {
    switch (g) {
        case Guard::start:
            return "start";
        case Guard::end:
            return "end";
        case Guard::end_misaligned:
            return "end, 8-byte aligned";
        case Guard::start_columns:
            return "start of every column";
        case Guard::end_columns:
            return "end of every column";
    }
    return "?";
}

GuardPlacement::~GuardPlacement() {
    for (const auto& [p, len] : maps_) munmap(p, len);
}

Placement::Placed GuardPlacement::allocate(const ArrayArg& a, std::vector<Range>& accessible) {
    const std::size_t page = page_size(), eb = elem_bytes(a.elem);
    const bool columns = mode_ == Guard::start_columns || mode_ == Guard::end_columns;
    const bool per_column = columns && a.has_ld && a.rows >= 1 && a.cols >= 2;
    if (!per_column) {
        const int ld = a.has_ld ? std::max(1, a.rows) + pad_ : std::max(1, a.rows);
        const std::size_t bytes = span_elems(a, ld) * eb;
        if (bytes == 0) {
            // Nothing described: an address whose every neighbour faults.
            unsigned char* m = reserve(2 * page);
            if (m == nullptr) return {nullptr, ld};
            maps_.push_back({m, 2 * page});
            return {m + page, ld};
        }
        const std::size_t shift = mode_ == Guard::end_misaligned && eb >= 16 ? 8 : 0;
        const std::size_t data = round_up(bytes + shift, page);
        unsigned char* m = reserve(data + 2 * page);
        if (m == nullptr || !open_up(m + page, data)) return {nullptr, ld};
        maps_.push_back({m, data + 2 * page});
        accessible.push_back({m + page, data});
        const bool at_start = mode_ == Guard::start || mode_ == Guard::start_columns;
        return {at_start ? m + page : m + page + data - bytes - shift, ld};
    }
    // One column per group of pages, an inaccessible page between columns.
    const std::size_t col_bytes = static_cast<std::size_t>(a.rows) * eb;
    const std::size_t col_pages = round_up(col_bytes, page);
    const std::size_t stride = col_pages + page;
    const int ld = static_cast<int>(stride / eb);
    const std::size_t total = page + static_cast<std::size_t>(a.cols) * stride;
    unsigned char* m = reserve(total);
    if (m == nullptr) return {nullptr, ld};
    maps_.push_back({m, total});
    for (int j = 0; j < a.cols; ++j) {
        unsigned char* col = m + page + static_cast<std::size_t>(j) * stride;
        if (!open_up(col, col_pages)) return {nullptr, ld};
        accessible.push_back({col, col_pages});
    }
    const std::size_t first = mode_ == Guard::start_columns ? 0 : col_pages - col_bytes;
    return {m + page + first, ld};
}

SparsePlacement::~SparsePlacement() {
    for (const auto& [p, len] : maps_) munmap(p, len);
}

Placement::Placed SparsePlacement::allocate(const ArrayArg& a, std::vector<Range>& accessible) {
    const std::size_t page = page_size(), eb = elem_bytes(a.elem);
    std::int64_t ld = std::max(1, a.rows);
    if (a.has_ld && a.cols >= 2) {
        ld = std::max<std::int64_t>(ld, offset_ / (a.cols - 1) + 1);
        if (ld > 0x7fffffff) ld = 0x7fffffff;
    } else if (a.has_ld) {
        ld = std::max<std::int64_t>(ld, offset_);  // one column: only the argument is large
        if (ld > 0x7fffffff) ld = 0x7fffffff;
    }
    const std::size_t span = std::max<std::size_t>(1, span_elems(a, ld)) * eb;
    // The first element sits 64 bytes into its page, so the sentinels before
    // it are checked too.
    const std::size_t total = round_up(span + 64, page) + page;
    unsigned char* m = reserve(total);
    if (m == nullptr) {
        ok_ = false;
        return {nullptr, static_cast<int>(ld)};
    }
    maps_.push_back({m, total});
    unsigned char* const first = m + 64;
    const int cols = std::max(1, a.cols), rows = std::max(1, a.rows);
    unsigned char* opened_end = m;  // columns may share a page when ld is small
    for (int j = 0; j < cols; ++j) {
        unsigned char* lo = first + static_cast<std::size_t>(j) * static_cast<std::size_t>(ld) * eb;
        unsigned char* hi = lo + static_cast<std::size_t>(rows) * eb;
        unsigned char* plo = m + (lo - m) / page * page;
        unsigned char* phi = m + round_up(static_cast<std::size_t>(hi - m), page);
        if (plo < opened_end) plo = opened_end;
        if (plo >= phi) continue;
        if (!open_up(plo, static_cast<std::size_t>(phi - plo))) {
            ok_ = false;
            return {nullptr, static_cast<int>(ld)};
        }
        accessible.push_back({plo, static_cast<std::size_t>(phi - plo)});
        opened_end = phi;
    }
    if (a.rows >= 1 && a.cols >= 1) {
        const std::int64_t last = (a.cols - 1) * ld + a.rows - 1;
        max_elem_ = std::max(max_elem_, last);
        max_byte_ = std::max(max_byte_, last * static_cast<std::int64_t>(eb));
    }
    return {first, static_cast<int>(ld)};
}

}  // namespace reltest
