// qivla eig: eigenvalues, eigenvectors, their residuals and condition
// numbers, as text, JSON, result files and a plot.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "commands/common.h"
#include "output_file.h"
#include "platform.h"
#include "plot_file.h"
#include "svg_plot.h"

namespace qivla {

namespace {

// Relative residual of one eigenpair: ||A v - w v||_1 / (||A||_1 ||v||_1) for
// a right vector, ||u^H A - w u^H||_1 / (||A||_inf ||u||_1) for a left one.
double eigen_residual(const Sparse& a, double anorm, const zcomplex& w, const q::Matrix& v, int j,
                      bool left, std::vector<zcomplex>& r) {
    const int n = v.rows();
    std::fill(r.begin(), r.end(), zcomplex(0.0, 0.0));
    for (std::size_t k = 0; k < a.val.size(); ++k) {
        if (left)
            r[static_cast<std::size_t>(a.col[k])] += mul(std::conj(v(a.row[k], j)), a.val[k]);
        else
            r[static_cast<std::size_t>(a.row[k])] += mul(a.val[k], v(a.col[k], j));
    }
    double num = 0.0, vnorm = 0.0;
    for (int i = 0; i < n; ++i) {
        const zcomplex vi = left ? std::conj(v(i, j)) : v(i, j);
        num += abs1(r[static_cast<std::size_t>(i)] - mul(w, vi));
        vnorm += abs1(vi);
    }
    const double den = anorm * vnorm;
    return den > 0.0 ? num / den : num;
}

// The eigenpairs the residual check looks at: every one with --check all (or
// when there are few), else an evenly spread sample. The full check costs
// one sparse product per pair, more than the eigen computation itself for a
// dense matrix of large order.
constexpr int sample_size = 64;

std::vector<int> pairs_to_check(int n, const std::string& check) {
    std::vector<int> idx;
    if (check == "none" || n == 0) return idx;
    if (check == "all" || n <= sample_size) {
        for (int j = 0; j < n; ++j) idx.push_back(j);
        return idx;
    }
    for (int k = 0; k < sample_size; ++k)
        idx.push_back(static_cast<int>(static_cast<long long>(k) * (n - 1) / (sample_size - 1)));
    idx.erase(std::unique(idx.begin(), idx.end()), idx.end());
    return idx;
}

// Residuals in the module's order; NaN where a pair was not checked.
std::vector<double> residuals(const Sparse& a, double anorm, const std::vector<zcomplex>& w,
                              const q::Matrix& v, bool left, const std::vector<int>& idx) {
    std::vector<double> res(w.size(), std::nan(""));
    std::vector<zcomplex> r(static_cast<std::size_t>(std::max(1, v.rows())));
    for (int j : idx)
        res[static_cast<std::size_t>(j)] =
            eigen_residual(a, anorm, w[static_cast<std::size_t>(j)], v, j, left, r);
    return res;
}

double worst(const std::vector<double>& v) {
    double m = 0.0;
    for (double x : v)
        if (!std::isnan(x)) m = std::max(m, x);
    return m;
}

// 1/|u^H v| for unit left and right vectors u and v of each eigenvalue: how
// much a perturbation of A of norm e can move the eigenvalue, to first
// order (e times the condition number). Infinity when u^H v = 0.
std::vector<double> condition_numbers(const q::Matrix& vl, const q::Matrix& vr) {
    const int n = vr.rows();
    std::vector<double> cond(static_cast<std::size_t>(vr.cols()), 0.0);
    for (int j = 0; j < vr.cols(); ++j) {
        zcomplex dot(0.0, 0.0);
        double nu = 0.0, nv = 0.0;
        for (int i = 0; i < n; ++i) {
            dot += mul(std::conj(vl(i, j)), vr(i, j));
            nu += std::norm(vl(i, j));
            nv += std::norm(vr(i, j));
        }
        const double s = std::abs(dot) / (std::sqrt(nu) * std::sqrt(nv));
        cond[static_cast<std::size_t>(j)] = s > 0.0 ? 1.0 / s : HUGE_VAL;
    }
    return cond;
}

void array_json(JsonWriter& j, const std::vector<double>& v) {
    if (v.empty()) {
        j.null();
        return;
    }
    j.begin_array();
    for (double x : v) j.value(x);  // NaN and infinity become null
    j.end_array();
}

}  // namespace

int cmd_eig(const Args& args, const std::string& file, const Context& ctx) {
    const bool json = args.has("--json");
    std::ostream& out = ctx.out;
    Progress progress(ctx.progress && !json);
    const bool cond = args.has("--cond");
    const std::string which = cond ? "both" : args.get("--vectors", "right");
    const bool left = which == "left" || which == "both",
               right = which == "right" || which == "both";
    const std::string plot = args.get("--plot"), out_file = args.get("--out");
    const std::string check = args.get("--check", "sample");
    if (!plot.empty()) check_output_target(plot, "--plot");
    if (!out_file.empty()) check_output_target(out_file, "--out");

    const MatrixFile m = load(file, progress);
    require_square(m, "an eigenvalue problem");
    const int n = m.rows;
    const double nn = static_cast<double>(n) * n * 16.0;
    check_memory(m, nn * (1 + (left ? 1 : 0) + (right ? 1 : 0)) + 140.0 * 16.0 * n,
                 "the eigenvalues and vectors");

    q::Matrix a(n, n);
    std::copy(m.a.begin(), m.a.begin() + static_cast<std::ptrdiff_t>(std::max(1, n)) * n, a.data());
    q::Matrix vl(left ? n : 1, left ? n : 1), vr(right ? n : 1, right ? n : 1);
    progress.start("computing " + std::to_string(n) + " eigenvalues" +
                   (which == "none"   ? ""
                    : which == "both" ? " and eigenvectors"
                                      : " and " + which + " eigenvectors"));
    const auto t0 = std::chrono::steady_clock::now();
    const q::EigResult r =
        ctx.lib.geev(left ? "V" : "N", right ? "V" : "N", a.view(), vl.view(), vr.view());
    const double seconds = seconds_since(t0);
    progress.stop();
    const int first_valid = r.info > 0 ? r.info : 0;

    std::vector<double> res_right, res_left, conds;
    const std::vector<int> idx = pairs_to_check(r.info == 0 ? n : 0, check);
    if (r.info == 0 && (left || right) && !idx.empty()) {
        progress.start("checking the eigenvectors");
        const Sparse sp = nonzeros_of(m);
        if (right) res_right = residuals(sp, norm_one(m, false), r.w, vr, false, idx);
        if (left) res_left = residuals(sp, norm_one(m, true), r.w, vl, true, idx);
        progress.stop();
    }
    if (cond && r.info == 0) conds = condition_numbers(vl, vr);
    const std::string check_said =
        idx.empty() ? std::string("none")
                    : (static_cast<int>(idx.size()) == n ? "all " : "a sample of ") +
                          std::to_string(idx.size()) + " of " + std::to_string(n) + " pairs";

    if (!plot.empty()) {
        PlotOptions po;
        po.title = "Eigenvalues of " + m.name;
        po.subtitle = std::to_string(n) + " x " + std::to_string(n) + ", " + m.format +
                      (args.has("--log") ? ", symmetric logarithmic axes" : "");
        po.log = args.has("--log");
        const std::vector<zcomplex> shown(r.w.begin() + first_valid, r.w.end());
        write_plot(plot, shown, po);
    }

    std::vector<std::string> written;
    if (!out_file.empty()) {
        const int k = n - first_valid;
        MatrixFile wf = result_matrix(
            m.name + "_eigenvalues",
            "eigenvalues of " + m.name + (cond ? " (column 2: condition numbers)" : ""), k,
            cond && !conds.empty() ? 2 : 1);
        for (int i = 0; i < k; ++i) {
            wf.at(i, 0) = r.w[static_cast<std::size_t>(first_valid + i)];
            if (wf.cols == 2) wf.at(i, 1) = conds[static_cast<std::size_t>(i)];
        }
        write_result(out_file, wf);
        written.push_back(out_file);
        auto vectors = [&](const q::Matrix& v, const char* tag) {
            MatrixFile vf = result_matrix(
                m.name + "_" + tag,
                std::string(tag) + " eigenvectors of " + m.name + " (column j: eigenvalue j)", n,
                n);
            std::copy(v.data(), v.data() + vf.a.size(), vf.a.begin());
            const std::string path = tagged_name(out_file, tag);
            write_result(path, vf);
            written.push_back(path);
        };
        if (r.info == 0 && right) vectors(vr, "right");
        if (r.info == 0 && left) vectors(vl, "left");
    }

    const int status = r.info == 0 ? status_ok : status_numerical;
    if (json) {
        JsonWriter j;
        j.begin_object();
        j.key("command").value("eig");
        matrix_json(j, m);
        module_json(j, ctx.lib);
        j.key("vectors").value(which);
        j.key("info").value(r.info);
        j.key("explanation").value(r.explanation);
        j.key("seconds").value(seconds);
        j.key("lwork").value(r.lwork);
        j.key("eigenvalues").begin_array();
        for (const zcomplex& z : r.w) j.complex(z);
        j.end_array();
        j.key("check").begin_object();
        j.key("kind").value(idx.empty()                         ? "none"
                            : static_cast<int>(idx.size()) == n ? "all"
                                                                : "sample");
        j.key("pairs").value(static_cast<int>(idx.size()));
        j.end_object();
        j.key("residuals").begin_object();
        j.key("right");
        array_json(j, res_right);
        j.key("left");
        array_json(j, res_left);
        j.end_object();
        j.key("max_residual_right");
        res_right.empty() ? j.null() : j.value(worst(res_right));
        j.key("max_residual_left");
        res_left.empty() ? j.null() : j.value(worst(res_left));
        j.key("condition");
        array_json(j, conds);
        if (args.has("--full")) {
            j.key("right_vectors");
            if (right && r.info == 0)
                matrix_columns_json(j, vr, n);
            else
                j.null();
            j.key("left_vectors");
            if (left && r.info == 0)
                matrix_columns_json(j, vl, n);
            else
                j.null();
        }
        j.key("plot");
        plot.empty() ? j.null() : j.value(plot);
        j.key("out").begin_array();
        for (const std::string& w : written) j.value(w);
        j.end_array();
        j.end_object();
        out << j.str() << "\n";
        return status;
    }

    matrix_and_module_text(out, m, ctx.lib);
    out << "INFO = " << r.info << ": " << r.explanation << "\n";
    out << "time: " << fmt("%.3f", seconds) << " s for " << n << " eigenvalues"
        << (which == "none"   ? ""
            : which == "both" ? " and both kinds of eigenvectors"
                              : " and the " + which + " eigenvectors")
        << "\n";
    if (!res_right.empty() || !res_left.empty())
        out << "residual check: " << check_said
            << (static_cast<int>(idx.size()) < n ? " (--check all checks every one)" : "") << "\n";
    if (!res_right.empty())
        out << "largest residual ||A v - w v||_1 / (||A||_1 ||v||_1) over the right vectors: "
            << fmt("%.2e", worst(res_right)) << "\n";
    if (!res_left.empty())
        out << "largest residual ||u^H A - w u^H||_1 / (||A||_inf ||u||_1) over the left vectors: "
            << fmt("%.2e", worst(res_left)) << "\n";
    if (!plot.empty()) out << "plot: " << escaped(plot) << "\n";
    for (const std::string& w : written)
        if (w != "-") out << "written: " << escaped(w) << "\n";

    const std::vector<zcomplex> valid(r.w.begin() + first_valid, r.w.end());
    const std::vector<int> order = eigen_order(valid);
    const std::size_t show = args.has("--all") || valid.size() <= 30 ? valid.size() : 20;
    out << "\neigenvalues by modulus, largest first";
    if (show < valid.size())
        out << " (" << show << " of " << valid.size() << "; --all lists every one)";
    if (!conds.empty()) out << ", with their condition numbers 1/|u^H v|";
    out << ":\n";
    for (std::size_t k = 0; k < show; ++k) {
        const std::size_t at = static_cast<std::size_t>(order[k]);
        char line[200];
        std::snprintf(line, sizeof line, "%6zu  %s   |w| = %.6e", k + 1,
                      complex_text(valid[at]).c_str(), std::abs(valid[at]));
        out << line;
        if (!conds.empty()) out << "   cond = " << fmt("%.3e", conds[at]);
        out << "\n";
    }
    return status;
}

}  // namespace qivla
