#include "qivla.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "json.h"
#include "matrix_file.h"
#include "platform.h"
#include "progress.h"
#include "qivlapackdll2.hpp"
#include "svg_plot.h"

namespace qivla {

namespace {

namespace q = qivlapackdll2;

const char* const usage_text =
    "usage: qivla COMMAND [ARGUMENTS] [OPTIONS]\n"
    "\n"
    "commands:\n"
    "  eig FILE [--vectors none|right|left|both] [--json] [--plot OUT.svg [--log]] [--all]\n"
    "      eigenvalues (listed by modulus, largest first; --all lists every one),\n"
    "      residuals of the eigenvectors, the time taken; --plot draws the\n"
    "      spectrum in the complex plane, --log on symmetric logarithmic axes\n"
    "  solve A-FILE [B-FILE] [--json]\n"
    "      solves A*X = B; without B-FILE, B = A*(1,...,1) so the exact solution\n"
    "      is known and the error is shown\n"
    "  lu FILE [--json]\n"
    "      LU factorisation: pivots, INFO, growth factor, reciprocal pivot ratio\n"
    "  info [--json]\n"
    "      the module's path, the instruction set of its kernels, its exports\n"
    "  convert IN OUT [--array]\n"
    "      rewrites a matrix file: OUT ending in .mtx is Matrix Market\n"
    "      (coordinate, or array with --array), .rua/.cua/.hb Harwell-Boeing;\n"
    "      a final .gz compresses\n"
    "\n"
    "FILE is Matrix Market (.mtx) or Harwell-Boeing (.rua, .cua, ...), plain or\n"
    "gzip-compressed. Every command takes --module PATH (default: the\n"
    "QIVLA_MODULE environment variable, else libqivlapackdll2 found by name).\n"
    "Exit status: 0 done, 1 the matrix is singular or the QR algorithm failed,\n"
    "2 bad command line or input file, 3 the module cannot be loaded.\n";

// ---- command line ------------------------------------------------------------

struct UsageError {
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

// Options each command takes; true when the option has a value.
const std::map<std::string, std::map<std::string, bool>>& command_options() {
    static const std::map<std::string, std::map<std::string, bool>> table = {
        {"eig",
         {{"--vectors", true},
          {"--json", false},
          {"--plot", true},
          {"--log", false},
          {"--all", false},
          {"--module", true}}},
        {"solve", {{"--json", false}, {"--module", true}}},
        {"lu", {{"--json", false}, {"--module", true}}},
        {"info", {{"--json", false}, {"--module", true}}},
        {"convert", {{"--array", false}}},
    };
    return table;
}

Args parse(int argc, char** argv) {
    Args args;
    if (argc < 2) throw UsageError{"no command given"};
    args.command = argv[1];
    const auto table = command_options().find(args.command);
    if (table == command_options().end())
        throw UsageError{"unknown command '" + args.command + "'"};
    for (int k = 2; k < argc; ++k) {
        const std::string a = argv[k];
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            std::string name = a, value;
            const std::size_t eq = a.find('=');
            if (eq != std::string::npos) {
                name = a.substr(0, eq);
                value = a.substr(eq + 1);
            }
            const auto opt = table->second.find(name);
            if (opt == table->second.end())
                throw UsageError{"'" + args.command + "' has no option " + name};
            if (args.options.count(name)) throw UsageError{"option " + name + " given twice"};
            if (opt->second && eq == std::string::npos) {
                if (k + 1 >= argc) throw UsageError{"option " + name + " needs a value"};
                value = argv[++k];
            } else if (!opt->second && eq != std::string::npos) {
                throw UsageError{"option " + name + " takes no value"};
            }
            args.options[name] = value;
        } else {
            args.positional.push_back(a);
        }
    }
    std::size_t lo = 1, hi = 1;
    if (args.command == "solve") hi = 2;
    if (args.command == "info") lo = hi = 0;
    if (args.command == "convert") lo = hi = 2;
    if (args.positional.size() < lo)
        throw UsageError{"'" + args.command + "' needs " +
                         (lo == 2 ? "two file names" : "a file name")};
    if (args.positional.size() > hi)
        throw UsageError{"'" + args.command + "' takes " + std::to_string(hi) + " file name" +
                         (hi == 1 ? "" : "s") + ", not " + std::to_string(args.positional.size())};
    if (args.has("--vectors")) {
        const std::string v = args.get("--vectors");
        if (v != "none" && v != "right" && v != "left" && v != "both")
            throw UsageError{"--vectors must be none, right, left or both, not '" + v + "'"};
    }
    if (args.has("--log") && !args.has("--plot"))
        throw UsageError{"--log sets the scale of --plot"};
    if (args.has("--plot") && args.get("--plot").empty())
        throw UsageError{"--plot needs a file name"};
    return args;
}

// ---- shared pieces -----------------------------------------------------------------

struct InputError {
    std::string message;
};

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

std::string module_name(const Args& args) {
    if (args.has("--module")) return args.get("--module");
    if (const char* env = std::getenv("QIVLA_MODULE"))
        if (*env) return env;
    return q::Module::default_name();
}

MatrixFile load(const std::string& path, Progress& progress) {
    progress.start("reading " + path);
    MatrixFile m = read_matrix(path, memory_available());
    progress.stop();
    return m;
}

// The bytes a command needs beside the matrix it has read; refuses to start
// what cannot finish.
void check_memory(const MatrixFile& m, double bytes, const std::string& what) {
    const double available = static_cast<double>(memory_available());
    if (bytes > available)
        throw InputError{m.path + ": " + what + " of a " + std::to_string(m.rows) + " x " +
                         std::to_string(m.cols) + " matrix needs " + format_bytes(bytes) +
                         " of memory, but only " + format_bytes(available) + " is available"};
}

void require_square(const MatrixFile& m, const std::string& what) {
    if (m.rows != m.cols)
        throw InputError{m.path + ": the matrix is " + std::to_string(m.rows) + " x " +
                         std::to_string(m.cols) + "; " + what + " needs a square matrix"};
}

std::string describe(const MatrixFile& m) {
    std::string s = m.path + ": " + m.name + ", " + std::to_string(m.rows) + " x " +
                    std::to_string(m.cols) + ", " + std::to_string(m.nonzeros()) + " nonzeros (" +
                    m.format + (m.compressed ? ", gzip" : "") + ")";
    if (!m.title.empty() && m.title != m.name) s += "\n  \"" + m.title + "\"";
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

// The nonzero entries of a matrix, column by column: products with them cost
// in proportion to the nonzeros, not the order squared.
struct Sparse {
    std::vector<int> row, col;
    std::vector<zcomplex> val;
};

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

// ||A||_1 and ||A||_inf with |re| + |im| as the size of an entry.
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
        const double ax = std::abs(w[static_cast<std::size_t>(x)]),
                     ay = std::abs(w[static_cast<std::size_t>(y)]);
        if (ax != ay) return ax > ay;
        if (w[static_cast<std::size_t>(x)].real() != w[static_cast<std::size_t>(y)].real())
            return w[static_cast<std::size_t>(x)].real() > w[static_cast<std::size_t>(y)].real();
        return w[static_cast<std::size_t>(x)].imag() > w[static_cast<std::size_t>(y)].imag();
    });
    return order;
}

