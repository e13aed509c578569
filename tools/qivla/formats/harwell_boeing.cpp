// The Harwell-Boeing reader (fixed-width Fortran fields) and writer.
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

}  // namespace

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
        widest = std::max(widest,
                          static_cast<std::size_t>(f->repeat) * static_cast<std::size_t>(f->width));
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
                    src.fail("diagonal entry " +
                             pos(static_cast<long long>(value_col) + 1,
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

}  // namespace formats

using namespace formats;

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
