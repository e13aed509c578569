// The matrix-file readers of qivla: every Matrix Market header variant and the
// Harwell-Boeing types and field layouts (touching fields, D exponents,
// exponents with the sign alone, scale factors, implied decimal points),
// plain and gzip-compressed; the shipped matrices against the independent
// test reader; write-read round trips in both formats; and broken files, each
// with the message, the line and the file it names.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "matrix_file.h"
#include "support/hb_reader.h"

namespace {

using qivla::FileError;
using qivla::MatrixFile;
using qivla::zcomplex;

constexpr std::uint64_t kPlenty = std::uint64_t(1) << 32;

// A fresh folder for the files of one test binary run.
const std::string& scratch() {
    static const std::string dir = [] {
        std::string templ = ::testing::TempDir() + "qivla_reader_XXXXXX";
        std::vector<char> buf(templ.begin(), templ.end());
        buf.push_back('\0');
        const char* made = mkdtemp(buf.data());
        return std::string(made ? made : "/tmp") + "/";
    }();
    return dir;
}

std::string write_file(const std::string& name, const std::string& text, bool gzip = false) {
    const std::string path = scratch() + name;
    if (gzip) {
        gzFile gz = gzopen(path.c_str(), "wb");
        gzwrite(gz, text.data(), static_cast<unsigned>(text.size()));
        gzclose(gz);
    } else {
        std::ofstream(path, std::ios::binary) << text;
    }
    return path;
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Bitwise equality of the dense result with the expected column-major matrix.
::testing::AssertionResult same_matrix(const MatrixFile& m, int rows, int cols,
                                       const std::vector<zcomplex>& want) {
    if (m.rows != rows || m.cols != cols)
        return ::testing::AssertionFailure()
               << "size " << m.rows << " x " << m.cols << ", want " << rows << " x " << cols;
    for (int j = 0; j < cols; ++j)
        for (int i = 0; i < rows; ++i) {
            const zcomplex got = m.at(i, j), w = want[static_cast<std::size_t>(i + j * rows)];
            if (!same_bits(got.real(), w.real()) || !same_bits(got.imag(), w.imag()))
                return ::testing::AssertionFailure()
                       << "(" << i + 1 << ", " << j + 1 << ") is " << got << ", want " << w;
        }
    return ::testing::AssertionSuccess();
}

std::string g17(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

// ---- Matrix Market: every header variant ---------------------------------------

enum class Sym { general, symmetric, hermitian, skew };

struct Variant {
    const char* format;
    const char* field;
    Sym sym;
    const char* sym_word;
};

// A random matrix with the variant's structure and kind of values.
std::vector<zcomplex> random_matrix(int rows, int cols, const Variant& v, std::mt19937_64& gen) {
    std::uniform_real_distribution<double> real(-10.0, 10.0);
    std::uniform_int_distribution<int> integer(-99, 99);
    std::bernoulli_distribution keep(0.6);
    const std::string field = v.field;
    auto draw = [&]() -> zcomplex {
        if (field == "pattern") return zcomplex(1.0, 0.0);
        if (field == "integer") return zcomplex(static_cast<double>(integer(gen)), 0.0);
        if (field == "real") return zcomplex(real(gen), 0.0);
        return zcomplex(real(gen), real(gen));
    };
    std::vector<zcomplex> a(static_cast<std::size_t>(rows * cols), zcomplex(0.0, 0.0));
    const bool sparse = std::string(v.format) == "coordinate";
    for (int j = 0; j < cols; ++j)
        for (int i = 0; i < rows; ++i) {
            if (v.sym != Sym::general && i < j) continue;
            if (v.sym == Sym::skew && i == j) continue;
            if (sparse && !keep(gen)) continue;
            zcomplex z = draw();
            if (v.sym == Sym::hermitian && i == j) z = zcomplex(z.real(), 0.0);
            a[static_cast<std::size_t>(i + j * rows)] = z;
            if (i == j) continue;
            zcomplex& mirror = a[static_cast<std::size_t>(j + i * rows)];
            if (v.sym == Sym::symmetric) mirror = z;
            if (v.sym == Sym::hermitian) mirror = std::conj(z);
            if (v.sym == Sym::skew) mirror = -z;
        }
    return a;
}

// The file text of the variant, storing only the lower triangle of a
// symmetric kind, with comments, blank lines and mixed-case header words.
std::string mm_text(int rows, int cols, const std::vector<zcomplex>& a, const Variant& v,
                    bool crlf) {
    const std::string nl = crlf ? "\r\n" : "\n";
    const std::string field = v.field;
    std::string body;
    long count = 0;
    auto value = [&](zcomplex z) {
        if (field == "pattern") return std::string();
        if (field == "integer") return " " + std::to_string(static_cast<long>(z.real()));
        if (field == "real") return " " + g17(z.real());
        return " " + g17(z.real()) + "   " + g17(z.imag());
    };
    const bool coordinate = std::string(v.format) == "coordinate";
    for (int j = 0; j < cols; ++j)
        for (int i = 0; i < rows; ++i) {
            if (v.sym != Sym::general && i < j) continue;
            if (v.sym == Sym::skew && i == j) continue;
            const zcomplex z = a[static_cast<std::size_t>(i + j * rows)];
            if (coordinate) {
                if (z == zcomplex(0.0, 0.0)) continue;
                body += std::to_string(i + 1) + " " + std::to_string(j + 1) + value(z) + nl;
            } else {
                body += value(z).substr(1) + nl;
            }
            ++count;
            if (count % 7 == 0) body += nl;  // blank lines are allowed between data lines
        }
    std::string head =
        "%%MatrixMarket Matrix " + std::string(v.format) + " " + field + " " + v.sym_word + nl;
    for (char& c : head)
        if (&c > &head[20] && c >= 'a' && c <= 'z' && (&c - &head[0]) % 3 == 0)
            c = static_cast<char>(c - 32);
    head += "% a test matrix" + nl + "%" + nl;
    head += std::to_string(rows) + " " + std::to_string(cols) +
            (coordinate ? " " + std::to_string(count) : "") + nl;
    return head + body;
}

TEST(MatrixMarket, EveryHeaderVariantReadsBackExactly) {
    const Variant variants[] = {
        {"coordinate", "real", Sym::general, "general"},
        {"coordinate", "complex", Sym::general, "general"},
        {"coordinate", "integer", Sym::general, "general"},
        {"coordinate", "pattern", Sym::general, "general"},
        {"coordinate", "real", Sym::symmetric, "symmetric"},
        {"coordinate", "complex", Sym::symmetric, "symmetric"},
        {"coordinate", "integer", Sym::symmetric, "symmetric"},
        {"coordinate", "pattern", Sym::symmetric, "symmetric"},
        {"coordinate", "complex", Sym::hermitian, "hermitian"},
        {"coordinate", "real", Sym::skew, "skew-symmetric"},
        {"coordinate", "complex", Sym::skew, "skew-symmetric"},
        {"coordinate", "integer", Sym::skew, "skew-symmetric"},
        {"array", "real", Sym::general, "general"},
        {"array", "complex", Sym::general, "general"},
        {"array", "integer", Sym::general, "general"},
        {"array", "real", Sym::symmetric, "symmetric"},
        {"array", "complex", Sym::symmetric, "symmetric"},
        {"array", "complex", Sym::hermitian, "hermitian"},
        {"array", "real", Sym::skew, "skew-symmetric"},
        {"array", "complex", Sym::skew, "skew-symmetric"},
    };
    std::mt19937_64 gen(2024);
    int k = 0;
    for (const Variant& v : variants) {
        for (int shape = 0; shape < 2; ++shape) {
            const int rows = v.sym == Sym::general && shape == 1 ? 3 : 6;
            const int cols = v.sym == Sym::general && shape == 1 ? 8 : 6;
            const std::vector<zcomplex> a = random_matrix(rows, cols, v, gen);
            const bool crlf = (k % 3) == 1, gzip = (k % 4) == 2;
            const std::string text = mm_text(rows, cols, a, v, crlf);
            const std::string path = write_file(
                "variant" + std::to_string(k++) + ".mtx" + (gzip ? ".gz" : ""), text, gzip);
            SCOPED_TRACE(std::string(v.format) + " " + v.field + " " + v.sym_word +
                         (crlf ? " CRLF" : "") + (gzip ? " gzip" : ""));
            const MatrixFile m = qivla::read_matrix(path, kPlenty);
            EXPECT_TRUE(same_matrix(m, rows, cols, a));
            EXPECT_EQ(m.compressed, gzip);
            EXPECT_EQ(m.title, "a test matrix");
            EXPECT_NE(m.format.find(v.sym_word), std::string::npos) << m.format;
        }
    }
}

// ---- Harwell-Boeing -----------------------------------------------------------------

// Fields of one kind written in a fixed width, per per line.
std::string fields(const std::vector<std::string>& items, int per) {
    std::string s;
    for (std::size_t k = 0; k < items.size(); ++k) {
        s += items[k];
        if ((k + 1) % static_cast<std::size_t>(per) == 0 || k + 1 == items.size()) s += "\n";
    }
    return s;
}

std::string rjust(const std::string& s, std::size_t w) {
    return s.size() >= w ? s : std::string(w - s.size(), ' ') + s;
}
std::string ljust(const std::string& s, std::size_t w) {
    return s.size() >= w ? s.substr(0, w) : s + std::string(w - s.size(), ' ');
}

struct HbSpec {
    std::string type;  // e.g. "RUA"
    int rows, cols;
    std::vector<std::vector<int>> pattern;        // row indices (1-based) of each column
    std::vector<std::string> values;              // value fields, already formatted
    std::string ptr_fmt, ind_fmt, val_fmt;        // e.g. "(8I3)"
    int ptr_per, ptr_w, ind_per, ind_w, val_per;  // layout of those formats
};

std::string hb_text(const HbSpec& s, const std::string& title = "A TEST MATRIX",
                    const std::string& key = "TEST1") {
    std::vector<std::string> ptr, ind;
    int next = 1;
    for (const auto& col : s.pattern) {
        ptr.push_back(rjust(std::to_string(next), static_cast<std::size_t>(s.ptr_w)));
        for (int r : col)
            ind.push_back(rjust(std::to_string(r), static_cast<std::size_t>(s.ind_w)));
        next += static_cast<int>(col.size());
    }
    ptr.push_back(rjust(std::to_string(next), static_cast<std::size_t>(s.ptr_w)));
    auto lines = [](std::size_t n, int per) { return (static_cast<long>(n) + per - 1) / per; };
    const long pl = lines(ptr.size(), s.ptr_per), il = lines(ind.size(), s.ind_per),
               vl = s.values.empty() ? 0 : lines(s.values.size(), s.val_per);
    std::string t = ljust(title, 72) + ljust(key, 8) + "\n";
    t += rjust(std::to_string(pl + il + vl), 14) + rjust(std::to_string(pl), 14) +
         rjust(std::to_string(il), 14) + rjust(std::to_string(vl), 14) + rjust("0", 14) + "\n";
    t += ljust(s.type, 14) + rjust(std::to_string(s.rows), 14) + rjust(std::to_string(s.cols), 14) +
         rjust(std::to_string(next - 1), 14) + rjust("0", 14) + "\n";
    t += ljust(s.ptr_fmt, 16) + ljust(s.ind_fmt, 16) + ljust(s.val_fmt, 20) + ljust(s.val_fmt, 20) +
         "\n";
    t += fields(ptr, s.ptr_per) + fields(ind, s.ind_per);
    if (!s.values.empty()) t += fields(s.values, s.val_per);
    return t;
}

// A value in E12.5 form, e.g. " 1.50000E+00".
std::string e12(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%12.5E", v);
    return buf;
}

// A 4 x 4 lower-triangular-plus pattern used by the typed variants below.
const std::vector<std::vector<int>> kLower = {{1, 2, 4}, {2, 3}, {3, 4}, {4}};
const std::vector<std::vector<int>> kStrictLower = {{2, 4}, {3}, {4}, {}};

TEST(HarwellBoeing, FieldLayoutsOfTheFormatLine) {
    // Values that touch with no blank between them, D exponents, exponents
    // written with the sign alone, a scale factor, implied decimal points.
    struct Case {
        const char* fmt;
        int per;
        std::vector<std::string> text;
        std::vector<double> want;
    } cases[] = {
        {"(3D22.15)",
         3,
         {"-0.100000000000000D+01", "0.2500000000000000D-02", "-1.234567890123456-100",
          "0.7500000000000000+001", "6.02214076000000000E23"},
         {-1.0, 0.25e-2, -1.234567890123456e-100, 7.5, 6.02214076e23}},
        // The scale factor 1P divides a value without an exponent by 10.
        {"(1P,4E13.5)",
         4,
         {"  1.50000E+00", "         -2.5", "          12.", "  3.00000D-01", " -4.00000-300"},
         {1.5, -0.25, 1.2, 0.3, -4e-300}},
        // Without a decimal point the last 3 digits are decimals; blanks are ignored.
        {"(5F8.3)",
         5,
         {"   12345", "  -1.5  ", " 1 2 . 5", "    -250", "  0.125 "},
         {12.345, -1.5, 12.5, -0.25, 0.125}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fmt);
        HbSpec s{"RUA", 5, 1,    {{1, 2, 3, 4, 5}}, c.text, "(2I2)", "(5I2)", c.fmt, 2, 2,
                 5,     2, c.per};
        const MatrixFile m = qivla::read_matrix(write_file("fields.rua", hb_text(s)), kPlenty);
        for (int i = 0; i < 5; ++i) {
            EXPECT_TRUE(same_bits(m.at(i, 0).real(), c.want[static_cast<std::size_t>(i)]))
                << "value " << i + 1 << ": " << g17(m.at(i, 0).real()) << ", want "
                << g17(c.want[static_cast<std::size_t>(i)]);
            EXPECT_EQ(m.at(i, 0).imag(), 0.0);
        }
    }
}

TEST(HarwellBoeing, MatrixTypesExpandToTheFullMatrix) {
    // Values k + 1 (real) or (k + 1) + (k + 1)/4 i (complex) for the k-th
    // stored entry, so each dense entry tells where it came from.
    struct Case {
        const char* type;
        bool complex_values;
        const std::vector<std::vector<int>>* pattern;
    } cases[] = {{"RUA", false, &kLower},       {"RSA", false, &kLower},
                 {"RZA", false, &kStrictLower}, {"CUA", true, &kLower},
                 {"CSA", true, &kLower},        {"CHA", true, &kLower},
                 {"CZA", true, &kStrictLower},  {"PUA", false, &kLower},
                 {"PSA", false, &kLower},       {"rua", false, &kLower}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        const std::string type = c.type;
        const bool pattern = type[0] == 'P';
        std::vector<std::string> vals;
        std::vector<zcomplex> want(16, zcomplex(0.0, 0.0));
        int k = 0;
        for (int j = 0; j < 4; ++j)
            for (int r : (*c.pattern)[static_cast<std::size_t>(j)]) {
                ++k;
                const int i = r - 1;
                zcomplex z =
                    pattern ? zcomplex(1.0, 0.0) : zcomplex(k, c.complex_values ? k / 4.0 : 0.0);
                if (type[1] == 'H' && i == j) z = zcomplex(z.real(), 0.0);
                if (!pattern) {
                    vals.push_back(e12(z.real()));
                    if (c.complex_values) vals.push_back(e12(z.imag()));
                }
                want[static_cast<std::size_t>(i + 4 * j)] = z;
                if (i == j) continue;
                const char kind = static_cast<char>(std::toupper(type[1]));
                zcomplex& mirror = want[static_cast<std::size_t>(j + 4 * i)];
                if (kind == 'S') mirror = z;
                if (kind == 'H') mirror = std::conj(z);
                if (kind == 'Z') mirror = -z;
            }
        HbSpec s{type, 4, 4, *c.pattern, vals, "(5I3)", "(4I3)", pattern ? "" : "(4E12.4)",
                 5,    3, 4, 3,          4};
        const MatrixFile m = qivla::read_matrix(write_file("types.hb", hb_text(s)), kPlenty);
        EXPECT_TRUE(same_matrix(m, 4, 4, want));
        EXPECT_EQ(m.name, "TEST1");
        EXPECT_EQ(m.title, "A TEST MATRIX");
    }
}

TEST(HarwellBoeing, ShippedMatricesAgreeWithTheIndependentReader) {
    const std::string files[] = {QIV_SOURCE_DIR "/tests/data/pde225.rua",
                                 QIV_SOURCE_DIR "/examples/data/pde900.rua"};
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        qivtest::HbMatrix hb;
        std::string error;
        ASSERT_TRUE(qivtest::read_hb(path, &hb, &error)) << error;
        const std::vector<qiv::zcomplex> dense = qivtest::hb_dense(hb, hb.nrow);
        std::vector<zcomplex> want;
        for (const auto& z : dense) want.emplace_back(z.re, z.im);
        std::ifstream in(path, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        for (bool gzip : {false, true}) {
            const MatrixFile m =
                gzip ? qivla::read_matrix(write_file("shipped.rua.gz", text, true), kPlenty)
                     : qivla::read_matrix(path, kPlenty);
            EXPECT_TRUE(same_matrix(m, hb.nrow, hb.ncol, want));
            EXPECT_EQ(m.nonzeros(), hb.nnz);
            EXPECT_EQ(m.name, hb.key.substr(0, hb.key.find_last_not_of(' ') + 1));
            EXPECT_EQ(m.format, "Harwell-Boeing RUA");
        }
    }
}

// ---- round trips ----------------------------------------------------------------------

TEST(RoundTrip, WrittenFilesReadBackBitForBit) {
    std::mt19937_64 gen(77);
    std::uniform_real_distribution<double> part(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-300, 300);
    // Values over the whole exponent range (three-digit exponents make the
    // Harwell-Boeing fields drop their E and touch), a subnormal, zeros.
    const int rows = 7, cols = 5;
    for (bool real : {false, true}) {
        MatrixFile m;
        m.rows = rows;
        m.cols = cols;
        m.name = "roundtrip";
        m.title = "round trip of a small matrix";
        m.a.resize(rows * cols);
        for (auto& z : m.a) {
            const double re = std::ldexp(part(gen), exponent(gen)),
                         im = real ? 0.0 : std::ldexp(part(gen), exponent(gen));
            z = zcomplex(re, im);
        }
        m.at(1, 1) = zcomplex(0.0, 0.0);
        m.at(2, 3) = zcomplex(4.9406564584124654e-324, real ? 0.0 : -1e-310);
        m.at(6, 4) = zcomplex(-1.7976931348623157e308, 0.0);
        // Signed zeros keep their sign, in a real file too.
        m.at(3, 0) = zcomplex(-0.0, 0.0);
        if (!real) m.at(4, 0) = zcomplex(0.0, -0.0);
        for (int i = 0; i < rows; ++i) m.at(i, 2) = zcomplex(0.0, 0.0);  // an empty column
        for (const char* name : {"rt.mtx", "rt_array.mtx", "rt.rua", "rt.mtx.gz", "rt.cua.gz"}) {
            SCOPED_TRACE(std::string(name) + (real ? " real" : " complex"));
            const std::string path = scratch() + name;
            const std::string n = name;
            if (n.find(".mtx") != std::string::npos)
                qivla::write_matrix_market(path, m, n.find("array") != std::string::npos);
            else
                qivla::write_harwell_boeing(path, m);
            const MatrixFile back = qivla::read_matrix(path, kPlenty);
            EXPECT_TRUE(same_matrix(back, rows, cols, m.a));
            EXPECT_EQ(back.title, m.title);
            EXPECT_EQ(back.compressed, n.find(".gz") != std::string::npos);
            const bool hb = n.find(".mtx") == std::string::npos;
            if (hb) {
                EXPECT_EQ(back.name, "ROUNDTRI");
                EXPECT_EQ(back.format, std::string("Harwell-Boeing ") + (real ? "RUA" : "CUA"));
            } else {
                EXPECT_NE(back.format.find(real ? "real" : "complex"), std::string::npos)
                    << back.format;
            }
        }
    }
}

// ---- broken files -------------------------------------------------------------------

struct Broken {
    const char* name;
    std::string text;
    long line;
    const char* message;
};

void expect_broken(const Broken& b, std::uint64_t max_bytes = kPlenty, bool gzip = false) {
    SCOPED_TRACE(b.name);
    const std::string path = write_file(b.name, b.text, gzip);
    try {
        qivla::read_matrix(path, max_bytes);
        ADD_FAILURE() << "no error for " << b.name;
    } catch (const FileError& e) {
        EXPECT_EQ(e.file(), path);
        EXPECT_EQ(e.line(), b.line) << e.what();
        EXPECT_EQ(e.message(), b.message);
        EXPECT_EQ(std::string(e.what()),
                  path + (b.line ? ", line " + std::to_string(b.line) : "") + ": " + b.message);
    }
}

const std::string kMM = "%%MatrixMarket matrix coordinate real general\n";

TEST(BrokenFiles, MatrixMarket) {
    const Broken cases[] = {
        {"outside.mtx", kMM + "2 2 2\n1 1 1.0\n3 1 1.0\n", 4,
         "entry (3, 1) lies outside the 2 x 2 matrix"},
        {"zero_index.mtx", kMM + "2 2 1\n0 1 1.0\n", 3,
         "entry (0, 1) lies outside the 2 x 2 matrix"},
        {"fewer.mtx", kMM + "2 2 3\n1 1 1\n2 2 1\n", 5,
         "the file ends after 2 of the 3 entries that the size line (line 2) states"},
        {"more.mtx", kMM + "% c\n2 2 1\n1 1 1\n\n2 2 2\n", 6,
         "more entries than the 1 that the size line (line 3) states"},
        {"twice.mtx", kMM + "3 3 3\n1 1 1\n2 1 5\n1 1 2\n", 5,
         "entry (1, 1) appears twice (also on line 3)"},
        {"too_many.mtx", kMM + "2 2 5\n", 2,
         "the entry count 5 exceeds the 4 places a 2 x 2 general matrix has"},
        {"upper.mtx", "%%MatrixMarket matrix coordinate real symmetric\n2 2 1\n1 2 1.0\n", 3,
         "entry (1, 2) lies above the diagonal: a symmetric, hermitian or skew-symmetric file "
         "stores only the lower "
         "triangle"},
        {"skew_diag.mtx", "%%MatrixMarket matrix coordinate real skew-symmetric\n2 2 1\n2 2 1.0\n",
         3, "entry (2, 2) lies on the diagonal: a skew-symmetric file stores no diagonal entries"},
        {"herm_diag.mtx",
         "%%MatrixMarket matrix coordinate complex hermitian\n2 2 1\n2 2 1.0 0.5\n", 3,
         "diagonal entry (2, 2) of a hermitian matrix has a nonzero imaginary part"},
        {"herm_real.mtx", "%%MatrixMarket matrix coordinate real hermitian\n", 1,
         "a hermitian matrix must be complex"},
        {"sym_rect.mtx", "%%MatrixMarket matrix array real symmetric\n2 3\n", 2,
         "a symmetric matrix must be square, not 2 x 3"},
        {"bad_value.mtx", kMM + "2 2 1\n1 1 1.0x\n", 3, "value '1.0x' is not a finite number"},
        {"nan_value.mtx", kMM + "2 2 1\n1 1 nan\n", 3, "value 'nan' is not a finite number"},
        {"bad_imag.mtx", "%%MatrixMarket matrix coordinate complex general\n1 1 1\n1 1 1 inf\n", 3,
         "imaginary part 'inf' is not a finite number"},
        {"not_int.mtx", "%%MatrixMarket matrix coordinate integer general\n1 1 1\n1 1 1.5\n", 3,
         "value '1.5' is not an integer"},
        {"words.mtx", kMM + "2 2 1\n1 1\n", 3,
         "an entry of a real matrix has 3 numbers (row, column, value), not 2"},
        {"words_c.mtx", "%%MatrixMarket matrix coordinate complex general\n2 2 1\n1 1 1\n", 3,
         "an entry of a complex matrix has 4 numbers (row, column, real and imaginary parts), not "
         "3"},
        {"index.mtx", kMM + "2 2 1\n1 x 1\n", 3, "column index 'x' is not an integer"},
        {"banner.mtx", "%%MatrixMarket matrix coordinate real\n", 1,
         "the header must read %%MatrixMarket matrix FORMAT FIELD SYMMETRY (4 words found)"},
        {"object.mtx", "%%MatrixMarket vector coordinate real general\n", 1,
         "object 'vector' is not supported: only 'matrix' is"},
        {"format.mtx", "%%MatrixMarket matrix sparse real general\n", 1,
         "format 'sparse' is unknown: it must be 'coordinate' or 'array'"},
        {"field.mtx", "%%MatrixMarket matrix coordinate double general\n", 1,
         "field 'double' is unknown: it must be real, complex, integer or pattern"},
        {"symmetry.mtx", "%%MatrixMarket matrix coordinate real upper\n", 1,
         "symmetry 'upper' is unknown: it must be general, symmetric, hermitian or skew-symmetric"},
        {"pattern_array.mtx", "%%MatrixMarket matrix array pattern general\n", 1,
         "a pattern matrix cannot be stored as an array"},
        {"no_size.mtx", kMM + "% only a comment\n", 3, "the file ends before the size line"},
        {"size_words.mtx", kMM + "2 2\n", 2,
         "the size line must hold 3 numbers (rows, columns, entries), not 2"},
        {"negative.mtx", kMM + "-2 2 0\n", 2, "the row count -2 is negative"},
        {"huge_order.mtx", kMM + "3000000000 1 0\n", 2,
         "the row count 3000000000 exceeds the largest order the module takes (2147483647)"},
        {"array_short.mtx", "%%MatrixMarket matrix array real general\n2 2\n1\n2\n3\n", 6,
         "the file ends after 3 of the 4 values of a 2 x 2 general array"},
        {"array_long.mtx", "%%MatrixMarket matrix array real skew-symmetric\n2 2\n1\n2\n", 4,
         "more values than the 1 that a 2 x 2 skew-symmetric array holds"},
        {"array_words.mtx", "%%MatrixMarket matrix array complex general\n1 1\n1\n", 3,
         "a value of a complex array has 2 numbers (real and imaginary parts), not 1"},
        {"no_banner.mtx", "2 2 1\n1 1 1\n", 1, "a Matrix Market file begins with %%MatrixMarket"},
        {"comment_only.dat", "% some notes\n", 0, "not a Matrix Market or Harwell-Boeing file"},
        {"empty.mtx", "", 0, "the file is empty"},
    };
    for (const Broken& b : cases) expect_broken(b);
}

TEST(BrokenFiles, TooLargeForMemoryIsRefusedBeforeReadingEntries) {
    expect_broken(
        {"big.mtx", kMM + "300 300 1\n1 1 1\n", 2,
         "a dense 300 x 300 complex matrix needs 1.4 MiB of memory, but only 1.0 MiB is available"},
        std::uint64_t(1) << 20);
    expect_broken({"huge.mtx", kMM + "1000000 1000000 1\n1 1 1\n", 2,
                   "a dense 1000000 x 1000000 complex matrix needs 14.6 TiB of memory, but only "
                   "4.0 GiB is available"});
    expect_broken(
        {"big.rua",
         hb_text(
             HbSpec{"RUA", 300, 300, {{1}}, {"1.0"}, "(2I4)", "(2I4)", "(2E8.1)", 2, 4, 2, 4, 2}),
         3,
         "a dense 300 x 300 complex matrix needs 1.4 MiB of memory, but only 1.0 MiB is available"},
        std::uint64_t(1) << 20);
    // Without a limit of its own, the reader takes what the system allows.
    setenv("QIVLA_MEMORY_LIMIT", "1000", 1);
    EXPECT_EQ(qivla::memory_available(), 1000u);
    unsetenv("QIVLA_MEMORY_LIMIT");
    EXPECT_GT(qivla::memory_available(), std::uint64_t(1) << 20);
}

TEST(BrokenFiles, HarwellBoeing) {
    // A valid 3 x 3 file with 6 entries; each case damages one thing.
    std::vector<std::string> six;
    for (const char* v : {"1.0", "2.0", "3.0", "4.0", "5.0", "6.0"}) six.push_back(rjust(v, 12));
    const HbSpec good{
        "RUA", 3, 3, {{1, 3}, {1, 2}, {2, 3}}, six, "(4I3)", "(3I3)", "(2E12.4)", 4, 3, 3, 3, 2};
    const std::string ok = hb_text(good);
    ASSERT_NO_THROW(qivla::read_matrix(write_file("good.rua", ok), kPlenty));
    auto lines_of = [](const std::string& text) {
        std::vector<std::string> v;
        std::size_t p = 0, q;
        while ((q = text.find('\n', p)) != std::string::npos) {
            v.push_back(text.substr(p, q - p));
            p = q + 1;
        }
        return v;
    };
    auto join = [](const std::vector<std::string>& v, std::size_t count) {
        std::string s;
        for (std::size_t k = 0; k < count && k < v.size(); ++k) s += v[k] + "\n";
        return s;
    };
    const std::vector<std::string> L =
        lines_of(ok);  // 0-3 header, 4 pointers, 5-6 indices, 7-9 values
    auto with = [&](std::size_t k, const std::string& line) {
        std::vector<std::string> v = L;
        v[k] = line;
        return join(v, v.size());
    };
    HbSpec upper = good;
    upper.type = "RSA";
    HbSpec twice = good;
    twice.pattern = {{1, 1}, {1, 2}, {2, 3}};
    const Broken cases[] = {
        {"truncated.rua", join(L, 6), 7, "the file ends after 3 of the 6 row indices"},
        {"truncated_values.rua", join(L, 9), 10, "the file ends after 4 of the 6 values"},
        {"header_only.rua", join(L, 2), 3,
         "the file ends within the header (line 3 holds the type and the sizes)"},
        {"row_outside.rua", with(5, "  1  4  1"), 6,
         "row index 4 in column 1 lies outside the 3 rows"},
        {"first_ptr.rua", with(4, "  2  3  5  7"), 5,
         "the first column pointer is 2; it must be 1"},
        {"ptr_order.rua", with(4, "  1  5  3  7"), 5,
         "column pointer 3 (3) is smaller than the one before (5)"},
        {"last_ptr.rua", with(4, "  1  3  5  6"), 5,
         "the last column pointer is 6, but with the 6 nonzeros stated on line 3 it must be 7"},
        {"short_line.rua", with(5, "  1  3"), 6,
         "field 3 of 3 (row indices, format (3I3)) is missing: the line is too short"},
        {"bad_index.rua", with(6, "  2 x2  3"), 7, "row index 'x2' is not an integer"},
        {"bad_value.rua", with(8, rjust("3.0", 12) + rjust("1.0X+00", 12)), 9,
         "value '1.0X+00' is not a finite number in format (2E12.4)"},
        {"cards.rua",
         with(1, "             7             1             2             4             0"), 2,
         "the header states 4 lines of values, but 6 values in format (2E12.4) take 3"},
        {"total.rua",
         with(1, "             9             1             2             3             0"), 2,
         "the total line count 9 is not the sum of the others (6)"},
        {"counts.rua", with(1, "             6             1             2"), 2,
         "line 2 must hold 4 or 5 line counts (total, pointers, indices, values[, right-hand "
         "sides]), not 3 words"},
        {"elemental.rua",
         with(2, "RUE                        3             3             6             0"), 3,
         "type RUE is an elemental matrix: only assembled ones (ending in A) are read"},
        {"type.rua",
         with(2, "XYZ                        3             3             6             0"), 3,
         "type 'XYZ' is not a Harwell-Boeing matrix type (R, C or P; then S, U, H, Z or R; then A "
         "or E)"},
        {"format.rua", with(3, "(4I3)           (3A3)           (2E12.4)            (2E12.4)"), 4,
         "index format (3A3) is not an integer format such as (20I4)"},
        {"upper.rsa", hb_text(upper), 6,
         "row index 1 in column 2 lies above the diagonal: a matrix of type RSA stores only the "
         "lower triangle"},
        {"twice.rua", hb_text(twice), 6, "row index 1 appears twice in column 1"},
        {"trailing.rua", ok + "\n  42\n", 12, "text after the 6 data lines that line 2 states"},
        {"nnz.rua",
         with(2, "RUA                        3             3            10             0"), 3,
         "the nonzero count 10 exceeds the 9 places of the matrix"},
    };
    for (const Broken& b : cases) expect_broken(b);
}

TEST(BrokenFiles, CompressedDataCutShortNamesTheLine) {
    // A long file, compressed and cut: the lines before the cut are read, and
    // the error names the first line that could not be.
    std::string text = kMM + "400 400 400\n";
    for (int i = 1; i <= 400; ++i)
        text += std::to_string(i) + " " + std::to_string(i) + " " + g17(i * 0.37) + "\n";
    const std::string full = write_file("cut_source.mtx.gz", text, true);
    std::ifstream in(full, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    bytes.resize(bytes.size() * 2 / 3);
    const std::string path = write_file("cut.mtx.gz", bytes);
    try {
        qivla::read_matrix(path, kPlenty);
        ADD_FAILURE() << "a truncated file was read";
    } catch (const FileError& e) {
        EXPECT_EQ(e.message(), "the compressed data ends early: the file is truncated");
        EXPECT_GT(e.line(), 3);
        EXPECT_LT(e.line(), 402);
    }
    // Damage inside the stream (here its checksum) is reported as such.
    std::ifstream in2(full, std::ios::binary);
    std::string damaged((std::istreambuf_iterator<char>(in2)), std::istreambuf_iterator<char>());
    damaged[damaged.size() - 6] = static_cast<char>(damaged[damaged.size() - 6] ^ 0x55);
    try {
        qivla::read_matrix(write_file("damaged.mtx.gz", damaged), kPlenty);
        ADD_FAILURE() << "a damaged file was read";
    } catch (const FileError& e) {
        EXPECT_EQ(e.message().rfind("the compressed data is damaged", 0), 0u) << e.message();
    }
    try {
        qivla::read_matrix(scratch() + "does_not_exist.mtx", kPlenty);
        ADD_FAILURE();
    } catch (const FileError& e) {
        EXPECT_EQ(e.message(), "cannot open: No such file or directory");
        EXPECT_EQ(e.line(), 0);
    }
}

}  // namespace