// ---- eig ------------------------------------------------------------------------------

// Relative residuals of eigenpairs: ||A v - w v||_1 / (||A||_1 ||v||_1) for
// right vectors, ||u^H A - w u^H||_1 / (||A||_inf ||u||_1) for left ones.
std::vector<double> eigen_residuals(const Sparse& a, double anorm, const std::vector<zcomplex>& w,
                                    const q::Matrix& v, bool left) {
    const int n = v.rows();
    std::vector<double> res(w.size(), 0.0);
    std::vector<zcomplex> r(static_cast<std::size_t>(n));
    for (int j = 0; j < static_cast<int>(w.size()); ++j) {
        std::fill(r.begin(), r.end(), zcomplex(0.0, 0.0));
        for (std::size_t k = 0; k < a.val.size(); ++k) {
            if (left)
                r[static_cast<std::size_t>(a.col[k])] += std::conj(v(a.row[k], j)) * a.val[k];
            else
                r[static_cast<std::size_t>(a.row[k])] += a.val[k] * v(a.col[k], j);
        }
        double num = 0.0, vnorm = 0.0;
        for (int i = 0; i < n; ++i) {
            const zcomplex vi = left ? std::conj(v(i, j)) : v(i, j);
            num += abs1(r[static_cast<std::size_t>(i)] - w[static_cast<std::size_t>(j)] * vi);
            vnorm += abs1(vi);
        }
        const double den = anorm * vnorm;
        res[static_cast<std::size_t>(j)] = den > 0.0 ? num / den : num;
    }
    return res;
}

