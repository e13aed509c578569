// The Matrix Market reader and writer.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "formats/support.h"
#include "output_file.h"

namespace qivla {
namespace formats {

namespace {

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

}  // namespace

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
        src.set_byte_cap(
            src.bytes_read() + (std::uint64_t(64) << 20) + static_cast<std::uint64_t>(items) * 256u,
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

}  // namespace formats

using namespace formats;

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

}  // namespace qivla
