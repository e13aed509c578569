// qivla solve: A X = B through the module, with the backward error of each
// solution and, for B = A*(1, ..., 1), the error itself.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "commands/common.h"
#include "platform.h"

namespace qivla {

int cmd_solve(const Args& args, const Context& ctx) {
    const bool json = args.has("--json");
    std::ostream& out = ctx.out;
    Progress progress(ctx.progress && !json);
    const std::string out_file = args.get("--out");
    if (!out_file.empty()) check_output_target(out_file, "--out");
    const MatrixFile m = load(args.positional[0], progress);
    require_square(m, "a linear system");
    const int n = m.rows;
    MatrixFile bfile;
    const bool ones = args.positional.size() < 2;
    int nrhs = 1;
    if (!ones) {
        bfile = load(args.positional[1], progress);
        if (bfile.rows != n)
            throw InputError{escaped(bfile.path) + ": the right-hand sides have " +
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
    const q::SolveResult r = ctx.lib.gesv(a.view(), b.view());
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
                ax[static_cast<std::size_t>(sp.row[k])] += mul(sp.val[k], b(sp.col[k], c));
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

    if (!out_file.empty() && r.info == 0) {
        MatrixFile xf =
            result_matrix(m.name + "_solution", "solution X of A X = B, A = " + m.name, n, nrhs);
        std::copy(b.data(), b.data() + xf.a.size(), xf.a.begin());
        write_result(out_file, xf);
    }

    if (json) {
        JsonWriter j;
        j.begin_object();
        j.key("command").value("solve");
        matrix_json(j, m);
        module_json(j, ctx.lib);
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
        if (r.info == 0)
            matrix_columns_json(j, b, nrhs);
        else
            j.null();
        j.key("out");
        out_file.empty() || r.info != 0 ? j.null() : j.value(out_file);
        j.end_object();
        out << j.str() << "\n";
        return r.info == 0 ? status_ok : status_numerical;
    }

    matrix_and_module_text(out, m, ctx.lib);
    out << "right-hand side: "
        << (ones ? "b = A*(1, ..., 1), so the exact solution is x = (1, ..., 1)"
                 : escaped(bfile.path) + " (" + std::to_string(nrhs) + " column" +
                       (nrhs == 1 ? "" : "s") + ")")
        << "\n";
    out << "INFO = " << r.info << ": " << r.explanation << "\n";
    out << "time: " << fmt("%.3f", seconds) << " s\n";
    if (r.info != 0) return status_numerical;
    for (int c = 0; c < nrhs; ++c)
        out << "backward error ||b - A x||_inf / (||A||_inf ||x||_inf + ||b||_inf)"
            << (nrhs > 1 ? " of column " + std::to_string(c + 1) : std::string()) << ": "
            << fmt("%.2e", residual[static_cast<std::size_t>(c)]) << "\n";
    if (ones) out << "error max |x(i) - 1|: " << fmt("%.2e", error) << "\n";
    if (!out_file.empty() && out_file != "-") out << "written: " << escaped(out_file) << "\n";
    const int shown = args.has("--all") ? n : std::min(n, 10);
    for (int c = 0; c < nrhs; ++c) {
        out << "x" << (nrhs > 1 ? "(:, " + std::to_string(c + 1) + ")" : "")
            << (shown < n ? " (first " + std::to_string(shown) + " of " + std::to_string(n) +
                                "; --all lists every one)"
                          : "")
            << ":\n";
        for (int i = 0; i < shown; ++i) {
            char line[160];
            std::snprintf(line, sizeof line, "%6d  %s\n", i + 1, complex_text(b(i, c)).c_str());
            out << line;
        }
    }
    return status_ok;
}

}  // namespace qivla