int cmd_eig(const Args& args, const q::Module& lib) {
    const bool json = args.has("--json");
    Progress progress(!json && stdout_is_terminal());
    const std::string which = args.get("--vectors", "right");
    const bool left = which == "left" || which == "both",
               right = which == "right" || which == "both";
    const std::string plot = args.get("--plot");

    const MatrixFile m = load(args.positional[0], progress);
    require_square(m, "an eigenvalue problem");
    const int n = m.rows;
    const double nn = static_cast<double>(n) * n * 16.0;
    check_memory(m, nn * (1 + (left ? 1 : 0) + (right ? 1 : 0)) + 140.0 * 16.0 * n,
                 "the eigenvalues and vectors");
    if (!plot.empty()) {
        std::ofstream probe(plot, std::ios::app);
        if (!probe) throw InputError{plot + ": cannot write the plot there"};
    }

    q::Matrix a(n, n);
    std::copy(m.a.begin(), m.a.begin() + static_cast<std::ptrdiff_t>(std::max(1, n)) * n, a.data());
    q::Matrix vl(left ? n : 1, left ? n : 1), vr(right ? n : 1, right ? n : 1);
    progress.start("computing " + std::to_string(n) + " eigenvalues" +
                   (which == "none"   ? ""
                    : which == "both" ? " and eigenvectors"
                                      : " and " + which + " eigenvectors"));
    const auto t0 = std::chrono::steady_clock::now();
    const q::EigResult r =
        lib.geev(left ? "V" : "N", right ? "V" : "N", a.view(), vl.view(), vr.view());
    const double seconds = seconds_since(t0);
    progress.stop();

    std::vector<double> res_right, res_left;
    if (r.info == 0 && (left || right)) {
        progress.start("checking the eigenvectors");
        const Sparse sp = nonzeros_of(m);
        if (right) res_right = eigen_residuals(sp, norm_one(m, false), r.w, vr, false);
        if (left) res_left = eigen_residuals(sp, norm_one(m, true), r.w, vl, true);
        progress.stop();
    }
    auto worst = [](const std::vector<double>& v) {
        return v.empty() ? 0.0 : *std::max_element(v.begin(), v.end());
    };

    if (!plot.empty()) {
        PlotOptions po;
        po.title = "Eigenvalues of " + m.name;
        po.subtitle = std::to_string(n) + " x " + std::to_string(n) + ", " + m.format +
                      (args.has("--log") ? ", symmetric logarithmic axes" : "");
        po.log = args.has("--log");
        std::vector<zcomplex> shown(r.w.begin() + (r.info > 0 ? r.info : 0), r.w.end());
        std::ofstream out(plot, std::ios::trunc);
        out << spectrum_svg(shown, po);
        if (!out) throw InputError{plot + ": writing the plot failed"};
    }

    if (json) {
        JsonWriter j;
        j.begin_object();
        j.key("command").value("eig");
        matrix_json(j, m);
        module_json(j, lib);
        j.key("vectors").value(which);
        j.key("info").value(r.info);
        j.key("explanation").value(r.explanation);
        j.key("seconds").value(seconds);
        j.key("lwork").value(r.lwork);
        j.key("eigenvalues").begin_array();
        for (const zcomplex& z : r.w) j.complex(z);
        j.end_array();
        j.key("residuals").begin_object();
        j.key("right");
        if (res_right.empty()) {
            j.null();
        } else {
            j.begin_array();
            for (double v : res_right) j.value(v);
            j.end_array();
        }
        j.key("left");
        if (res_left.empty()) {
            j.null();
        } else {
            j.begin_array();
            for (double v : res_left) j.value(v);
            j.end_array();
        }
        j.end_object();
        j.key("max_residual_right");
        res_right.empty() ? j.null() : j.value(worst(res_right));
        j.key("max_residual_left");
        res_left.empty() ? j.null() : j.value(worst(res_left));
        j.key("plot");
        plot.empty() ? j.null() : j.value(plot);
        j.end_object();
        std::cout << j.str() << "\n";
        return r.info == 0 ? status_ok : status_numerical;
    }

    std::cout << describe(m) << "\n";
    std::cout << "module: " << lib.path() << " (kernels: " << kernel_isa() << ")\n";
    std::cout << "INFO = " << r.info << ": " << r.explanation << "\n";
    std::cout << "time: " << fmt("%.3f", seconds) << " s for " << n << " eigenvalues"
              << (which == "none"   ? ""
                  : which == "both" ? " and both kinds of eigenvectors"
                                    : " and the " + which + " eigenvectors")
              << "\n";
    if (!res_right.empty())
        std::cout << "largest residual ||A v - w v||_1 / (||A||_1 ||v||_1) over the right vectors: "
                  << fmt("%.2e", worst(res_right)) << "\n";
    if (!res_left.empty())
        std::cout
            << "largest residual ||u^H A - w u^H||_1 / (||A||_inf ||u||_1) over the left vectors: "
            << fmt("%.2e", worst(res_left)) << "\n";
    if (!plot.empty()) std::cout << "plot: " << plot << "\n";

    const std::vector<zcomplex> valid(r.w.begin() + (r.info > 0 ? r.info : 0), r.w.end());
    const std::vector<int> order = eigen_order(valid);
    const std::size_t show = args.has("--all") || valid.size() <= 30 ? valid.size() : 20;
    std::cout << "\neigenvalues by modulus, largest first";
    if (show < valid.size())
        std::cout << " (" << show << " of " << valid.size() << "; --all lists every one)";
    std::cout << ":\n";
    for (std::size_t k = 0; k < show; ++k) {
        const zcomplex z = valid[static_cast<std::size_t>(order[k])];
        std::printf("%6zu  %s   |w| = %.6e\n", k + 1, complex_text(z).c_str(), std::abs(z));
    }
    std::fflush(stdout);
    return r.info == 0 ? status_ok : status_numerical;
}

