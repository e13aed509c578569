#include "svg_plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace qivla {

namespace {

std::string xml_escape(const std::string& s) {
    std::string r;
    for (char c : s) {
        switch (c) {
            case '&':
                r += "&amp;";
                break;
            case '<':
                r += "&lt;";
                break;
            case '>':
                r += "&gt;";
                break;
            case '"':
                r += "&quot;";
                break;
            case '\'':
                r += "&apos;";
                break;
            default:
                // Control characters are not allowed in XML 1.0 text.
                if (static_cast<unsigned char>(c) >= 0x20 || c == '\t') r += c;
        }
    }
    return r;
}

std::string num(double v, int digits = 2) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.*f", digits, v);
    return buf;
}

std::string g17(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

PlotAxis linear_axis(double lo, double hi) {
    PlotAxis axis;
    if (!(hi > lo)) {
        const double d = lo != 0.0 ? std::fabs(lo) * 0.1 : 1.0;
        lo -= d;
        hi += d;
    }
    // The data with a margin of 4 % on each side; ticks at the multiples of
    // a 1-2-5 step inside, four to ten of them.
    const double span = hi - lo;
    axis.min = lo - 0.04 * span;
    axis.max = hi + 0.04 * span;
    const double raw = (axis.max - axis.min) / 8.0;
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    double step = mag;
    for (double f : {1.0, 2.0, 5.0, 10.0})
        if (f * mag >= raw) {
            step = f * mag;
            break;
        }
    for (double k = std::ceil(axis.min / step); k * step <= axis.max; k += 1.0) {
        const double t = k * step;
        axis.ticks.push_back(std::fabs(t) < step * 1e-9 ? 0.0 : t);
    }
    return axis;
}

}  // namespace

double PlotAxis::transform(double x) const {
    if (!log) return x;
    const double a = std::fabs(x);
    if (a <= threshold) return x / threshold;
    return std::copysign(1.0 + std::log10(a / threshold), x);
}

double PlotAxis::inverse(double u) const {
    if (!log) return u;
    const double a = std::fabs(u);
    if (a <= 1.0) return u * threshold;
    return std::copysign(threshold * std::pow(10.0, a - 1.0), u);
}

PlotAxis make_axis(const std::vector<double>& values, bool log) {
    double lo = 0.0, hi = 0.0, big = 0.0, small = 0.0;
    bool first = true;
    for (double v : values) {
        if (!std::isfinite(v)) continue;
        lo = first ? v : std::min(lo, v);
        hi = first ? v : std::max(hi, v);
        first = false;
        const double a = std::fabs(v);
        big = std::max(big, a);
        if (a > 0.0) small = small == 0.0 ? a : std::min(small, a);
    }
    if (!log) return linear_axis(lo, hi);

    PlotAxis axis;
    axis.log = true;
    // The linear part around zero is one decade wide, at the smallest
    // nonzero magnitude but no more than 30 decades below the largest.
    const double floor_value = big > 0.0 ? std::max(small, big * 1e-30) : 1.0;
    axis.threshold = std::pow(10.0, std::floor(std::log10(floor_value)));
    double ulo = std::floor(std::min(0.0, axis.transform(lo)));
    double uhi = std::ceil(std::max(0.0, axis.transform(hi)));
    // A whole decade beyond the data when a value sits on the end.
    if (!first && axis.transform(lo) <= ulo && ulo < 0.0) ulo -= 1.0;
    if (!first && axis.transform(hi) >= uhi && uhi > 0.0) uhi += 1.0;
    if (ulo == uhi) {
        ulo -= 1.0;
        uhi += 1.0;
    }
    axis.min = axis.inverse(ulo);
    axis.max = axis.inverse(uhi);
    const double decades = uhi - ulo;
    const double step = std::max(1.0, std::ceil(decades / 10.0));
    for (double u = 0.0; u >= ulo; u -= step) axis.ticks.push_back(axis.inverse(u));
    std::reverse(axis.ticks.begin(), axis.ticks.end());
    for (double u = step; u <= uhi; u += step) axis.ticks.push_back(axis.inverse(u));
    return axis;
}

