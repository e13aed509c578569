// qivla lu: the LU factorisation through the module, its pivots, growth
// factor and pivot ratio; the packed factors with --out, --all or --full.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "commands/common.h"
#include "platform.h"

namespace qivla {

namespace {

// What INFO means for this shape: the module's words hold for a square
// matrix; a rectangular one has an upper trapezoidal U, and an empty one has
// nothing to factor.
std::string lu_explanation(const q::LuResult& r, int rows, int cols) {
    const int k = std::min(rows, cols);
    if (k == 0)
        return "the matrix is " + std::to_string(rows) + " x " + std::to_string(cols) +
               ": it has no entries, so there is nothing to factor";
    if (r.info == 0 && rows != cols)
        return "every pivot is nonzero: the " + std::to_string(k) + " x " + std::to_string(cols) +
               " upper trapezoidal U has full rank " + std::to_string(k);
    return r.explanation;
}

}  // namespace

int cmd_lu(const Args& args, const Context& ctx) {
    const bool json = args.has("--json");
    std::ostream& out = ctx.out;
    Progress progress(ctx.progress && !json);
    const std::string out_file = args.get("--out");
    if (!out_file.empty()) check_output_target(out_file, "--out");
    const MatrixFile m = load(args.positional[0], progress);
    check_memory(m, static_cast<double>(std::max(1, m.rows)) * m.cols * 16.0, "factoring");
    q::Matrix a(m.rows, m.cols);
    std::copy(m.a.begin(), m.a.end(), a.data());
    progress.start("factoring a " + std::to_string(m.rows) + " x " + std::to_string(m.cols) +
                   " matrix");
    const auto t0 = std::chrono::steady_clock::now();
    const q::LuResult r = ctx.lib.getrf(a.view());
    const double seconds = seconds_since(t0);
    progress.stop();
    const std::string explanation = lu_explanation(r, m.rows, m.cols);

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

    // The factors as the module leaves them: L below the diagonal (its unit
    // diagonal not stored), U on and above it; the pivots beside them.
    std::string pivots_file;
    if (!out_file.empty()) {
        MatrixFile f = result_matrix(
            m.name + "_lu",
            "LU factors of " + m.name + ": L below the diagonal (unit diagonal), U on and above",
            m.rows, m.cols);
        std::copy(a.data(), a.data() + f.a.size(), f.a.begin());
        write_result(out_file, f);
        MatrixFile p = result_matrix(m.name + "_pivots",
                                     "pivots of " + m.name +
                                         ": row i was interchanged with row "
                                         "ipiv(i)",
                                     k, 1);
        for (int d = 0; d < k; ++d)
            p.at(d, 0) = static_cast<double>(r.ipiv[static_cast<std::size_t>(d)]);
        pivots_file = tagged_name(out_file, "pivots");
        write_result(pivots_file, p);
    }
    const int status = r.info == 0 ? status_ok : status_numerical;

    if (json) {
        JsonWriter j;
        j.begin_object();
        j.key("command").value("lu");
        matrix_json(j, m);
        module_json(j, ctx.lib);
        j.key("info").value(r.info);
        j.key("explanation").value(explanation);
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
        if (args.has("--full")) {
            j.key("factors");
            matrix_columns_json(j, a, m.cols);
        }
        j.key("out").begin_array();
        if (!out_file.empty()) j.value(out_file).value(pivots_file);
        j.end_array();
        j.end_object();
        out << j.str() << "\n";
        return status;
    }
    matrix_and_module_text(out, m, ctx.lib);
    out << "INFO = " << r.info << ": " << explanation << "\n";
    out << "time: " << fmt("%.3f", seconds) << " s\n";
    if (k == 0) return status;
    out << "row interchanges: " << swaps << " of " << k << " pivots\n";
    out << "growth factor max|U(i,j)| / max|A(i,j)|: "
        << (has_growth ? fmt("%.4g", growth) : "undefined (A = 0)") << "\n";
    out << "reciprocal pivot ratio min|U(k,k)| / max|U(k,k)|: "
        << (has_ratio ? fmt("%.4g", ratio) : "undefined (every pivot is zero)") << "\n";
    if (!out_file.empty() && out_file != "-")
        out << "written: " << escaped(out_file) << " (factors), " << escaped(pivots_file)
            << " (pivots)\n";
    const bool all = args.has("--all");
    const int shown = all ? k : std::min(k, 20);
    out << "pivots"
        << (shown < k ? " (first " + std::to_string(shown) + " of " + std::to_string(k) +
                            "; --all lists every one)"
                      : "")
        << ":";
    for (int d = 0; d < shown; ++d) out << " " << r.ipiv[static_cast<std::size_t>(d)];
    out << "\n";
    if (all) {
        out << "factors (L below the diagonal, unit diagonal not stored; U on and above), by "
               "column:\n";
        for (int j = 0; j < m.cols; ++j)
            for (int i = 0; i < m.rows; ++i) {
                char line[200];
                std::snprintf(line, sizeof line, "%6d %6d  %s\n", i + 1, j + 1,
                              complex_text(a(i, j)).c_str());
                out << line;
            }
    }
    return status;
}

}  // namespace qivla