// ---- solve -------------------------------------------------------------------------------

int cmd_solve(const Args& args, const q::Module& lib) {
    const bool json = args.has("--json");
    Progress progress(!json && stdout_is_terminal());
    const MatrixFile m = load(args.positional[0], progress);
    require_square(m, "a linear system");
    const int n = m.rows;
    MatrixFile bfile;
    const bool ones = args.positional.size() < 2;
    int nrhs = 1;
    if (!ones) {
        bfile = load(args.positional[1], progress);
        if (bfile.rows != n)
            throw InputError{bfile.path + ": the right-hand sides have " +
                             std::to_string(bfile.rows) + " rows, but the matrix has order " +
                             std::to_string(n)};
        nrhs = bfile.cols;
    }
    check_memory(
        m, static_cast<double>(n) * n * 32.0 + static_cast<double>(std::max(1, n)) * nrhs * 48.0,
        "solving a system");

    q::Matrix a(n, n), b(n, nrhs);
    std::copy(m.a.begin(), m.a.begin() + static_cast<std::ptrdiff_t>(std::max(1, n)) * n, a.data());
    if (ones) {
        // b = A*(1, ..., 1): the row sums, added column by column.
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) b(i, 0) += m.at(i, j);
    } else {
        for (int j = 0; j < nrhs; ++j)
            for (int i = 0; i < n; ++i) b(i, j) = bfile.at(i, j);
    }
    const q::Matrix b_in = b;
    progress.start("solving a system of order " + std::to_string(n));
    const auto t0 = std::chrono::steady_clock::now();
    const q::SolveResult r = lib.gesv(a.view(), b.view());
    const double seconds = seconds_since(t0);
    progress.stop();

    // Normwise backward error of each solution and, for B = A*ones, the
    // largest error of a component.
    std::vector<double> residual;
    double error = 0.0;
    if (r.info == 0) {
        const Sparse sp = nonzeros_of(m);
        double anorm = 0.0;
        {
            std::vector<double> rows(static_cast<std::size_t>(std::max(1, n)), 0.0);
            for (std::size_t k = 0; k < sp.val.size(); ++k)
                rows[static_cast<std::size_t>(sp.row[k])] += std::abs(sp.val[k]);
            for (double v : rows) anorm = std::max(anorm, v);
        }
        for (int c = 0; c < nrhs; ++c) {
            std::vector<zcomplex> ax(static_cast<std::size_t>(std::max(1, n)));
            for (std::size_t k = 0; k < sp.val.size(); ++k)
                ax[static_cast<std::size_t>(sp.row[k])] += sp.val[k] * b(sp.col[k], c);
            double rnorm = 0.0, xnorm = 0.0, bnorm = 0.0;
            for (int i = 0; i < n; ++i) {
                rnorm = std::max(rnorm, std::abs(b_in(i, c) - ax[static_cast<std::size_t>(i)]));
                xnorm = std::max(xnorm, std::abs(b(i, c)));
                bnorm = std::max(bnorm, std::abs(b_in(i, c)));
            }
            const double den = anorm * xnorm + bnorm;
            residual.push_back(den > 0.0 ? rnorm / den : rnorm);
        }
        if (ones)
            for (int i = 0; i < n; ++i)
                error = std::max(error, std::abs(b(i, 0) - zcomplex(1.0, 0.0)));
    }

    if (json) {
        JsonWriter j;
        j.begin_object();
        j.key("command").value("solve");
        matrix_json(j, m);
        module_json(j, lib);
        j.key("rhs").value(ones ? std::string("ones") : bfile.path);
        j.key("nrhs").value(nrhs);
        j.key("info").value(r.info);
        j.key("explanation").value(r.explanation);
        j.key("zero_pivot_column");
        r.zero_pivot_column() ? j.value(r.zero_pivot_column()) : j.null();
        j.key("seconds").value(seconds);
        j.key("ipiv").begin_array();
        for (int p : r.ipiv) j.value(p);
        j.end_array();
        j.key("residuals").begin_array();
        for (double v : residual) j.value(v);
        j.end_array();
        j.key("error");
        ones&& r.info == 0 ? j.value(error) : j.null();
        j.key("solution");
        if (r.info == 0) {
            j.begin_array();
            for (int c = 0; c < nrhs; ++c) {
                j.begin_array();
                for (int i = 0; i < n; ++i) j.complex(b(i, c));
                j.end_array();
            }
            j.end_array();
        } else {
            j.null();
        }
        j.end_object();
        std::cout << j.str() << "\n";
        return r.info == 0 ? status_ok : status_numerical;
    }

    std::cout << describe(m) << "\n";
    std::cout << "module: " << lib.path() << " (kernels: " << kernel_isa() << ")\n";
    std::cout << "right-hand side: "
              << (ones ? "b = A*(1, ..., 1), so the exact solution is x = (1, ..., 1)"
                       : bfile.path + " (" + std::to_string(nrhs) + " column" +
                             (nrhs == 1 ? "" : "s") + ")")
              << "\n";
    std::cout << "INFO = " << r.info << ": " << r.explanation << "\n";
    std::cout << "time: " << fmt("%.3f", seconds) << " s\n";
    if (r.info != 0) return status_numerical;
    for (int c = 0; c < nrhs; ++c)
        std::cout << "backward error ||b - A x||_inf / (||A||_inf ||x||_inf + ||b||_inf)"
                  << (nrhs > 1 ? " of column " + std::to_string(c + 1) : std::string()) << ": "
                  << fmt("%.2e", residual[static_cast<std::size_t>(c)]) << "\n";
    if (ones) std::cout << "error max |x(i) - 1|: " << fmt("%.2e", error) << "\n";
    const int shown = std::min(n, 10);
    for (int c = 0; c < nrhs; ++c) {
        std::cout << "x" << (nrhs > 1 ? "(:, " + std::to_string(c + 1) + ")" : "")
                  << (shown < n
                          ? " (first " + std::to_string(shown) + " of " + std::to_string(n) + ")"
                          : "")
                  << ":\n";
        for (int i = 0; i < shown; ++i)
            std::printf("%6d  %s\n", i + 1, complex_text(b(i, c)).c_str());
    }
    std::fflush(stdout);
    return status_ok;
}

