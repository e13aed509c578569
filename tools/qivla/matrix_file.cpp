#include "matrix_file.h"

#include "output_file.h"

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

namespace qivla {

namespace {

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

bool blank(const std::string& s) { return trim(s).empty(); }

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
enum class RealStatus { ok, syntax, overflow, underflow };

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
        while (p < token.size() && std::isdigit(static_cast<unsigned char>(token[p]))) ++p, ++digits;
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
                         const std::string& format_note = "") {
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
                              (format_bytes(bytes) != format_bytes(dense) ? " of memory (" + format_bytes(bytes) +
                                                 " while it is read)"
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

// ---- Matrix Market --------------------------------------------------------------

enum class Symmetry { general, symmetric, hermitian, skew };

struct Entry {
    int i, j;  // 0-based
    zcomplex v;
    long line;
};

// The value tokens of one entry (none for pattern) as a complex number.
zcomplex mm_value(const TextSource& src, const std::vector<std::string>& t, std::size_t first,
                  const std::string& field) {
    if (field == "pattern") return zcomplex(1.0, 0.0);
    double re = 0.0, im = 0.0;
    if (field == "integer") {
        long long v = 0;
        if (!parse_integer(t[first], &v))
            src.fail("value " + quoted(t[first]) + " is not an integer");
        return zcomplex(static_cast<double>(v), 0.0);
    }
    RealStatus st = parse_real(t[first], &re);
    if (st != RealStatus::ok) src.fail(real_problem("value", t[first], st));
    if (field == "complex" && (st = parse_real(t[first + 1], &im)) != RealStatus::ok)
        src.fail(real_problem("imaginary part", t[first + 1], st));
    return zcomplex(re, im);
}

// Checks an entry (i, j) (0-based) against the symmetry of the file.
void mm_check_triangle(const TextSource& src, Symmetry sym, int i, int j, zcomplex v) {
    if (sym == Symmetry::general) return;
    if (i < j)
        src.fail("entry " + pos(i + 1, j + 1) +
                 " lies above the diagonal: a symmetric, hermitian or skew-symmetric file stores "
                 "only the lower triangle");
    if (sym == Symmetry::skew && i == j)
        src.fail("entry " + pos(i + 1, j + 1) +
                 " lies on the diagonal: a skew-symmetric file stores no diagonal entries");
    if (sym == Symmetry::hermitian && i == j && v.imag() != 0.0)
        src.fail("diagonal entry " + pos(i + 1, j + 1) +
                 " of a hermitian matrix has a nonzero imaginary part");
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

MatrixFile read_matrix_market(TextSource& src, const std::string& banner, std::uint64_t max_bytes) {
    MatrixFile m;
    const std::vector<std::string> h = split(banner);
    if (h.size() != 5)
        src.fail("the header must read %%MatrixMarket matrix FORMAT FIELD SYMMETRY (" +
                 std::to_string(h.size()) + " words found)");
    const std::string object = lower(h[1]), format = lower(h[2]), field = lower(h[3]),
                      symmetry = lower(h[4]);
    if (object != "matrix")
        src.fail("object " + quoted(h[1]) + " is not supported: only 'matrix' is");
    if (format != "coordinate" && format != "array")
        src.fail("format " + quoted(h[2]) + " is unknown: it must be 'coordinate' or 'array'");
    if (field != "real" && field != "complex" && field != "integer" && field != "pattern")
        src.fail("field " + quoted(h[3]) +
                 " is unknown: it must be real, complex, integer or pattern");
    Symmetry sym = Symmetry::general;
    if (symmetry == "symmetric") {
        sym = Symmetry::symmetric;
    } else if (symmetry == "hermitian") {
        sym = Symmetry::hermitian;
    } else if (symmetry == "skew-symmetric") {
        sym = Symmetry::skew;
    } else if (symmetry != "general") {
        src.fail("symmetry " + quoted(h[4]) +
                 " is unknown: it must be general, symmetric, hermitian or skew-symmetric");
    }
    if (field == "pattern" && format == "array")
        src.fail("a pattern matrix cannot be stored as an array");
    if (field == "pattern" && sym != Symmetry::general && sym != Symmetry::symmetric)
        src.fail("a pattern matrix can only be general or symmetric");
    if (sym == Symmetry::hermitian && field != "complex")
        src.fail("a hermitian matrix must be complex");
    m.format = "Matrix Market " + format + " " + field + " " + symmetry;

    // Comments, then the size line.
    std::string line;
    std::vector<std::string> size;
    for (;;) {
        if (!src.next(&line))
            src.fail_at(src.line_number() + 1, "the file ends before the size line");
        if (!line.empty() && line[0] == '%') {
            if (m.title.empty()) m.title = trim(line.substr(1));
            continue;
        }
        if (blank(line)) continue;
        size = split(line);
        break;
    }
    const long size_line = src.line_number();
    const bool coordinate = format == "coordinate";
    const std::size_t size_words = coordinate ? 3 : 2;
    if (size.size() != size_words)
        src.fail(std::string("the size line must hold ") +
                 (coordinate ? "3 numbers (rows, columns, entries)" : "2 numbers (rows, columns)") +
                 ", not " + std::to_string(size.size()));
    m.rows = static_cast<int>(checked_dimension(src, size[0], "the row count"));
    m.cols = static_cast<int>(checked_dimension(src, size[1], "the column count"));
    if (sym != Symmetry::general && m.rows != m.cols)
        src.fail("a " + symmetry + " matrix must be square, not " + std::to_string(m.rows) + " x " +
                 std::to_string(m.cols));
    const long long n = m.rows;
    // What the rest of the file may hold: its entries, some comments; no
    // more (a small compressed file can expand to gigabytes of blank lines).
    auto cap_text = [&](long long items) {
        src.set_byte_cap(src.bytes_read() + (std::uint64_t(64) << 20) +
                             static_cast<std::uint64_t>(items) * 256u,
                         "far more than the entries that the size line states need");
    };
    const long long capacity = sym == Symmetry::general ? n * m.cols
                               : sym == Symmetry::skew  ? n * (n - 1) / 2
                                                        : n * (n + 1) / 2;
    const std::size_t value_words = field == "pattern" ? 0 : field == "complex" ? 2 : 1;

    if (coordinate) {
        long long nnz = 0;
        if (!parse_integer(size[2], &nnz))
            src.fail("the entry count " + quoted(size[2]) + " is not an integer");
        if (nnz < 0) src.fail("the entry count " + std::to_string(nnz) + " is negative");
        if (nnz > capacity)
            src.fail("the entry count " + std::to_string(nnz) + " exceeds the " +
                     std::to_string(capacity) + " places a " + std::to_string(m.rows) + " x " +
                     std::to_string(m.cols) + " " + symmetry + " matrix has");
        check_budget(m, src, size_line, static_cast<double>(nnz) * sizeof(Entry), max_bytes);
        cap_text(nnz);
        std::vector<Entry> entries;
        entries.reserve(static_cast<std::size_t>(std::min<long long>(nnz, 1 << 22)));
        while (src.next(&line)) {
            if (blank(line) || line[0] == '%') continue;
            if (static_cast<long long>(entries.size()) == nnz)
                src.fail("more entries than the " + std::to_string(nnz) +
                         " that the size line (line " + std::to_string(size_line) + ") states");
            const std::vector<std::string> t = split(line);
            if (t.size() != 2 + value_words)
                src.fail("an entry of a " + field + " matrix has " +
                         std::to_string(2 + value_words) + " numbers (row, column" +
                         (value_words == 0   ? ""
                          : value_words == 1 ? ", value"
                                             : ", real and imaginary parts") +
                         "), not " + std::to_string(t.size()));
            long long i = 0, j = 0;
            if (!parse_integer(t[0], &i))
                src.fail("row index " + quoted(t[0]) + " is not an integer");
            if (!parse_integer(t[1], &j))
                src.fail("column index " + quoted(t[1]) + " is not an integer");
            if (i < 1 || i > m.rows || j < 1 || j > m.cols)
                src.fail("entry " + pos(i, j) + " lies outside the " + std::to_string(m.rows) +
                         " x " + std::to_string(m.cols) + " matrix");
            const zcomplex v = mm_value(src, t, 2, field);
            mm_check_triangle(src, sym, static_cast<int>(i - 1), static_cast<int>(j - 1), v);
            entries.push_back(
                Entry{static_cast<int>(i - 1), static_cast<int>(j - 1), v, src.line_number()});
        }
        if (static_cast<long long>(entries.size()) != nnz)
            src.fail_at(src.line_number() + 1,
                        "the file ends after " + std::to_string(entries.size()) + " of the " +
                            std::to_string(nnz) + " entries that the size line (line " +
                            std::to_string(size_line) + ") states");
        std::stable_sort(entries.begin(), entries.end(), [](const Entry& x, const Entry& y) {
            return x.j != y.j ? x.j < y.j : x.i < y.i;
        });
        for (std::size_t k = 1; k < entries.size(); ++k)
            if (entries[k].i == entries[k - 1].i && entries[k].j == entries[k - 1].j) {
                const Entry& a = entries[k - 1];
                const Entry& b = entries[k];
                src.fail_at(std::max(a.line, b.line),
                            "entry " + pos(a.i + 1, a.j + 1) + " appears twice (also on line " +
                                std::to_string(std::min(a.line, b.line)) + ")");
            }
        allocate(&m, src, size_line);
        for (const Entry& e : entries) place(&m, sym, e.i, e.j, e.v);
        m.stored = nnz;
    } else {
        // The values are kept as read and placed once they are all there, so
        // a file that promises more than it holds allocates no dense matrix.
        check_budget(m, src, size_line, static_cast<double>(capacity) * 16.0, max_bytes);
        cap_text(capacity);
        std::vector<zcomplex> values;
        long long count = 0;
        int i = 0, j = 0;  // next position, column by column
        if (sym != Symmetry::general) i = sym == Symmetry::skew ? 1 : 0;
        // Skips to the next stored position of column j (or beyond).
        auto advance = [&]() {
            ++i;
            if (i >= m.rows) {
                ++j;
                i = sym == Symmetry::general ? 0 : sym == Symmetry::skew ? j + 1 : j;
            }
        };
        while (src.next(&line)) {
            if (blank(line) || line[0] == '%') continue;
            if (count == capacity)
                src.fail("more values than the " + std::to_string(capacity) + " that a " +
                         std::to_string(m.rows) + " x " + std::to_string(m.cols) + " " + symmetry +
                         " array holds");
            const std::vector<std::string> t = split(line);
            if (t.size() != value_words)
                src.fail("a value of a " + field + " array has " + std::to_string(value_words) +
                         (value_words == 1 ? " number" : " numbers (real and imaginary parts)") +
                         ", not " + std::to_string(t.size()));
            const zcomplex v = mm_value(src, t, 0, field);
            mm_check_triangle(src, sym, i, j, v);
            values.push_back(v);
            ++count;
            advance();
        }
        if (count != capacity)
            src.fail_at(src.line_number() + 1,
                        "the file ends after " + std::to_string(count) + " of the " +
                            std::to_string(capacity) + " values of a " + std::to_string(m.rows) +
                            " x " + std::to_string(m.cols) + " " + symmetry + " array");
        allocate(&m, src, size_line);
        i = sym == Symmetry::skew ? 1 : 0;
        j = 0;
        for (const zcomplex& v : values) {
            place(&m, sym, i, j, v);
            advance();
        }
        m.stored = count;
    }
    return m;
}

// ---- Harwell-Boeing -------------------------------------------------------------

// One Fortran edit descriptor as the format line gives it, e.g. (20I4),
// (3D22.16), (1P,4E20.12).
struct FortranFormat {
    std::string text;
    int repeat = 1;
    char letter = 'I';
    int width = 0;
    int decimals = 0;
    int scale = 0;  // the P scale factor
};

bool parse_format(const std::string& text, FortranFormat* f) {
    f->text = text;
    std::string s;
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c)))
            s += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (s.size() < 3 || s.front() != '(' || s.back() != ')') return false;
    s = s.substr(1, s.size() - 2);
    std::size_t p = 0;
    auto number = [&](int* out) {
        std::size_t q = p;
        bool neg = false;
        if (q < s.size() && (s[q] == '-' || s[q] == '+')) neg = s[q++] == '-';
        const std::size_t d = q;
        while (q < s.size() && std::isdigit(static_cast<unsigned char>(s[q]))) ++q;
        if (q == d || q - d > 6) return false;
        *out = std::atoi(s.substr(d, q - d).c_str()) * (neg ? -1 : 1);
        p = q;
        return true;
    };
    int v = 0;
    const std::size_t start = p;
    if (number(&v) && p < s.size() && s[p] == 'P') {
        f->scale = v;
        ++p;
        if (p < s.size() && s[p] == ',') ++p;
    } else {
        p = start;
    }
    f->repeat = number(&v) ? v : 1;
    if (p >= s.size()) return false;
    f->letter = s[p++];
    if (std::string("IEDFG").find(f->letter) == std::string::npos) return false;
    if (!number(&f->width) || f->width <= 0) return false;
    if (p < s.size() && s[p] == '.') {
        ++p;
        if (!number(&f->decimals) || f->decimals < 0) return false;
    }
    if (p < s.size() && s[p] == 'E') {  // exponent width, as in E15.8E3
        ++p;
        int ew = 0;
        if (!number(&ew)) return false;
    }
    return p == s.size() && f->repeat > 0;
}

// A Fortran real field as the format reads it: blanks ignored, exponents with
// E, D or Q or with the sign alone (0.5-100), an implied decimal point when
// the field has none, and the scale factor when it has no exponent.
RealStatus parse_fortran_real(const std::string& field, const FortranFormat& f, double* out) {
    constexpr RealStatus bad = RealStatus::syntax;
    std::string s;
    for (char c : field)
        if (c != ' ') s += c;
    if (s.empty()) return bad;
    std::size_t p = 0;
    std::string text;
    if (s[p] == '+' || s[p] == '-') text += s[p++];
    std::string digits;
    bool point = false;
    while (p < s.size() &&
           (std::isdigit(static_cast<unsigned char>(s[p])) || (s[p] == '.' && !point))) {
        if (s[p] == '.') point = true;
        digits += s[p++];
    }
    if (digits.empty() || digits == ".") return bad;
    bool has_exponent = false;
    long exponent = 0;
    if (p < s.size()) {
        if (std::strchr("EeDdQq", s[p])) ++p;
        if (p >= s.size()) return bad;
        std::string e;
        if (s[p] == '+' || s[p] == '-') e += s[p++];
        const std::size_t first_digit = p;
        while (p < s.size() && std::isdigit(static_cast<unsigned char>(s[p]))) e += s[p++];
        if (p != s.size() || p == first_digit || e.size() > 8) return bad;
        exponent = std::strtol(e.c_str(), nullptr, 10);
        has_exponent = true;
    }
    long adjust = 0;
    if (!point) adjust -= f.decimals;
    if (!has_exponent) adjust -= f.scale;
    text += digits + "e" + std::to_string(exponent + adjust);
    return decimal_value(text, out);
}

// Reads count fixed-width fields laid out by fmt from the next lines of src,
// calling take(field, line, index) for each.
template <class Take>
void read_fields(TextSource& src, long long count, const FortranFormat& fmt, const char* what,
                 Take take) {
    std::string line;
    long long done = 0;
    while (done < count) {
        if (!src.next(&line))
            src.fail_at(src.line_number() + 1, std::string("the file ends after ") +
                                                   std::to_string(done) + " of the " +
                                                   std::to_string(count) + " " + what);
        const long long here = std::min<long long>(fmt.repeat, count - done);
        for (long long k = 0; k < here; ++k) {
            const std::size_t start =
                static_cast<std::size_t>(k) * static_cast<std::size_t>(fmt.width);
            const std::string field =
                start < line.size() ? line.substr(start, static_cast<std::size_t>(fmt.width)) : "";
            if (blank(field))
                src.fail("field " + std::to_string(k + 1) + " of " + std::to_string(here) + " (" +
                         what + ", format " + fmt.text + ") is " +
                         (start < line.size() ? "blank" : "missing: the line is too short"));
            take(field, done);
            ++done;
        }
    }
}

// *recognised turns true once lines 2 and 3 read as a Harwell-Boeing header.
MatrixFile read_harwell_boeing(TextSource& src, const std::string& line1, std::uint64_t max_bytes,
                               bool* recognised) {
    MatrixFile m;
    m.title = trim(line1.substr(0, std::min<std::size_t>(72, line1.size())));
    m.name = line1.size() > 72 ? trim(line1.substr(72, 8)) : "";
    std::string line;

    if (!src.next(&line))
        src.fail_at(2, "the file ends within the header (line 2 holds the line counts)");
    const std::vector<std::string> counts = split(line);
    if (counts.size() < 4 || counts.size() > 5)
        src.fail(
            "line 2 must hold 4 or 5 line counts (total, pointers, indices, values[, right-hand "
            "sides]), not " +
            std::to_string(counts.size()) + " words");
    long long card[5] = {0, 0, 0, 0, 0};
    const char* card_names[5] = {"total", "pointer", "index", "value", "right-hand side"};
    for (std::size_t k = 0; k < counts.size(); ++k)
        if (!parse_integer(counts[k], &card[k]) || card[k] < 0)
            src.fail(std::string("the ") + card_names[k] + " line count " + quoted(counts[k]) +
                     " is not a non-negative integer");
    long long card_sum = 0;
    for (std::size_t k = 1; k < 5; ++k)
        if (!add_count(card_sum, card[k], &card_sum))
            src.fail("the line counts add up to more than " + std::to_string(LLONG_MAX));
    if (card[0] != card_sum)
        src.fail("the total line count " + std::to_string(card[0]) +
                 " is not the sum of the others (" + std::to_string(card_sum) + ")");

    if (!src.next(&line))
        src.fail_at(3, "the file ends within the header (line 3 holds the type and the sizes)");
    const std::string type = upper(trim(line.substr(0, std::min<std::size_t>(3, line.size()))));
    if (type.size() != 3 || std::string("RCP").find(type[0]) == std::string::npos ||
        std::string("SUHZR").find(type[1]) == std::string::npos ||
        std::string("AE").find(type[2]) == std::string::npos)
        src.fail(
            "type " + quoted(type) +
            " is not a Harwell-Boeing matrix type (R, C or P; then S, U, H, Z or R; then A or E)");
    *recognised = true;
    if (type[2] == 'E')
        src.fail("type " + type +
                 " is an elemental matrix: only assembled ones (ending in A) are read");
    const std::vector<std::string> sizes = split(line.size() > 3 ? line.substr(3) : "");
    if (sizes.size() < 3)
        src.fail(
            "line 3 must give the type, the rows, the columns and the nonzeros, but has only " +
            std::to_string(sizes.size()) + " numbers after the type");
    m.rows = static_cast<int>(checked_dimension(src, sizes[0], "the row count"));
    m.cols = static_cast<int>(checked_dimension(src, sizes[1], "the column count"));
    long long nnz = 0;
    if (!parse_integer(sizes[2], &nnz) || nnz < 0)
        src.fail("the nonzero count " + quoted(sizes[2]) + " is not a non-negative integer");
    const char kind = type[1];
    if (kind != 'U' && kind != 'R' && m.rows != m.cols)
        src.fail("a matrix of type " + type + " must be square, not " + std::to_string(m.rows) +
                 " x " + std::to_string(m.cols));
    if (nnz > static_cast<long long>(m.rows) * m.cols)
        src.fail("the nonzero count " + std::to_string(nnz) + " exceeds the " +
                 std::to_string(static_cast<long long>(m.rows) * m.cols) + " places of the matrix");
    const long type_line = src.line_number();
    const bool pattern = type[0] == 'P', complex_values = type[0] == 'C';
    m.format = "Harwell-Boeing " + type;
    const long long values = pattern ? 0 : complex_values ? 2 * nnz : nnz;
    // Everything the reader will hold, counted before any of it is allocated:
    // column pointers and their lines, row indices, the row marks, the values
    // and, once they are read, the dense matrix.
    check_budget(m, src, type_line,
                 (static_cast<double>(m.cols) + 1.0) * 16.0 + static_cast<double>(nnz) * 4.0 +
                     static_cast<double>(std::max(1, m.rows)) * 4.0 +
                     static_cast<double>(values) * 8.0,
                 max_bytes);

    if (!src.next(&line))
        src.fail_at(4, "the file ends within the header (line 4 holds the formats)");
    std::vector<std::string> groups;
    for (std::size_t p = 0; (p = line.find('(', p)) != std::string::npos;) {
        std::size_t depth = 0, q = p;
        for (; q < line.size(); ++q) {
            if (line[q] == '(') ++depth;
            if (line[q] == ')' && --depth == 0) break;
        }
        if (q >= line.size()) src.fail("a format on line 4 lacks its closing parenthesis");
        groups.push_back(line.substr(p, q - p + 1));
        p = q + 1;
    }
    const std::size_t needed = pattern ? 2 : 3;
    if (groups.size() < needed)
        src.fail("line 4 must give the formats of the pointers, the indices" +
                 std::string(pattern ? "" : " and the values") + ", but has " +
                 std::to_string(groups.size()));
    FortranFormat ptr_fmt, ind_fmt, val_fmt;
    if (!parse_format(groups[0], &ptr_fmt) || ptr_fmt.letter != 'I')
        src.fail("pointer format " + groups[0] + " is not an integer format such as (20I4)");
    if (!parse_format(groups[1], &ind_fmt) || ind_fmt.letter != 'I')
        src.fail("index format " + groups[1] + " is not an integer format such as (20I4)");
    if (!pattern && (!parse_format(groups[2], &val_fmt) || val_fmt.letter == 'I'))
        src.fail("value format " + groups[2] +
                 " is not a real format such as (3D22.16) or (1P,4E20.12)");
    if (card[4] > 0 && !src.next(&line))
        src.fail_at(5, "the file ends within the header (line 5 describes the right-hand sides)");

    // The stated line counts must be what the formats need.
    auto lines_for = [](long long count, const FortranFormat& f) {
        return count / f.repeat + (count % f.repeat != 0 ? 1 : 0);
    };
    const struct {
        long long stated, need, items;
        const char* what;
        const FortranFormat* fmt;
    } sections[3] = {
        {card[1], lines_for(static_cast<long long>(m.cols) + 1, ptr_fmt), m.cols + 1LL,
         "column pointers", &ptr_fmt},
        {card[2], lines_for(nnz, ind_fmt), nnz, "row indices", &ind_fmt},
        {card[3], pattern ? 0 : lines_for(values, val_fmt), values, "values", &val_fmt}};
    for (const auto& sec : sections)
        if (sec.stated != sec.need)
            src.fail_at(2, "the header states " + std::to_string(sec.stated) + " lines of " +
                               sec.what + ", but " + std::to_string(sec.items) + " " + sec.what +
                               " in format " + sec.fmt->text + " take " + std::to_string(sec.need));

    // The data lines are as long as the formats make them; nothing but blank
    // lines may follow them.
    std::size_t widest = 0;
    for (const FortranFormat* f : {&ptr_fmt, &ind_fmt, &val_fmt})
        widest = std::max(widest, static_cast<std::size_t>(f->repeat) *
                                      static_cast<std::size_t>(f->width));
    src.set_line_cap(std::max<std::size_t>(widest + 1024, 4096));
    src.set_byte_cap(src.bytes_read() + (std::uint64_t(1) << 20) +
                         static_cast<std::uint64_t>(card[0]) * (widest + 1024),
                     "far more than the data lines that line 2 states need");

    std::vector<long long> colptr(static_cast<std::size_t>(m.cols) + 1);
    std::vector<long> ptr_line(colptr.size());
    read_fields(src, m.cols + 1LL, ptr_fmt, "column pointers",
                [&](const std::string& f, long long k) {
                    long long v = 0;
                    if (!parse_integer(trim(f), &v))
                        src.fail("column pointer " + quoted(trim(f)) + " is not an integer");
                    colptr[static_cast<std::size_t>(k)] = v;
                    ptr_line[static_cast<std::size_t>(k)] = src.line_number();
                });
    if (colptr[0] != 1)
        src.fail_at(ptr_line[0],
                    "the first column pointer is " + std::to_string(colptr[0]) + "; it must be 1");
    for (std::size_t k = 1; k < colptr.size(); ++k)
        if (colptr[k] < colptr[k - 1])
            src.fail_at(ptr_line[k], "column pointer " + std::to_string(k + 1) + " (" +
                                         std::to_string(colptr[k]) +
                                         ") is smaller than the one before (" +
                                         std::to_string(colptr[k - 1]) + ")");
    if (colptr.back() != nnz + 1)
        src.fail_at(ptr_line.back(), "the last column pointer is " + std::to_string(colptr.back()) +
                                         ", but with the " + std::to_string(nnz) +
                                         " nonzeros stated on line " + std::to_string(type_line) +
                                         " it must be " + std::to_string(nnz + 1));

    // Row indices, checked column by column against the size, the triangle
    // and repetition.
    std::vector<int> rowind(static_cast<std::size_t>(nnz));
    std::vector<int> seen_in(static_cast<std::size_t>(std::max(1, m.rows)), -1);
    std::size_t col = 0;
    read_fields(src, nnz, ind_fmt, "row indices", [&](const std::string& f, long long k) {
        long long r = 0;
        if (!parse_integer(trim(f), &r))
            src.fail("row index " + quoted(trim(f)) + " is not an integer");
        while (colptr[col + 1] - 1 <= k) ++col;
        const long long c = static_cast<long long>(col) + 1;
        if (r < 1 || r > m.rows)
            src.fail("row index " + std::to_string(r) + " in column " + std::to_string(c) +
                     " lies outside the " + std::to_string(m.rows) + " rows");
        if (kind != 'U' && kind != 'R' && r < c)
            src.fail("row index " + std::to_string(r) + " in column " + std::to_string(c) +
                     " lies above the diagonal: a matrix of type " + type +
                     " stores only the lower triangle");
        if (kind == 'Z' && r == c)
            src.fail("row index " + std::to_string(r) + " in column " + std::to_string(c) +
                     " lies on the diagonal of a skew-symmetric matrix");
        int& mark = seen_in[static_cast<std::size_t>(r - 1)];
        if (mark == static_cast<int>(col))
            src.fail("row index " + std::to_string(r) + " appears twice in column " +
                     std::to_string(c));
        mark = static_cast<int>(col);
        rowind[static_cast<std::size_t>(k)] = static_cast<int>(r - 1);
    });

    std::vector<double> parts(static_cast<std::size_t>(values));
    std::size_t value_col = 0;  // the column of the entry whose value is read
    if (!pattern)
        read_fields(src, values, val_fmt, "values", [&](const std::string& f, long long k) {
            double v = 0.0;
            const RealStatus st = parse_fortran_real(f, val_fmt, &v);
            if (st != RealStatus::ok)
                src.fail(real_problem("value", trim(f), st, " in format " + val_fmt.text));
            parts[static_cast<std::size_t>(k)] = v;
            // A hermitian matrix has a real diagonal, as in the Matrix Market
            // reader.
            if (kind == 'H' && complex_values && k % 2 == 1) {
                const long long e = k / 2;
                while (colptr[value_col + 1] - 1 <= e) ++value_col;
                if (rowind[static_cast<std::size_t>(e)] == static_cast<int>(value_col) && v != 0.0)
                    src.fail("diagonal entry " + pos(static_cast<long long>(value_col) + 1,
                                                     static_cast<long long>(value_col) + 1) +
                             " of a hermitian matrix has a nonzero imaginary part");
            }
        });
    for (long long k = 0; k < card[4]; ++k)
        if (!src.next(&line))
            src.fail_at(src.line_number() + 1, "the file ends after " + std::to_string(k) +
                                                   " of the " + std::to_string(card[4]) +
                                                   " lines of right-hand sides");
    while (src.next(&line))
        if (!blank(line))
            src.fail("text after the " + std::to_string(card[0]) +
                     " data lines that line 2 states");

    const Symmetry sym = kind == 'S'   ? Symmetry::symmetric
                         : kind == 'H' ? Symmetry::hermitian
                         : kind == 'Z' ? Symmetry::skew
                                       : Symmetry::general;
    allocate(&m, src, type_line);
    for (int j = 0; j < m.cols; ++j)
        for (long long k = colptr[static_cast<std::size_t>(j)] - 1;
             k < colptr[static_cast<std::size_t>(j) + 1] - 1; ++k) {
            const std::size_t kk = static_cast<std::size_t>(k);
            const zcomplex v = pattern          ? zcomplex(1.0, 0.0)
                               : complex_values ? zcomplex(parts[2 * kk], parts[2 * kk + 1])
                                                : zcomplex(parts[kk], 0.0);
            place(&m, sym, rowind[kk], j, v);
        }
    m.stored = nnz;
    return m;
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
            throw FileError(out.path(), 0, "not written: the file would not read back (" +
                                               e.message() + ")");
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
    return std::all_of(m.a.begin(), m.a.end(), [](const zcomplex& z) { return plus_zero(z.imag()); });
}

// A value in E format with 17 significant digits, right-aligned in width
// characters; a three-digit exponent drops its letter (1.5-100) as Fortran
// writes it.
std::string fortran_e(double v, int width) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.16E", v);
    std::string s = buf;
    const std::size_t e = s.find('E');
    if (e != std::string::npos && s.size() - e - 2 >= 3) s.erase(e, 1);
    if (static_cast<int>(s.size()) < width)
        s.insert(0, static_cast<std::size_t>(width) - s.size(), ' ');
    return s;
}

