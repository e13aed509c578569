#include "commands/common.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform.h"

namespace qivla {

std::string fmt(const char* f, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, f, v);
    return buf;
}

std::string complex_text(const zcomplex& z) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%22.15e %c %.15ei", z.real(),
                  std::signbit(z.imag()) ? '-' : '+', std::fabs(z.imag()));
    return buf;
}

double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

MatrixFile load(const std::string& path, Progress& progress) {
    progress.start("reading " + escaped(path));
    MatrixFile m = read_matrix(path, memory_available());
    progress.stop();
    return m;
}

void check_memory(const MatrixFile& m, double bytes, const std::string& what) {
    const double available = static_cast<double>(memory_available());
    if (bytes > available)
        throw InputError{escaped(m.path) + ": " + what + " of a " + std::to_string(m.rows) + " x " +
                         std::to_string(m.cols) + " matrix needs " + format_bytes(bytes) +
                         " of memory, but only " + format_bytes(available) + " is available"};
}

void require_square(const MatrixFile& m, const std::string& what) {
    if (m.rows != m.cols)
        throw InputError{escaped(m.path) + ": the matrix is " + std::to_string(m.rows) + " x " +
                         std::to_string(m.cols) + "; " + what + " needs a square matrix"};
}

std::string describe(const MatrixFile& m) {
    std::string s = escaped(m.path) + ": " + escaped(m.name) + ", " + std::to_string(m.rows) +
                    " x " + std::to_string(m.cols) + ", " + std::to_string(m.nonzeros()) +
                    " nonzeros (" + m.format + (m.compressed ? ", gzip" : "") + ")";
    if (!m.title.empty() && m.title != m.name) s += "\n  \"" + escaped(m.title) + "\"";
    return s;
}

void matrix_json(JsonWriter& j, const MatrixFile& m) {
    j.key("file").value(m.path);
    j.key("name").value(m.name);
    j.key("title").value(m.title);
    j.key("format").value(m.format);
    j.key("compressed").value(m.compressed);
    j.key("rows").value(m.rows);
    j.key("cols").value(m.cols);
    j.key("nonzeros").value(static_cast<long long>(m.nonzeros()));
}

void module_json(JsonWriter& j, const q::Module& lib) {
    j.key("module").value(lib.path());
    j.key("isa").value(kernel_isa());
}

void matrix_and_module_text(std::ostream& out, const MatrixFile& m, const q::Module& lib) {
    out << describe(m) << "\n";
    out << "module: " << lib.path() << " (kernels: " << kernel_isa() << ")\n";
}

void matrix_columns_json(JsonWriter& j, const q::Matrix& a, int cols) {
    j.begin_array();
    for (int c = 0; c < cols; ++c) {
        j.begin_array();
        for (int i = 0; i < a.rows(); ++i) j.complex(a(i, c));
        j.end_array();
    }
    j.end_array();
}

Sparse nonzeros_of(const MatrixFile& m) {
    Sparse s;
    for (int j = 0; j < m.cols; ++j)
        for (int i = 0; i < m.rows; ++i)
            if (m.at(i, j) != zcomplex(0.0, 0.0)) {
                s.row.push_back(i);
                s.col.push_back(j);
                s.val.push_back(m.at(i, j));
            }
    return s;
}

double abs1(const zcomplex& z) { return std::fabs(z.real()) + std::fabs(z.imag()); }

double norm_one(const MatrixFile& m, bool rows_instead) {
    std::vector<double> sums(static_cast<std::size_t>(rows_instead ? m.rows : m.cols), 0.0);
    for (int j = 0; j < m.cols; ++j)
        for (int i = 0; i < m.rows; ++i)
            sums[static_cast<std::size_t>(rows_instead ? i : j)] += abs1(m.at(i, j));
    double r = 0.0;
    for (double v : sums) r = std::max(r, v);
    return r;
}

std::vector<int> eigen_order(const std::vector<zcomplex>& w) {
    std::vector<int> order(w.size());
    for (std::size_t k = 0; k < w.size(); ++k) order[k] = static_cast<int>(k);
    std::stable_sort(order.begin(), order.end(), [&](int x, int y) {
        const zcomplex& a = w[static_cast<std::size_t>(x)];
        const zcomplex& b = w[static_cast<std::size_t>(y)];
        const double ax = std::abs(a), ay = std::abs(b);
        if (ax != ay) return ax > ay;
        if (a.real() != b.real()) return a.real() > b.real();
        return a.imag() > b.imag();
    });
    return order;
}

void check_output_target(const std::string& path, const std::string& option) {
    if (path.empty()) throw UsageError{option + " needs a file name"};
    if (path == "-") return;
    const std::size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    struct stat st;
    if (stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw InputError{escaped(path) + ": cannot write there: the folder " + escaped(dir) +
                         " does not exist"};
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        throw InputError{escaped(path) + ": cannot write there: it is a folder"};
}

std::string tagged_name(const std::string& path, const std::string& tag) {
    if (path == "-") return path;
    const std::size_t slash = path.find_last_of('/');
    const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    std::size_t dot = path.find('.', base + 1);
    if (dot == std::string::npos) dot = path.size();
    return path.substr(0, dot) + "." + tag + path.substr(dot);
}

void write_result(const std::string& path, const MatrixFile& m) {
    if (path != "-" && kind_from_name(path) == FileKind::harwell_boeing)
        write_harwell_boeing(path, m);
    else
        write_matrix_market(path, m, true);
}

MatrixFile result_matrix(const std::string& name, const std::string& title, int rows, int cols) {
    MatrixFile m;
    m.name = name;
    m.title = title;
    m.rows = rows;
    m.cols = cols;
    m.a.assign(static_cast<std::size_t>(std::max(1, rows)) * static_cast<std::size_t>(cols),
               zcomplex(0.0, 0.0));
    return m;
}

}  // namespace qivla
