// What the commands share: their parsed command line, their errors, loading
// a matrix within the memory limit, the sizes and norms their checks use,
// and the forms their results take (text, JSON, files).
#pragma once

#include <chrono>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "json.h"
#include "matrix_file.h"
#include "progress.h"
#include "qivlapackdll2.hpp"

namespace qivla {

namespace q = qivlapackdll2;

// Exit statuses.
enum Status {
    status_ok = 0,
    status_numerical = 1,  // the module reported a singular matrix or a QR failure
    status_input = 2,      // bad command line, or a file that cannot be used
    status_module = 3      // the module cannot be loaded or bound
};

struct UsageError {
    std::string message;
};

// A file that cannot be used for the command, or an output that cannot be
// written; the message names it.
struct InputError {
    std::string message;
};

struct Args {
    std::string command;
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;  // "--plot" -> value, flags -> ""

    bool has(const std::string& o) const { return options.count(o) != 0; }
    std::string get(const std::string& o, const std::string& fallback = "") const {
        const auto it = options.find(o);
        return it == options.end() ? fallback : it->second;
    }
};

// Where a command writes: its text or JSON goes to out; the progress line
// appears only when the command runs alone with its output on a terminal.
struct Context {
    const q::Module& lib;
    std::ostream& out;
    bool progress;
};

int cmd_eig(const Args& args, const std::string& file, const Context& ctx);
int cmd_solve(const Args& args, const Context& ctx);
int cmd_lu(const Args& args, const Context& ctx);
int cmd_info(const Args& args, const Context& ctx);
int cmd_convert(const Args& args);

// ---- shared pieces ----------------------------------------------------------------

std::string fmt(const char* f, double v);
std::string complex_text(const zcomplex& z);
double seconds_since(std::chrono::steady_clock::time_point t0);

MatrixFile load(const std::string& path, Progress& progress);
// Refuses to start what the memory cannot hold: bytes beside the matrix read.
void check_memory(const MatrixFile& m, double bytes, const std::string& what);
void require_square(const MatrixFile& m, const std::string& what);
std::string describe(const MatrixFile& m);
void matrix_json(JsonWriter& j, const MatrixFile& m);
void module_json(JsonWriter& j, const q::Module& lib);
// The text report's first lines: the matrix, then the module and its kernels.
void matrix_and_module_text(std::ostream& out, const MatrixFile& m, const q::Module& lib);
void matrix_columns_json(JsonWriter& j, const q::Matrix& a, int cols);

// The nonzero entries of a matrix, column by column: products with them cost
// in proportion to the nonzeros, not the order squared.
struct Sparse {
    std::vector<int> row, col;
    std::vector<zcomplex> val;
};
Sparse nonzeros_of(const MatrixFile& m);
double abs1(const zcomplex& z);
// The textbook complex product (std::complex's checks for infinities make
// the residual checks several times slower).
inline zcomplex mul(const zcomplex& a, const zcomplex& b) {
    return zcomplex(a.real() * b.real() - a.imag() * b.imag(),
                    a.real() * b.imag() + a.imag() * b.real());
}
// ||A||_1 (or ||A||_inf) with |re| + |im| as the size of an entry.
double norm_one(const MatrixFile& m, bool rows_instead);
std::vector<int> eigen_order(const std::vector<zcomplex>& w);

// ---- result files (--out) ------------------------------------------------------------

// Checks before any work that an output can be written there (its folder
// exists); "-" is standard output.
void check_output_target(const std::string& path, const std::string& option);
// FILE with a tag before its extensions: w.mtx -> w.right.mtx; "-" stays.
std::string tagged_name(const std::string& path, const std::string& tag);
// Writes a result matrix: Harwell-Boeing when the name says so, else Matrix
// Market (array). Values are written with 17 significant digits.
void write_result(const std::string& path, const MatrixFile& m);
MatrixFile result_matrix(const std::string& name, const std::string& title, int rows, int cols);

}  // namespace qivla