std::string padded(const std::string& s, std::size_t width) {
    std::string r = s.substr(0, width);
    r.resize(width, ' ');
    return r;
}

std::string right(const std::string& s, std::size_t width) {
    return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}

}  // namespace

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

void write_matrix_market(const std::string& path, const MatrixFile& m, bool array) {
    require_finite(path, m);
    const bool real = all_real(m);
    OutputFile out(path);
    out.put(std::string("%%MatrixMarket matrix ") + (array ? "array " : "coordinate ") +
            (real ? "real" : "complex") + " general\n");
    if (!m.title.empty()) out.put("% " + m.title + "\n");
    auto value = [&](const zcomplex& z) {
        return real ? g17(z.real()) : g17(z.real()) + " " + g17(z.imag());
    };
    if (array) {
        out.put(std::to_string(m.rows) + " " + std::to_string(m.cols) + "\n");
        for (int j = 0; j < m.cols; ++j)
            for (int i = 0; i < m.rows; ++i) out.put(value(m.at(i, j)) + "\n");
    } else {
        out.put(std::to_string(m.rows) + " " + std::to_string(m.cols) + " " +
                std::to_string(stored_count(m)) + "\n");
        for (int j = 0; j < m.cols; ++j)
            for (int i = 0; i < m.rows; ++i)
                if (stored(m.at(i, j)))
                    out.put(std::to_string(i + 1) + " " + std::to_string(j + 1) + " " +
                            value(m.at(i, j)) + "\n");
    }
    verify_and_commit(out, m);
}

