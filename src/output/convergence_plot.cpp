#include "output/convergence_plot.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

#include "common/text_format.h"
#include "output/atomic_file.h"

namespace veltaro {

convergence_history::convergence_history(std::size_t capacity)
    : slots_(std::max<std::size_t>(capacity, 3)) {}

void convergence_history::add(int iteration, double change_u, double change_v,
                              double change_p) noexcept {
    const bool on_stride = added_ % stride_ == 0;
    if (on_stride && kept_ == slots_.size() - 1) drop_every_other();
    // The stride may just have doubled.
    const bool kept = added_ % stride_ == 0;
    slots_[kept_] = convergence_point{iteration, change_u, change_v, change_p};
    if (kept) ++kept_;
    latest_off_stride_ = !kept;
    ++added_;
}

void convergence_history::drop_every_other() noexcept {
    const std::size_t remaining = (kept_ + 1) / 2;
    for (std::size_t k = 1; k < remaining; ++k) slots_[k] = slots_[2 * k];
    kept_ = remaining;
    stride_ *= 2;
}

std::span<const convergence_point> convergence_history::points() const {
    return {slots_.data(), kept_ + (latest_off_stride_ ? 1 : 0)};
}

namespace {

constexpr int svg_width = 720;
constexpr int svg_height = 450;
constexpr double plot_left = 80.0;
constexpr double plot_right = 700.0;
constexpr double plot_top = 20.0;
constexpr double plot_bottom = 390.0;

struct series {
    double convergence_point::*change;
    const char* colour;
    const char* name;
};

constexpr series all_series[] = {
    {&convergence_point::change_u, "#1f77b4", "change of mean |u|"},
    {&convergence_point::change_v, "#d62728", "change of mean |v|"},
    {&convergence_point::change_p, "#2ca02c", "change of mean |p|"},
};

struct plot_axes {
    double first = 0.0;  // iteration at the left edge
    double last = 1.0;   // iteration at the right edge
    double step = 1.0;   // between iteration ticks
    int decade_low = -6;
    int decade_high = 0;
};

// Fixed decimals with a point whatever the locale.
void append_number(std::string& out, double value, int decimals = 2) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    out.append(buffer, result.ptr);
}

void append_attribute(std::string& out, const char* name, double value) {
    out += ' ';
    out += name;
    out += "=\"";
    append_number(out, value);
    out += '"';
}

void append_escaped(std::string& out, std::string_view text) {
    for (const char c : text) {
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
}

// <tag x1="..." .../> with the four coordinates named by names.
void append_shape(std::string& out, const char* tag, const std::array<const char*, 4>& names,
                  const std::array<double, 4>& values, std::string_view style) {
    out += '<';
    out += tag;
    for (std::size_t k = 0; k < names.size(); ++k) append_attribute(out, names[k], values[k]);
    out += ' ';
    out += style;
    out += "/>\n";
}

void append_line(std::string& out, double x1, double y1, double x2, double y2,
                 std::string_view style) {
    append_shape(out, "line", {"x1", "y1", "x2", "y2"}, {x1, y1, x2, y2}, style);
}

void append_rect(std::string& out, double x, double y, double width, double height,
                 std::string_view style) {
    append_shape(out, "rect", {"x", "y", "width", "height"}, {x, y, width, height}, style);
}

void append_text(std::string& out, double x, double y, std::string_view style,
                 std::string_view text) {
    out += "<text";
    append_attribute(out, "x", x);
    append_attribute(out, "y", y);
    if (!style.empty()) out += ' ';
    out += style;
    out += '>';
    append_escaped(out, text);
    out += "</text>\n";
}

// 1, 2 or 5 times a power of ten, giving about five ticks; whole
// iterations only.
double round_step(double span) {
    const double raw = span / 5.0;
    if (raw <= 1.0) return 1.0;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (raw <= factor * power) return factor * power;
    }
    return 10.0 * power;
}

void fit_iterations(plot_axes& axes, std::span<const convergence_point> points) {
    if (points.empty()) return;
    const auto [lowest, highest] =
        std::minmax_element(points.begin(), points.end(),
                            [](const auto& a, const auto& b) { return a.iteration < b.iteration; });
    axes.step = round_step(static_cast<double>(highest->iteration) - lowest->iteration);
    axes.first = std::floor(lowest->iteration / axes.step) * axes.step;
    axes.last = std::ceil(highest->iteration / axes.step) * axes.step;
    if (axes.last <= axes.first) axes.last = axes.first + axes.step;
}

void fit_decades(plot_axes& axes, std::span<const convergence_point> points, double threshold) {
    double low = std::numeric_limits<double>::infinity();
    double high = 0.0;
    const auto include = [&](double value) {
        if (value > 0.0 && std::isfinite(value)) {
            low = std::min(low, value);
            high = std::max(high, value);
        }
    };
    include(threshold);
    for (const convergence_point& point : points) {
        for (const series& s : all_series) include(point.*s.change);
    }
    if (high == 0.0) return;
    axes.decade_low = static_cast<int>(std::floor(std::log10(low)));
    axes.decade_high = static_cast<int>(std::ceil(std::log10(high)));
    if (axes.decade_high == axes.decade_low) ++axes.decade_high;
}

double x_of(const plot_axes& axes, double iteration) {
    return plot_left +
           (iteration - axes.first) / (axes.last - axes.first) * (plot_right - plot_left);
}

double y_of_decade(const plot_axes& axes, double decade) {
    const double share = (decade - axes.decade_low) / (axes.decade_high - axes.decade_low);
    return plot_bottom - std::clamp(share, 0.0, 1.0) * (plot_bottom - plot_top);
}

double y_of(const plot_axes& axes, double change) {
    if (std::isnan(change) || std::isinf(change)) return plot_top;
    if (change <= 0.0) return plot_bottom;
    return y_of_decade(axes, std::log10(change));
}

void draw_iteration_axis(std::string& out, const plot_axes& axes) {
    const long ticks = std::lround((axes.last - axes.first) / axes.step);
    for (long k = 0; k <= ticks; ++k) {
        const double tick = axes.first + static_cast<double>(k) * axes.step;
        const double x = x_of(axes, tick);
        append_line(out, x, plot_bottom, x, plot_bottom + 5, R"(stroke="#000")");
        std::string label;
        append_number(label, tick, 0);
        append_text(out, x, plot_bottom + 20, R"(text-anchor="middle")", label);
    }
    append_text(out, (plot_left + plot_right) / 2, svg_height - 20, R"(text-anchor="middle")",
                "iteration");
}

void draw_change_axis(std::string& out, const plot_axes& axes) {
    // Changes down among the denormals would span hundreds of decades; then
    // only about a dozen evenly spread ones are marked, to stay legible.
    const int decades = axes.decade_high - axes.decade_low;
    const int mark_every = (decades + 11) / 12;
    for (int decade = axes.decade_low; decade <= axes.decade_high; decade += mark_every) {
        const double y = y_of_decade(axes, decade);
        append_line(out, plot_left, y, plot_right, y, R"(stroke="#ddd")");
        append_line(out, plot_left - 5, y, plot_left, y, R"(stroke="#000")");
        append_text(out, plot_left - 8, y + 4, R"(text-anchor="end")",
                    "1e" + std::to_string(decade));
    }
    out += "<text transform=\"translate(20 ";
    append_number(out, (plot_top + plot_bottom) / 2);
    out += ") rotate(-90)\" text-anchor=\"middle\">relative change</text>\n";
}

void draw_threshold(std::string& out, const plot_axes& axes, double threshold) {
    if (!(threshold > 0.0) || !std::isfinite(threshold)) return;
    const double y = y_of(axes, threshold);
    append_line(out, plot_left, y, plot_right, y,
                R"(stroke="#000" stroke-width="1" stroke-dasharray="6 4")");
    char number[32];
    const auto result =
        std::to_chars(number, number + sizeof number, threshold, std::chars_format::general, 3);
    // At the left, clear of the legend and, in a run that settles, of the
    // lines, which are still high there; below the line when it is the top. A
    // white outline keeps it readable over a line all the same.
    const double label_y = y - plot_top < 16 ? y + 14 : y - 4;
    append_text(out, plot_left + 6, label_y,
                R"(stroke="#fff" stroke-width="3" paint-order="stroke")",
                "stop threshold " + std::string(number, result.ptr));
}

void draw_series(std::string& out, const plot_axes& axes,
                 std::span<const convergence_point> points) {
    if (points.empty()) return;
    for (const series& s : all_series) {
        out += R"(<polyline fill="none" stroke-width="1.5" stroke=")";
        out += s.colour;
        out += R"(" points=")";
        for (const convergence_point& point : points) {
            append_number(out, x_of(axes, point.iteration));
            out += ',';
            append_number(out, y_of(axes, point.*s.change));
            out += ' ';
        }
        out += "\"/>\n";
    }
}

// Top right, where the lines have usually fallen away; its backing keeps
// it readable where they have not.
void draw_legend(std::string& out) {
    const double x = plot_right - 170;
    double y = plot_top + 20;
    append_rect(out, x - 8, y - 16, 170, 58, R"(fill="#fff" fill-opacity="0.85" stroke="#999")");
    for (const series& s : all_series) {
        append_line(out, x, y - 4, x + 24, y - 4,
                    std::string(R"(stroke-width="2" stroke=")") + s.colour + '"');
        append_text(out, x + 30, y, "", s.name);
        y += 18;
    }
}

std::string svg_opening() {
    return format_text(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" "
        "viewBox=\"0 0 %d %d\" font-family=\"sans-serif\" font-size=\"12\">\n"
        "<rect width=\"%d\" height=\"%d\" fill=\"#fff\"/>\n",
        svg_width, svg_height, svg_width, svg_height, svg_width, svg_height);
}

void draw_frame(std::string& out) {
    append_rect(out, plot_left, plot_top, plot_right - plot_left, plot_bottom - plot_top,
                R"(fill="none" stroke="#000")");
}

std::string plot_svg(const convergence_history& history, double threshold) {
    const auto points = history.points();
    plot_axes axes;
    fit_iterations(axes, points);
    fit_decades(axes, points, threshold);
    std::string out = svg_opening();
    draw_change_axis(out, axes);
    draw_iteration_axis(out, axes);
    draw_series(out, axes, points);
    draw_threshold(out, axes, threshold);
    draw_frame(out);
    draw_legend(out);
    out += "</svg>\n";
    return out;
}

}  // namespace

void write_convergence_plot(const std::string& file_name, const convergence_history& history,
                            double threshold) {
    const std::string svg = plot_svg(history, threshold);
    atomic_file file(file_name, file_kind::text);
    file.write(svg);
    file.commit();
}

}  // namespace veltaro