// ---- lu -----------------------------------------------------------------------------------

int cmd_lu(const Args& args, const q::Module& lib) {
    const bool json = args.has("--json");
    Progress progress(!json && stdout_is_terminal());
    const MatrixFile m = load(args.positional[0], progress);
    check_memory(m, static_cast<double>(std::max(1, m.rows)) * m.cols * 16.0, "factoring");
    q::Matrix a(m.rows, m.cols);
    std::copy(m.a.begin(), m.a.end(), a.data());
    progress.start("factoring a " + std::to_string(m.rows) + " x " + std::to_string(m.cols) +
                   " matrix");
    const auto t0 = std::chrono::steady_clock::now();
    const q::LuResult r = lib.getrf(a.view());
    const double seconds = seconds_since(t0);
    progress.stop();

    // Growth factor max|U(i,j)| / max|A(i,j)| and reciprocal pivot ratio
    // min|U(k,k)| / max|U(k,k)|, with the modulus as the size of an entry.
    const int k = std::min(m.rows, m.cols);
    double amax = 0.0, umax = 0.0, pmin = 0.0, pmax = 0.0;
    for (int j = 0; j < m.cols; ++j)
        for (int i = 0; i < m.rows; ++i) {
            amax = std::max(amax, std::abs(m.at(i, j)));
            if (i <= j) umax = std::max(umax, std::abs(a(i, j)));
        }
    for (int d = 0; d < k; ++d) {
        const double p = std::abs(a(d, d));
        pmin = d == 0 ? p : std::min(pmin, p);
        pmax = std::max(pmax, p);
    }
    const bool has_growth = amax > 0.0, has_ratio = k > 0 && pmax > 0.0;
    const double growth = has_growth ? umax / amax : 0.0, ratio = has_ratio ? pmin / pmax : 0.0;
    int swaps = 0;
    for (int d = 0; d < k; ++d)
        if (r.ipiv[static_cast<std::size_t>(d)] != d + 1) ++swaps;

    if (json) {
        JsonWriter j;
        j.begin_object();
        j.key("command").value("lu");
        matrix_json(j, m);
        module_json(j, lib);
        j.key("info").value(r.info);
        j.key("explanation").value(r.explanation);
        j.key("zero_pivot_column");
        r.zero_pivot_column() ? j.value(r.zero_pivot_column()) : j.null();
        j.key("seconds").value(seconds);
        j.key("ipiv").begin_array();
        for (int p : r.ipiv) j.value(p);
        j.end_array();
        j.key("interchanges").value(swaps);
        j.key("growth_factor");
        has_growth ? j.value(growth) : j.null();
        j.key("reciprocal_pivot_ratio");
        has_ratio ? j.value(ratio) : j.null();
        j.end_object();
        std::cout << j.str() << "\n";
        return status_ok;
    }
    std::cout << describe(m) << "\n";
    std::cout << "module: " << lib.path() << " (kernels: " << kernel_isa() << ")\n";
    std::cout << "INFO = " << r.info << ": " << r.explanation << "\n";
    std::cout << "time: " << fmt("%.3f", seconds) << " s\n";
    std::cout << "row interchanges: " << swaps << " of " << k << " pivots\n";
    std::cout << "growth factor max|U(i,j)| / max|A(i,j)|: "
              << (has_growth ? fmt("%.4g", growth) : "undefined (A = 0)") << "\n";
    std::cout << "reciprocal pivot ratio min|U(k,k)| / max|U(k,k)|: "
              << (has_ratio ? fmt("%.4g", ratio) : "undefined (every pivot is zero)") << "\n";
    const int shown = std::min(k, 20);
    std::cout << "pivots"
              << (shown < k ? " (first " + std::to_string(shown) + " of " + std::to_string(k) + ")"
                            : "")
              << ":";
    for (int d = 0; d < shown; ++d) std::cout << " " << r.ipiv[static_cast<std::size_t>(d)];
    std::cout << "\n";
    return status_ok;
}

