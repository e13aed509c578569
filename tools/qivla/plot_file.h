// A spectrum plot as a file: SVG for a name ending in .svg, PNG (the same
// picture rendered through librsvg and cairo) for .png; any other name is
// refused before work starts.
#pragma once

#include <complex>
#include <string>
#include <vector>

#include "svg_plot.h"

namespace qivla {

enum class PlotKind { svg, png, unknown };
PlotKind plot_kind(const std::string& path);

// Writes the plot (atomically, like every output); throws FileError.
void write_plot(const std::string& path, const std::vector<std::complex<double>>& w,
                const PlotOptions& options);

}  // namespace qivla
