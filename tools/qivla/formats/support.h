// What the Matrix Market and Harwell-Boeing readers and writers share.
// Internal to the matrix-file code (matrix_file.h is the interface).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "matrix_file.h"
#include "text_source.h"

namespace qivla {

class OutputFile;

namespace formats {

// ---- tokens ----
std::vector<std::string> split(const std::string& line);
std::string lower(std::string s);
std::string upper(std::string s);
std::string trim(const std::string& s);
inline bool blank(const std::string& s) { return trim(s).empty(); }
std::string quoted(const std::string& s);   // a file's token in a message, cut when long
std::string pos(long long i, long long j);  // "(i, j)"

// ---- numbers ----
// A whole token as a decimal integer (no overflow).
bool parse_integer(const std::string& token, long long* out);
// Both readers take decimal numbers only; values that overflow binary64, and
// nonzero ones that underflow to zero, are refused alike (subnormals read).
enum class RealStatus { ok, syntax, overflow, underflow };
RealStatus decimal_value(const std::string& text, double* out);  // checked text to binary64
RealStatus parse_real(const std::string& token, double* out);    // a whole decimal token
std::string real_problem(const std::string& what, const std::string& token, RealStatus status,
                         const std::string& format_note = "");
bool add_count(long long a, long long b, long long* sum);  // false on overflow
long long checked_dimension(const TextSource& src, const std::string& token, const char* what);

// ---- memory ----
double dense_bytes(const MatrixFile& m);
// Refuses the file before anything is allocated when the dense matrix and
// the reader's own arrays (extra bytes) would not fit in max_bytes.
void check_budget(const MatrixFile& m, const TextSource& src, long line, double extra,
                  std::uint64_t max_bytes);
void allocate(MatrixFile* m, const TextSource& src, long line);  // the dense matrix, zeroed

// ---- symmetric storage ----
enum class Symmetry { general, symmetric, hermitian, skew };
// Stores v at (i, j) and its mirror image for the symmetry.
void place(MatrixFile* m, Symmetry sym, int i, int j, zcomplex v);

// ---- writing ----
std::string g17(double v);
void require_finite(const std::string& path, const MatrixFile& m);
void verify_and_commit(OutputFile& out, const MatrixFile& m);
bool plus_zero(double v);
bool stored(const zcomplex& z);  // written into a sparse file (not +0 + 0i)
std::int64_t stored_count(const MatrixFile& m);
bool all_real(const MatrixFile& m);  // every imaginary part is +0
std::string padded(const std::string& s, std::size_t width);
std::string right(const std::string& s, std::size_t width);

// ---- the readers ----
MatrixFile read_matrix_market(TextSource& src, const std::string& banner, std::uint64_t max_bytes);
// *recognised turns true once lines 2 and 3 read as a Harwell-Boeing header.
MatrixFile read_harwell_boeing(TextSource& src, const std::string& line1, std::uint64_t max_bytes,
                               bool* recognised);

}  // namespace formats
}  // namespace qivla
