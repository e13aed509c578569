// What both readers and both writers use: tokens, numbers as the files
// write them, the memory budget, symmetric expansion, and the check that a
// written file reads back.
#include "formats/support.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "output_file.h"

namespace qivla {
namespace formats {

// ---- small text helpers ------------------------------------------------------

std::vector<std::string> split(const std::string& line) {
    std::vector<std::string> tokens;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        const std::size_t start = i;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
        if (i > start) tokens.push_back(line.substr(start, i - start));
    }
    return tokens;
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

// A token of the file in a message: quoted, and cut when long (escaping
// happens in FileError).
std::string quoted(const std::string& s) {
    return "'" + (s.size() > 40 ? s.substr(0, 40) + "..." : s) + "'";
}

// A whole token as a non-negative or signed decimal integer.
bool parse_integer(const std::string& token, long long* out) {
    if (token.empty()) return false;
    std::size_t i = (token[0] == '+' || token[0] == '-') ? 1 : 0;
    if (i == token.size()) return false;
    for (std::size_t k = i; k < token.size(); ++k)
        if (!std::isdigit(static_cast<unsigned char>(token[k]))) return false;
    errno = 0;
    const long long v = std::strtoll(token.c_str(), nullptr, 10);
    if (errno == ERANGE) return false;
    *out = v;
    return true;
}

// Both readers take decimal numbers only (digits, a point, an exponent):
// hexadecimal floats, infinities and NaNs are refused. A value too large for
// binary64 and a nonzero value too small for it (below the smallest
// subnormal, 4.9e-324) are refused alike rather than turned into an infinity
// or a silent zero; subnormals are kept, so written files read back.

// Converts text of the form [sign] digits [. digits] e [sign] digits, already
// checked, to binary64.
RealStatus decimal_value(const std::string& text, double* out) {
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(text.c_str(), &end);
    if (*end != '\0') return RealStatus::syntax;
    if (!std::isfinite(v)) return RealStatus::overflow;
    if (v == 0.0) {
        const std::size_t e = text.find_first_of("eE");
        const std::string mantissa = text.substr(0, e);
        if (mantissa.find_first_of("123456789") != std::string::npos) return RealStatus::underflow;
    }
    *out = v;
    return RealStatus::ok;
}

// A whole token as a decimal binary64 value.
RealStatus parse_real(const std::string& token, double* out) {
    std::size_t p = 0;
    if (p < token.size() && (token[p] == '+' || token[p] == '-')) ++p;
    std::size_t digits = 0;
    while (p < token.size() && std::isdigit(static_cast<unsigned char>(token[p]))) ++p, ++digits;
    if (p < token.size() && token[p] == '.') {
        ++p;
        while (p < token.size() && std::isdigit(static_cast<unsigned char>(token[p])))
            ++p, ++digits;
    }
    if (digits == 0) return RealStatus::syntax;
    if (p < token.size() && (token[p] == 'e' || token[p] == 'E')) {
        ++p;
        if (p < token.size() && (token[p] == '+' || token[p] == '-')) ++p;
        const std::size_t first = p;
        while (p < token.size() && std::isdigit(static_cast<unsigned char>(token[p]))) ++p;
        if (p == first) return RealStatus::syntax;
    }
    if (p != token.size()) return RealStatus::syntax;
    return decimal_value(token, out);
}

// The message for a value that is not accepted.
std::string real_problem(const std::string& what, const std::string& token, RealStatus status,
                         const std::string& format_note) {
    const std::string head = what + " " + quoted(token);
    switch (status) {
        case RealStatus::overflow:
            return head + " overflows: its magnitude exceeds the largest double (1.8e308)";
        case RealStatus::underflow:
            return head +
                   " underflows: its magnitude is below the smallest double (4.9e-324), so it "
                   "would read as zero";
        default:
            return head + " is not a finite number" + format_note;
    }
}

// Checked arithmetic for counts read from files.
bool add_count(long long a, long long b, long long* sum) {
    return !__builtin_add_overflow(a, b, sum);
}

std::string pos(long long i, long long j) {
    return "(" + std::to_string(i) + ", " + std::to_string(j) + ")";
}

double dense_bytes(const MatrixFile& m) {
    return static_cast<double>(std::max(1, m.rows)) * m.cols * 16.0;
}

// Refuses a file before anything is allocated for it when the dense matrix
// and the reader's own arrays (extra bytes) would not fit.
void check_budget(const MatrixFile& m, const TextSource& src, long line, double extra,
                  std::uint64_t max_bytes) {
    const double dense = dense_bytes(m), bytes = dense + extra;
    if (bytes > static_cast<double>(max_bytes))
        src.fail_at(line, "a dense " + std::to_string(m.rows) + " x " + std::to_string(m.cols) +
                              " complex matrix needs " + format_bytes(dense) +
                              (format_bytes(bytes) != format_bytes(dense)
                                   ? " of memory (" + format_bytes(bytes) + " while it is read)"
                                   : std::string(" of memory")) +
                              ", but only " + format_bytes(static_cast<double>(max_bytes)) +
                              " is available");
}

// Allocates the dense rows x cols matrix, once the file has been read.
void allocate(MatrixFile* m, const TextSource& src, long line) {
    const double bytes = dense_bytes(*m);
    try {
        m->a.assign(
            static_cast<std::size_t>(std::max(1, m->rows)) * static_cast<std::size_t>(m->cols),
            zcomplex(0.0, 0.0));
    } catch (const std::bad_alloc&) {
        src.fail_at(line, "not enough memory for a dense " + std::to_string(m->rows) + " x " +
                              std::to_string(m->cols) + " complex matrix (" + format_bytes(bytes) +
                              ")");
    }
}

long long checked_dimension(const TextSource& src, const std::string& token, const char* what) {
    long long v = 0;
    if (!parse_integer(token, &v))
        src.fail(std::string(what) + " " + quoted(token) + " is not an integer");
    if (v < 0) src.fail(std::string(what) + " " + std::to_string(v) + " is negative");
    if (v > INT_MAX)
        src.fail(std::string(what) + " " + std::to_string(v) +
                 " exceeds the largest order the module takes (" + std::to_string(INT_MAX) + ")");
    return v;
}

void place(MatrixFile* m, Symmetry sym, int i, int j, zcomplex v) {
    m->at(i, j) = v;
    if (i == j) return;
    switch (sym) {
        case Symmetry::general:
            break;
        case Symmetry::symmetric:
            m->at(j, i) = v;
            break;
        case Symmetry::hermitian:
            m->at(j, i) = std::conj(v);
            break;
        case Symmetry::skew:
            m->at(j, i) = -v;
            break;
    }
}

// ---- writing ------------------------------------------------------------------------

std::string g17(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

// Every value written must read back: the readers refuse infinities and NaNs.
void require_finite(const std::string& path, const MatrixFile& m) {
    for (const zcomplex& z : m.a)
        if (!std::isfinite(z.real()) || !std::isfinite(z.imag()))
            throw FileError(path, 0,
                            "not written: the matrix holds an infinity or NaN, which neither file "
                            "format can hold");
}

// Reads the staged file back and compares it bit for bit before it is put
// in place: a file the tool cannot read back is never left behind.
void verify_and_commit(OutputFile& out, const MatrixFile& m) {
    out.finish();
    if (!out.staged_path().empty()) {
        MatrixFile back;
        try {
            back = read_matrix(out.staged_path(), UINT64_MAX);
        } catch (const FileError& e) {
            throw FileError(out.path(), 0,
                            "not written: the file would not read back (" + e.message() + ")");
        }
        bool same = back.rows == m.rows && back.cols == m.cols && back.a.size() == m.a.size();
        for (std::size_t k = 0; same && k < m.a.size(); ++k)
            same = std::memcmp(&back.a[k], &m.a[k], sizeof(zcomplex)) == 0;
        if (!same)
            throw FileError(out.path(), 0, "not written: the file would not read back bit for bit");
    }
    out.commit();
}

// The writers keep the sign of a zero: an entry is left out of a sparse file
// only when both its parts are +0, and the file is real only when every
// imaginary part is +0, so that everything reads back bit for bit.
bool plus_zero(double v) { return v == 0.0 && !std::signbit(v); }
bool stored(const zcomplex& z) { return !plus_zero(z.real()) || !plus_zero(z.imag()); }

std::int64_t stored_count(const MatrixFile& m) {
    return std::count_if(m.a.begin(), m.a.end(), stored);
}

bool all_real(const MatrixFile& m) {
    return std::all_of(m.a.begin(), m.a.end(),
                       [](const zcomplex& z) { return plus_zero(z.imag()); });
}

std::string padded(const std::string& s, std::size_t width) {
    std::string r = s.substr(0, width);
    r.resize(width, ' ');
    return r;
}

std::string right(const std::string& s, std::size_t width) {
    return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

}  // namespace formats
}  // namespace qivla
