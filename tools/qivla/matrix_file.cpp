// Reading a matrix file of either kind (the format chosen by its first
// line), the memory limit, file names; the formats themselves live in
// formats/ (one file each, and what they share).
#include "matrix_file.h"

#include <sys/resource.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>

#include "formats/support.h"
#include "output_file.h"

namespace qivla {

using namespace formats;

// ---- public ---------------------------------------------------------------------------

std::int64_t MatrixFile::nonzeros() const {
    std::int64_t count = 0;
    for (int j = 0; j < cols; ++j)
        for (int i = 0; i < rows; ++i)
            if (at(i, j) != zcomplex(0.0, 0.0)) ++count;
    return count;
}

namespace {

// A number from a one-line file such as memory.max; false when the file is
// missing or says "max".
bool read_number_file(const std::string& path, std::uint64_t* out) {
    std::ifstream f(path);
    unsigned long long v = 0;
    if (!(f >> v)) return false;
    *out = v;
    return true;
}

// A "Key: N kB" line of a /proc file, in bytes.
bool proc_kib(const char* path, const std::string& wanted, std::uint64_t* out) {
    std::ifstream f(path);
    std::string key;
    unsigned long long kib = 0;
    std::string rest;
    while (f >> key) {
        if (key == wanted && f >> kib) {
            *out = static_cast<std::uint64_t>(kib) * 1024u;
            return true;
        }
        std::getline(f, rest);
    }
    return false;
}

// The memory this process's control group may still take (v2 and v1
// layouts); false when there is no limit.
bool cgroup_room(std::uint64_t* out) {
    std::ifstream self("/proc/self/cgroup");
    std::string line;
    bool found = false;
    std::uint64_t room = UINT64_MAX;
    while (std::getline(self, line)) {
        const std::size_t a = line.find(':'), b = line.find(':', a + 1);
        if (a == std::string::npos || b == std::string::npos) continue;
        const std::string controllers = line.substr(a + 1, b - a - 1), where = line.substr(b + 1);
        std::vector<std::pair<std::string, std::string>> files;
        if (controllers.empty()) {
            for (const std::string& dir : {"/sys/fs/cgroup" + where, std::string("/sys/fs/cgroup")})
                files.emplace_back(dir + "/memory.max", dir + "/memory.current");
        } else if (controllers == "memory") {
            for (const std::string& dir :
                 {"/sys/fs/cgroup/memory" + where, std::string("/sys/fs/cgroup/memory")})
                files.emplace_back(dir + "/memory.limit_in_bytes", dir + "/memory.usage_in_bytes");
        }
        for (const auto& f : files) {
            std::uint64_t limit = 0, used = 0;
            if (!read_number_file(f.first, &limit)) continue;
            read_number_file(f.second, &used);
            if (limit < (std::uint64_t(1) << 60)) {  // v1 writes "no limit" as a huge number
                room = std::min(room, limit > used ? limit - used : 0);
                found = true;
            }
            break;
        }
    }
    if (found) *out = room;
    return found;
}

}  // namespace

std::uint64_t memory_available() {
    if (const char* env = std::getenv("QIVLA_MEMORY_LIMIT")) {
        char* end = nullptr;
        const unsigned long long v = std::strtoull(env, &end, 10);
        if (end != env && *end == '\0') return v;
    }
    // The least of: the memory the system has available, the address space
    // left under the process's limit (ulimit -v), and the room left in its
    // control group.
    std::uint64_t room = std::uint64_t(8) << 30, v = 0;
    if (proc_kib("/proc/meminfo", "MemAvailable:", &v)) room = v;
    struct rlimit rl;
    if (getrlimit(RLIMIT_AS, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY) {
        std::uint64_t used = 0;
        proc_kib("/proc/self/status", "VmSize:", &used);
        const std::uint64_t limit = static_cast<std::uint64_t>(rl.rlim_cur);
        room = std::min(room, limit > used ? limit - used : 0);
    }
    if (cgroup_room(&v)) room = std::min(room, v);
    return room;
}

std::string format_bytes(double bytes) {
    const char* units[] = {"bytes", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    int u = 0;
    while (bytes >= 1024.0 && u < 6) {
        bytes /= 1024.0;
        ++u;
    }
    char buf[48];
    std::snprintf(buf, sizeof buf, u == 0 ? "%.0f %s" : "%.1f %s", bytes, units[u]);
    return buf;
}

std::string stem_of(const std::string& path) {
    std::string base =
        path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
    if (base.size() > 3 && lower(base.substr(base.size() - 3)) == ".gz")
        base.resize(base.size() - 3);
    const std::size_t dot = base.find_last_of('.');
    if (dot != std::string::npos && dot > 0) base.resize(dot);
    return base;
}

FileKind kind_from_name(const std::string& path) {
    std::string base = lower(path);
    if (base.size() > 3 && base.substr(base.size() - 3) == ".gz") base.resize(base.size() - 3);
    const std::size_t dot = base.find_last_of('.');
    if (dot == std::string::npos) return FileKind::unknown;
    const std::string ext = base.substr(dot + 1);
    if (ext == "mtx" || ext == "mm") return FileKind::matrix_market;
    if (ext == "hb" || ext == "rb" || ext == "hb" ||
        (ext.size() == 3 && std::string("rcp").find(ext[0]) != std::string::npos &&
         std::string("suhzr").find(ext[1]) != std::string::npos && ext[2] == 'a'))
        return FileKind::harwell_boeing;
    return FileKind::unknown;
}

const char* const not_a_matrix_file = "not a Matrix Market or Harwell-Boeing file";

MatrixFile read_matrix(const std::string& path, std::uint64_t max_bytes) {
    const FileKind named = kind_from_name(path);
    bool recognised = false;
    MatrixFile m;
    try {
        TextSource src(path);
        // Comments before the size line, or a title, take no more than this.
        src.set_byte_cap(std::uint64_t(64) << 20, "far more than a header needs");
        m.compressed = src.compressed();
        std::string first;
        if (!src.next(&first)) throw FileError(path, 0, "the file is empty");
        if (lower(first.substr(0, 14)) == "%%matrixmarket") {
            recognised = true;
            m = read_matrix_market(src, first, max_bytes);
        } else if (named == FileKind::matrix_market) {
            src.fail("a Matrix Market file begins with %%MatrixMarket");
        } else if (!first.empty() && first[0] == '%') {
            src.fail(not_a_matrix_file);
        } else {
            m = read_harwell_boeing(src, first, max_bytes, &recognised);
        }
        m.compressed = src.compressed();
    } catch (const FileError& e) {
        // Text (or bytes) that is neither format at all gets one message, not
        // the complaint of whichever reader tried it last; a file named as
        // one of the formats gets that reader's message.
        if (recognised || named != FileKind::unknown || e.line() == 0) throw;
        const bool nul = e.message().find("NUL byte") != std::string::npos;
        throw FileError(path, 0,
                        std::string(not_a_matrix_file) +
                            (nul ? " (line " + std::to_string(e.line()) + " holds a NUL byte)"
                                 : std::string()));
    }
    if (m.name.empty()) m.name = path == "-" ? "stdin" : stem_of(path);
    m.path = path;
    return m;
}

}  // namespace qivla
