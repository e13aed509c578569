#include "plot_file.h"

#include <cairo.h>
#include <librsvg/rsvg.h>

#include <algorithm>
#include <cctype>

#include "output_file.h"
#include "text_source.h"

namespace qivla {

namespace {

std::string extension(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string e = path.substr(dot + 1);
    for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return e;
}

cairo_status_t append_png(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

// The SVG picture rendered at twice its size, on white.
std::string svg_to_png(const std::string& path, const std::string& svg, int width, int height) {
    GError* error = nullptr;
    RsvgHandle* handle = rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(svg.data()),
                                                   static_cast<gsize>(svg.size()), &error);
    if (!handle) {
        const std::string why = error ? error->message : "unknown error";
        if (error) g_error_free(error);
        throw FileError(path, 0, "cannot render the plot: " + why);
    }
    const double scale = 2.0;
    cairo_surface_t* surface = cairo_image_surface_create(
        CAIRO_FORMAT_RGB24, static_cast<int>(width * scale), static_cast<int>(height * scale));
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
    cairo_paint(cr);
    const RsvgRectangle viewport{0.0, 0.0, width * scale, height * scale};
    const gboolean ok = rsvg_handle_render_document(handle, cr, &viewport, &error);
    std::string png;
    cairo_surface_flush(surface);
    const cairo_status_t st = ok ? cairo_surface_write_to_png_stream(surface, append_png, &png)
                                 : CAIRO_STATUS_WRITE_ERROR;
    const std::string why = error ? error->message : cairo_status_to_string(st);
    if (error) g_error_free(error);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    g_object_unref(handle);
    if (!ok || st != CAIRO_STATUS_SUCCESS)
        throw FileError(path, 0, "cannot render the plot: " + why);
    return png;
}

}  // namespace

PlotKind plot_kind(const std::string& path) {
    const std::string e = extension(path);
    return e == "svg" ? PlotKind::svg : e == "png" ? PlotKind::png : PlotKind::unknown;
}

void write_plot(const std::string& path, const std::vector<std::complex<double>>& w,
                const PlotOptions& options) {
    const std::string svg = spectrum_svg(w, options);
    if (plot_kind(path) == PlotKind::png)
        write_text_file(path, svg_to_png(path, svg, options.width, options.height));
    else
        write_text_file(path, svg);
}

}  // namespace qivla