// ---- info and convert -------------------------------------------------------------------

int cmd_info(const Args& args, const q::Module& lib) {
    std::string error;
    const std::string path = lib.path();
    const std::vector<std::string> exports = exported_functions(path, &error);
    if (args.has("--json")) {
        JsonWriter j;
        j.begin_object();
        j.key("command").value("info");
        j.key("loaded_as").value(lib.name());
        module_json(j, lib);
        j.key("exports").begin_array();
        for (const std::string& e : exports) j.value(e);
        j.end_array();
        j.key("bound").begin_array();
        for (const std::string& e : q::Module::export_names()) j.value(e);
        j.end_array();
        j.end_object();
        std::cout << j.str() << "\n";
        return status_ok;
    }
    std::cout << "module:  " << path << " (loaded as " << lib.name() << ")\n";
    std::cout << "kernels: " << kernel_isa()
              << " (the instruction set the module's fast kernels choose here)\n";
    if (exports.empty()) {
        std::cout << "exports: (" << error << ")\n";
    } else {
        std::cout << "exports:\n";
        for (const std::string& e : exports) std::cout << "  " << e << "\n";
    }
    std::cout << "bound:   all " << q::Module::export_names().size() << " exports the host needs\n";
    return status_ok;
}

int cmd_convert(const Args& args) {
    const std::string& out = args.positional[1];
    const FileKind kind = kind_from_name(out);
    if (kind == FileKind::unknown)
        throw UsageError{"cannot tell the format of '" + out + "': name it .mtx, or .rua/.cua/.hb"};
    if (args.has("--array") && kind != FileKind::matrix_market)
        throw UsageError{"--array is for Matrix Market output"};
    Progress progress(false);
    const MatrixFile m = load(args.positional[0], progress);
    if (kind == FileKind::matrix_market)
        write_matrix_market(out, m, args.has("--array"));
    else
        write_harwell_boeing(out, m);
    return status_ok;
}

}  // namespace

