// Eigenvalues in the complex plane as a self-contained SVG picture: axes with
// ticks and grid lines, a title, and linear or symmetric-logarithmic scales
// (the latter for spectra spread over many decades, either sign).
#pragma once

#include <complex>
#include <string>
#include <vector>

namespace qivla {

struct PlotOptions {
    std::string title;     // first line, e.g. "Eigenvalues of PDE225"
    std::string subtitle;  // second line, smaller
    bool log = false;      // symmetric-logarithmic axes
    int width = 760;
    int height = 600;
};

// One axis of the plot: the data range it shows and how values map to it.
struct PlotAxis {
    double min = 0.0, max = 1.0;  // data values at the ends
    bool log = false;
    double threshold = 1.0;     // symlog: linear within [-threshold, threshold]
    std::vector<double> ticks;  // data values of the ticks, increasing

    double transform(double x) const;  // position in axis units (monotonic)
    double inverse(double u) const;
};

// The axis for these values (linear with "nice" ticks, or symlog).
PlotAxis make_axis(const std::vector<double>& values, bool log);

// A tick label: plain decimals where they read well, else exponent form.
std::string tick_label(double value, const PlotAxis& axis);

std::string spectrum_svg(const std::vector<std::complex<double>>& w, const PlotOptions& options);

}  // namespace qivla