void write_harwell_boeing(const std::string& path, const MatrixFile& m) {
    const bool real = all_real(m);
    const std::int64_t nnz = stored_count(m);
    // Integer fields one wider than the largest number; values 17 digits in
    // fields of 24 characters, which touch when a number needs all of them.
    const int iwidth =
        static_cast<int>(std::to_string(std::max<std::int64_t>(nnz + 1, m.rows)).size()) + 1;
    const int iper = std::max(1, 80 / iwidth);
    const int vwidth = 24, vper = 3;
    const std::string ifmt = "(" + std::to_string(iper) + "I" + std::to_string(iwidth) + ")";
    const std::string vfmt = "(" + std::to_string(vper) + "E" + std::to_string(vwidth) + ".16)";
    const std::int64_t values = real ? nnz : 2 * nnz;
    const std::int64_t ptrcrd = (m.cols + 1 + iper - 1) / iper, indcrd = (nnz + iper - 1) / iper,
                       valcrd = (values + vper - 1) / vper;

    require_finite(path, m);
    OutputFile out(path);
    std::string key = upper(m.name);
    for (char& c : key)
        if (std::isspace(static_cast<unsigned char>(c))) c = '_';
    // Line 1 must not begin with '%' (the readers take that for Matrix
    // Market), as a title from a Matrix Market comment may.
    auto no_percent = [](std::string t) {
        while (!t.empty() && (t[0] == '%' || std::isspace(static_cast<unsigned char>(t[0]))))
            t.erase(0, 1);
        return t;
    };
    std::string title = no_percent(m.title);
    if (title.empty()) title = no_percent(m.name);
    out.put(padded(title, 72) + padded(key, 8) + "\n");
    out.put(right(std::to_string(ptrcrd + indcrd + valcrd), 14) +
            right(std::to_string(ptrcrd), 14) + right(std::to_string(indcrd), 14) +
            right(std::to_string(valcrd), 14) + right("0", 14) + "\n");
    out.put(padded(real ? "RUA" : "CUA", 14) + right(std::to_string(m.rows), 14) +
            right(std::to_string(m.cols), 14) + right(std::to_string(nnz), 14) + right("0", 14) +
            "\n");
    out.put(padded(ifmt, 16) + padded(ifmt, 16) + padded(vfmt, 20) + padded(vfmt, 20) + "\n");

    auto emit = [&](std::vector<std::string> fields, int per) {
        std::string line;
        for (std::size_t k = 0; k < fields.size(); ++k) {
            line += fields[k];
            if ((k + 1) % static_cast<std::size_t>(per) == 0 || k + 1 == fields.size()) {
                out.put(line + "\n");
                line.clear();
            }
        }
    };
    std::vector<std::string> ptrs, rows, vals;
    std::int64_t next = 1;
    for (int j = 0; j < m.cols; ++j) {
        ptrs.push_back(right(std::to_string(next), static_cast<std::size_t>(iwidth)));
        for (int i = 0; i < m.rows; ++i) {
            const zcomplex z = m.at(i, j);
            if (!stored(z)) continue;
            rows.push_back(right(std::to_string(i + 1), static_cast<std::size_t>(iwidth)));
            vals.push_back(fortran_e(z.real(), vwidth));
            if (!real) vals.push_back(fortran_e(z.imag(), vwidth));
            ++next;
        }
    }
    ptrs.push_back(right(std::to_string(next), static_cast<std::size_t>(iwidth)));
    emit(ptrs, iper);
    emit(rows, iper);
    emit(vals, vper);
    verify_and_commit(out, m);
}

}  // namespace qivla
