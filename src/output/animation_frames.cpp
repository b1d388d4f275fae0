#include "output/animation_frames.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string_view>

#include "output/bilinear.h"

namespace veltaro {
namespace {

// The diverging scale's key colours at s = -1, -1/2, 0, 1/2, 1: dark blue,
// blue, near white, red, dark red; straight blends between them.
constexpr std::array<rgb, 5> scale_keys = {
    {{5, 48, 97}, {67, 147, 195}, {247, 247, 247}, {214, 96, 77}, {103, 0, 31}}};

rgb scale_color(double s) {
    const double t = (s + 1.0) * 2.0;  // 0 ... 4
    const int k = std::clamp(static_cast<int>(t), 0, 3);
    const double f = t - k;
    const auto blend = [f](unsigned char a, unsigned char b) {
        return static_cast<unsigned char>(std::lround(a + (b - a) * f));
    };
    const rgb& a = scale_keys[static_cast<std::size_t>(k)];
    const rgb& b = scale_keys[static_cast<std::size_t>(k) + 1];
    return {blend(a.red, b.red), blend(a.green, b.green), blend(a.blue, b.blue)};
}

std::array<rgb, 256> make_palette() {
    std::array<rgb, 256> palette{};
    palette[body_index] = {0, 0, 0};
    for (int k = 1; k < 256; ++k)
        palette[static_cast<std::size_t>(k)] = scale_color((k - 128) / 127.0);
    return palette;
}

// A 5 x 7 pixel font for the legend's few characters; each row's five bits,
// the leftmost pixel the highest.
struct glyph {
    char letter;
    std::array<unsigned char, 7> rows;
};
constexpr std::array<glyph, 26> font = {{
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'.', {0, 0, 0, 0, 0, 0x0C, 0x0C}},
    {'-', {0, 0, 0, 0x1F, 0, 0, 0}},
    {'+', {0, 0x04, 0x04, 0x1F, 0x04, 0x04, 0}},
    {'e', {0, 0, 0x0E, 0x11, 0x1F, 0x10, 0x0E}},
    {'[', {0x0E, 0x08, 0x08, 0x08, 0x08, 0x08, 0x0E}},
    {']', {0x0E, 0x02, 0x02, 0x02, 0x02, 0x02, 0x0E}},
    {'/', {0, 0x01, 0x02, 0x04, 0x08, 0x10, 0}},
    {'v', {0, 0, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'o', {0, 0, 0x0E, 0x11, 0x11, 0x11, 0x0E}},
    {'r', {0, 0, 0x16, 0x19, 0x10, 0x10, 0x10}},
    {'t', {0x08, 0x08, 0x1C, 0x08, 0x08, 0x09, 0x06}},
    {'i', {0x04, 0, 0x0C, 0x04, 0x04, 0x04, 0x0E}},
    {'c', {0, 0, 0x0E, 0x10, 0x10, 0x11, 0x0E}},
    {'y', {0, 0, 0x11, 0x11, 0x0F, 0x01, 0x0E}},
    {'s', {0, 0, 0x0E, 0x10, 0x0E, 0x01, 0x1E}},
    {' ', {0, 0, 0, 0, 0, 0, 0}},
}};
constexpr int glyph_advance = 6;

// Pixels of one frame, with drawing clipped to it.
struct canvas {
    std::span<unsigned char> pixels;
    frame_size size;
    void set(int c, int r, unsigned char index) const {
        if (c < 0 || c >= size.width || r < 0 || r >= size.height()) return;
        pixels[static_cast<std::size_t>(r) * static_cast<std::size_t>(size.width) +
               static_cast<std::size_t>(c)] = index;
    }
};

// Writes text in black from column x, rows top ... top + 6; returns the
// column after it.
int draw_text(const canvas& out, int x, int top, std::string_view text) {
    for (const char letter : text) {
        const auto found = std::find_if(font.begin(), font.end(),
                                        [letter](const glyph& g) { return g.letter == letter; });
        if (found != font.end()) {
            for (int r = 0; r < 7; ++r) {
                for (int c = 0; c < 5; ++c) {
                    if (found->rows[static_cast<std::size_t>(r)] & (0x10 >> c))
                        out.set(x + c, top + r, body_index);
                }
            }
        }
        x += glyph_advance;
    }
    return x;
}

// The strip below the flow: "-B", the colour bar from -B to +B with a tick
// at zero, "+B" and the quantity's name, B the scale's half-width.
void draw_legend(const canvas& out, float bound) {
    const int top = out.size.field_height;
    for (int r = top; r < out.size.height(); ++r) {
        for (int c = 0; c < out.size.width; ++c) out.set(c, r, zero_index);
    }
    char label[24];
    const int text_top = top + 5;
    std::snprintf(label, sizeof label, "-%.3g", static_cast<double>(bound));
    int x = draw_text(out, 4, text_top, label) + 3;
    const int bar_width = std::clamp(out.size.width / 3, 32, 255);
    for (int c = 0; c < bar_width; ++c) {
        const auto index =
            static_cast<unsigned char>(1 + (c * 254 + (bar_width - 1) / 2) / (bar_width - 1));
        for (int r = top + 3; r < top + 13; ++r) out.set(x + c, r, index);
    }
    for (int r = top + 1; r < top + 3; ++r) out.set(x + bar_width / 2, r, body_index);
    x += bar_width + 3;
    std::snprintf(label, sizeof label, "+%.3g", static_cast<double>(bound));
    x = draw_text(out, x, text_top, label);
    draw_text(out, x + glyph_advance, text_top, "vorticity [1/s]");
}

// The node rows that frame row r samples, the rows counted from the top wall.
grid_cell row_cell(int r, int ny, int field_height) {
    const double y = static_cast<double>(r) * (ny - 1) / field_height;
    return clamped_cell(static_cast<float>(y), y, ny);
}

void draw_flow(const canvas& out, const float_grid& omega, float bound,
               const obstacle_masks& masks) {
    const int nx = omega.nx();
    const int ny = omega.ny();
    const int picture_width = masks.picture.nx();
    const int picture_height = masks.picture.ny();
    const frame_size size = out.size;
    for (int r = 0; r < size.field_height; ++r) {
        const grid_cell rows = row_cell(r, ny, size.field_height);
        const int mask_row =
            picture_height - 1 -
            static_cast<int>(static_cast<long long>(r) * picture_height / size.field_height);
        for (int c = 0; c < size.width; ++c) {
            const int mask_column =
                static_cast<int>(static_cast<long long>(c) * picture_width / size.width);
            if (masks.picture[mask_column][mask_row] == obstacle_pixel) {
                out.set(c, r, body_index);
                continue;
            }
            const double x = static_cast<double>(c) * (nx - 1) / size.width;
            const grid_cell column = clamped_cell(static_cast<float>(x), x, nx);
            const float value =
                bilinear(omega, column, ny - 1 - rows.lo, ny - 1 - rows.hi, rows.fraction);
            out.set(c, r, scale_index(value, bound));
        }
    }
}

}  // namespace

frame_size frame_size_for(int picture_width, int picture_height) {
    if (picture_width <= max_frame_width) return {picture_width, picture_height};
    const long long height =
        (static_cast<long long>(picture_height) * max_frame_width + picture_width / 2) /
        picture_width;
    return {max_frame_width, static_cast<int>(std::max(height, 1LL))};
}

int frames_that_fit(frame_size size, int requested) {
    if (size.pixels() == 0) return 0;
    const std::size_t fit = frame_buffer_limit / size.pixels();
    return static_cast<int>(
        std::min<std::size_t>(fit, static_cast<std::size_t>(std::max(requested, 0))));
}

const std::array<rgb, 256>& animation_palette() {
    static const std::array<rgb, 256> palette = make_palette();
    return palette;
}

unsigned char scale_index(float omega, float bound) {
    const double s = static_cast<double>(omega) / bound;
    if (std::isnan(s)) return zero_index;
    return static_cast<unsigned char>(zero_index + std::lround(std::clamp(s, -1.0, 1.0) * 127.0));
}

frame_buffer::frame_buffer(frame_size size, int capacity)
    : size_(size),
      capacity_(frames_that_fit(size, capacity)),
      pixels_(size.pixels() * static_cast<std::size_t>(capacity_)) {}

std::span<unsigned char> frame_buffer::add() {
    if (count_ >= capacity_) return {};
    return {pixels_.data() + size_.pixels() * static_cast<std::size_t>(count_++), size_.pixels()};
}

std::span<const unsigned char> frame_buffer::frame(int k) const {
    if (k < 0 || k >= count_) throw std::out_of_range("no such frame");
    return {pixels_.data() + size_.pixels() * static_cast<std::size_t>(k), size_.pixels()};
}

void render_vorticity_frame(const float_grid& omega, float bound, const obstacle_masks& masks,
                            frame_size size, std::span<unsigned char> pixels) {
    const canvas out{pixels, size};
    if (omega.nx() > 0 && omega.ny() > 0 && masks.picture.nx() > 0 && masks.picture.ny() > 0) {
        draw_flow(out, omega, bound, masks);
    }
    draw_legend(out, bound);
}

}  // namespace veltaro