int run(int argc, char** argv) {
    if (argc >= 2) {
        const std::string first = argv[1];
        if (first == "-h" || first == "--help" || first == "help") {
            std::cout << usage_text;
            return status_ok;
        }
    }
    try {
        const Args args = parse(argc, argv);
        if (args.command == "convert") return cmd_convert(args);
        std::unique_ptr<q::Module> lib;
        try {
            lib = std::make_unique<q::Module>(module_name(args));
        } catch (const q::LoadError& e) {
            std::cerr << "qivla: " << e.what() << "\n";
            return status_module;
        }
        if (args.command == "eig") return cmd_eig(args, *lib);
        if (args.command == "solve") return cmd_solve(args, *lib);
        if (args.command == "lu") return cmd_lu(args, *lib);
        return cmd_info(args, *lib);
    } catch (const UsageError& e) {
        std::cerr << "qivla: " << e.message << "\n\n" << usage_text;
        return status_input;
    } catch (const FileError& e) {
        std::cerr << "qivla: " << e.what() << "\n";
        return status_input;
    } catch (const InputError& e) {
        std::cerr << "qivla: " << e.message << "\n";
        return status_input;
    } catch (const q::IllegalArgument& e) {
        // The checks of the host header stop what the module would refuse.
        std::cerr << "qivla: " << e.what() << "\n";
        return status_input;
    } catch (const std::bad_alloc&) {
        std::cerr << "qivla: out of memory\n";
        return status_input;
    }
}

}  // namespace qivla