std::string tick_label(double value, const PlotAxis& axis) {
    char buf[40];
    if (value == 0.0) return "0";
    if (axis.log) {
        const double e = std::round(std::log10(std::fabs(value)));
        std::snprintf(buf, sizeof buf, "%s1e%d", value < 0 ? "\xe2\x88\x92" : "",
                      static_cast<int>(e));
        return buf;
    }
    const double step = axis.ticks.size() > 1 ? axis.ticks[1] - axis.ticks[0] : 1.0;
    const double big = std::max(std::fabs(axis.min), std::fabs(axis.max));
    if (big >= 1e6 || step < 1e-4) {
        std::snprintf(buf, sizeof buf, "%.3g", value);
    } else {
        const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
        std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    }
    std::string s = buf;
    if (!s.empty() && s[0] == '-') s = "\xe2\x88\x92" + s.substr(1);  // a real minus sign
    return s;
}

std::string spectrum_svg(const std::vector<std::complex<double>>& w, const PlotOptions& o) {
    std::vector<double> re, im;
    for (const auto& z : w) {
        re.push_back(z.real());
        im.push_back(z.imag());
    }
    const PlotAxis ax = make_axis(re, o.log), ay = make_axis(im, o.log);
    const double left = 96, right = o.width - 28.0, top = 70, bottom = o.height - 64.0;
    auto px = [&](double x) {
        return left + (ax.transform(x) - ax.transform(ax.min)) /
                          (ax.transform(ax.max) - ax.transform(ax.min)) * (right - left);
    };
    auto py = [&](double y) {
        return bottom - (ay.transform(y) - ay.transform(ay.min)) /
                            (ay.transform(ay.max) - ay.transform(ay.min)) * (bottom - top);
    };
    const char* scale = o.log ? "symlog" : "linear";

    std::string s;
    s += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    s += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + std::to_string(o.width) +
         "\" height=\"" + std::to_string(o.height) + "\" viewBox=\"0 0 " + std::to_string(o.width) +
         " " + std::to_string(o.height) +
         "\" font-family=\"DejaVu Sans, Helvetica, Arial, sans-serif\">\n";
    s += "<title>" + xml_escape(o.title) + "</title>\n";
    s += "<rect x=\"0\" y=\"0\" width=\"" + std::to_string(o.width) + "\" height=\"" +
         std::to_string(o.height) + "\" fill=\"white\"/>\n";
    s += "<text id=\"title\" x=\"" + num(o.width / 2.0) +
         "\" y=\"30\" text-anchor=\"middle\" font-size=\"18\" font-weight=\"bold\">" +
         xml_escape(o.title) + "</text>\n";
    if (!o.subtitle.empty())
        s += "<text id=\"subtitle\" x=\"" + num(o.width / 2.0) +
             "\" y=\"52\" text-anchor=\"middle\" font-size=\"13\" fill=\"#444\">" +
             xml_escape(o.subtitle) + "</text>\n";

    // Grid, ticks and labels of each axis.
    s += "<g id=\"x-axis\" data-min=\"" + g17(ax.min) + "\" data-max=\"" + g17(ax.max) +
         "\" data-scale=\"" + scale + "\" data-threshold=\"" + g17(ax.threshold) +
         "\" font-size=\"12\">\n";
    for (double t : ax.ticks) {
        const std::string x = num(px(t));
        s += "  <line class=\"grid\" x1=\"" + x + "\" y1=\"" + num(top) + "\" x2=\"" + x +
             "\" y2=\"" + num(bottom) + "\" stroke=\"#e4e4e4\"/>\n";
        s += "  <line class=\"tick\" data-value=\"" + g17(t) + "\" x1=\"" + x + "\" y1=\"" +
             num(bottom) + "\" x2=\"" + x + "\" y2=\"" + num(bottom + 6) +
             "\" stroke=\"black\"/>\n";
        s += "  <text class=\"tick-label\" x=\"" + x + "\" y=\"" + num(bottom + 21) +
             "\" text-anchor=\"middle\">" + xml_escape(tick_label(t, ax)) + "</text>\n";
    }
    s += "  <text class=\"axis-label\" x=\"" + num((left + right) / 2) + "\" y=\"" +
         num(o.height - 14.0) + "\" text-anchor=\"middle\" font-size=\"14\">Re \xce\xbb" +
         (o.log ? " (symmetric log scale)" : "") + "</text>\n";
    s += "</g>\n";
    s += "<g id=\"y-axis\" data-min=\"" + g17(ay.min) + "\" data-max=\"" + g17(ay.max) +
         "\" data-scale=\"" + scale + "\" data-threshold=\"" + g17(ay.threshold) +
         "\" font-size=\"12\">\n";
    for (double t : ay.ticks) {
        const std::string y = num(py(t));
        s += "  <line class=\"grid\" x1=\"" + num(left) + "\" y1=\"" + y + "\" x2=\"" + num(right) +
             "\" y2=\"" + y + "\" stroke=\"#e4e4e4\"/>\n";
        s += "  <line class=\"tick\" data-value=\"" + g17(t) + "\" x1=\"" + num(left - 6) +
             "\" y1=\"" + y + "\" x2=\"" + num(left) + "\" y2=\"" + y + "\" stroke=\"black\"/>\n";
        s += "  <text class=\"tick-label\" x=\"" + num(left - 9) + "\" y=\"" + num(py(t) + 4) +
             "\" text-anchor=\"end\">" + xml_escape(tick_label(t, ay)) + "</text>\n";
    }
    s += "  <text class=\"axis-label\" transform=\"translate(18 " + num((top + bottom) / 2) +
         ") rotate(-90)\" text-anchor=\"middle\" font-size=\"14\">Im \xce\xbb" +
         (o.log ? " (symmetric log scale)" : "") + "</text>\n";
    s += "</g>\n";

    // The frame and the lines through zero.
    s += "<rect id=\"frame\" x=\"" + num(left) + "\" y=\"" + num(top) + "\" width=\"" +
         num(right - left) + "\" height=\"" + num(bottom - top) +
         "\" fill=\"none\" stroke=\"black\"/>\n";
    if (ax.min < 0.0 && ax.max > 0.0)
        s += "<line id=\"zero-x\" x1=\"" + num(px(0.0)) + "\" y1=\"" + num(top) + "\" x2=\"" +
             num(px(0.0)) + "\" y2=\"" + num(bottom) +
             "\" stroke=\"#888\" stroke-dasharray=\"4 3\"/>\n";
    if (ay.min < 0.0 && ay.max > 0.0)
        s += "<line id=\"zero-y\" x1=\"" + num(left) + "\" y1=\"" + num(py(0.0)) + "\" x2=\"" +
             num(right) + "\" y2=\"" + num(py(0.0)) +
             "\" stroke=\"#888\" stroke-dasharray=\"4 3\"/>\n";

    s += "<g id=\"points\" fill=\"#1f5fa8\" fill-opacity=\"0.75\" stroke=\"#0b2f57\" "
         "stroke-width=\"0.6\">\n";
    for (const auto& z : w) {
        if (!std::isfinite(z.real()) || !std::isfinite(z.imag())) continue;
        s += "  <circle cx=\"" + num(px(z.real())) + "\" cy=\"" + num(py(z.imag())) +
             "\" r=\"3\" data-re=\"" + g17(z.real()) + "\" data-im=\"" + g17(z.imag()) + "\"/>\n";
    }
    s += "</g>\n</svg>\n";
    return s;
}

}  // namespace qivla
