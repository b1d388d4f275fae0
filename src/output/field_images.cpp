#include "output/field_images.h"

#include <cmath>
#include <cstddef>
#include <vector>

#include "common/run_error.h"
#include "output/bilinear.h"
#include "output/get_color.h"
#include "output/jpeg_writer.h"

namespace veltaro {
namespace {

// What one picture row samples: the node rows above and below it.
struct row_sample {
    int jt = 0;             // upper node row
    int jb = 0;             // lower node row
    float fraction = 0.0f;  // 0 on jt, 1 on jb
};

// Pixel row r lies Y = r (ny-1) / height node rows below the top wall.
// j0 comes from the running sum the caller keeps, the fraction from r itself.
row_sample sample_row(float y_sum, int r, int ny, int height) {
    const double y = static_cast<double>(r) * (ny - 1) / height;
    const grid_cell cell = clamped_cell(y_sum, y, ny);
    return {ny - 1 - cell.lo, ny - 1 - cell.hi, cell.fraction};
}

void paint(unsigned char* pixel, int red, int green, int blue) {
    // Only the low 8 bits are kept; the levels never leave 0 ... 255 anyway.
    pixel[0] = static_cast<unsigned char>(red & 0xff);
    pixel[1] = static_cast<unsigned char>(green & 0xff);
    pixel[2] = static_cast<unsigned char>(blue & 0xff);
}

void paint_scale(unsigned char* pixel, float s) {
    int red = 0;
    int green = 0;
    int blue = 0;
    get_color(s, red, green, blue);
    paint(pixel, red, green, blue);
}

// The overlay, if any, wins over the scale colour.
bool paint_overlay(unsigned char* pixel, int mark, image_overlay overlay) {
    if (mark == obstacle_pixel) {
        paint(pixel, 0, 0, 0);
        return true;
    }
    if (mark == streamline_pixel && overlay == image_overlay::obstacle_and_streamlines) {
        paint(pixel, 255, 0, 0);
        return true;
    }
    return false;
}

struct image_plan {
    int nx;
    int ny;
    const float_grid& values;
    field_scale scale;
    const obstacle_masks& masks;
    image_overlay overlay;
};

void fill_row(const image_plan& plan, int r, float y_sum, std::vector<unsigned char>& row) {
    const int width = plan.masks.image_width;
    const int mask_row = plan.masks.image_height - 1 - r;
    const bool empty = plan.nx < 1 || plan.ny < 1;
    const row_sample rows =
        empty ? row_sample{} : sample_row(y_sum, r, plan.ny, plan.masks.image_height);
    const float x_step = static_cast<float>(plan.nx - 1) / static_cast<float>(width);
    float x_sum = 0.0f;
    for (int c = 0; c < width; ++c, x_sum += x_step) {
        unsigned char* pixel = row.data() + 3 * static_cast<std::size_t>(c);
        if (paint_overlay(pixel, plan.masks.outline[c][mask_row], plan.overlay)) continue;
        if (empty) {
            paint_scale(pixel, 0.5f);
            continue;
        }
        const double x = static_cast<double>(c) * (plan.nx - 1) / width;
        const grid_cell column = clamped_cell(x_sum, x, plan.nx);
        const float value = bilinear(plan.values, column, rows.jt, rows.jb, rows.fraction);
        paint_scale(pixel, scale_position(value, plan.scale));
    }
}

// Why values and masks cannot make a picture, or nullptr when they can.
const char* size_mismatch(int nx, int ny, const float_grid& values, const obstacle_masks& masks) {
    if (values.nx() != nx || values.ny() != ny) return "the field does not match the grid size";
    if (masks.image_width < 0 || masks.image_height < 0 ||
        masks.outline.nx() != masks.image_width || masks.outline.ny() != masks.image_height) {
        return "the picture mask does not match the picture size";
    }
    return nullptr;
}

// Checked before the file is created, so a mismatch leaves nothing behind.
void check_sizes(const std::string& file_name, int nx, int ny, const float_grid& values,
                 const obstacle_masks& masks) {
    if (const char* reason = size_mismatch(nx, ny, values, masks)) {
        throw run_error(write_error_message(file_name, reason));
    }
}

float_grid speeds(int nx, int ny, const float_grid& u, const float_grid& v) {
    float_grid speed(nx, ny);
    for (int i = 0; i < nx; ++i) {
        for (int j = 0; j < ny; ++j) speed[i][j] = std::sqrt(u[i][j] * u[i][j] + v[i][j] * v[i][j]);
    }
    return speed;
}

}  // namespace

field_scale find_scale(int nx, int ny, const float_grid& values) {
    field_scale scale;
    bool seen = false;
    for (int i = 0; i < nx; ++i) {
        for (int j = 0; j < ny; ++j) {
            const float value = values[i][j];
            if (!std::isfinite(value)) continue;
            if (!seen || scale.min > value) scale.min = value;
            if (!seen || value > scale.max) scale.max = value;
            seen = true;
        }
    }
    return scale;
}

float scale_position(float value, field_scale scale) {
    // In double, so that the width of a scale spanning most of the float
    // range does not overflow.
    const double width = static_cast<double>(scale.max) - scale.min;
    const double s = (static_cast<double>(value) - scale.min) / width;
    if (!(width > 0.0) || std::isnan(s)) return 0.5f;
    if (s > 1.0) return 1.0f;
    if (s < 0.0) return 0.0f;
    return static_cast<float>(s);
}

void render_field_image(int nx, int ny, const float_grid& values, const obstacle_masks& masks,
                        image_overlay overlay, const image_row_sink& sink) {
    if (const char* reason = size_mismatch(nx, ny, values, masks)) throw run_error(reason);
    const image_plan plan{nx, ny, values, find_scale(nx, ny, values), masks, overlay};
    std::vector<unsigned char> row(3 * static_cast<std::size_t>(masks.image_width));
    const float y_step = static_cast<float>(ny - 1) / static_cast<float>(masks.image_height);
    float y_sum = 0.0f;
    for (int r = 0; r < masks.image_height; ++r, y_sum += y_step) {
        fill_row(plan, r, y_sum, row);
        sink(row);
    }
}

void write_field_image(const std::string& file_name, int nx, int ny, const float_grid& values,
                       const obstacle_masks& masks, image_overlay overlay) {
    check_sizes(file_name, nx, ny, values, masks);
    jpeg_writer picture(file_name, masks.image_width, masks.image_height);
    render_field_image(nx, ny, values, masks, overlay,
                       [&picture](std::span<const unsigned char> row) { picture.write_row(row); });
    picture.finish();
}

void output_image_U(int nx, int ny, const float_grid&, const float_grid& u, const float_grid&,
                    const obstacle_masks& masks) {
    write_field_image("U.jpg", nx, ny, u, masks, image_overlay::obstacle);
}

void output_image_V(int nx, int ny, const float_grid&, const float_grid&, const float_grid& v,
                    const obstacle_masks& masks) {
    write_field_image("V.jpg", nx, ny, v, masks, image_overlay::obstacle);
}

void output_image_P(int nx, int ny, const float_grid& p, const float_grid&, const float_grid&,
                    const obstacle_masks& masks) {
    write_field_image("pressure.jpg", nx, ny, p, masks, image_overlay::obstacle);
}

void output_image_UV(int nx, int ny, const float_grid&, const float_grid& u, const float_grid& v,
                     const obstacle_masks& masks) {
    const std::string file_name = "velocity.jpg";
    check_sizes(file_name, nx, ny, u, masks);
    check_sizes(file_name, nx, ny, v, masks);
    write_field_image(file_name, nx, ny, speeds(nx, ny, u, v), masks,
                      image_overlay::obstacle_and_streamlines);
}

}  // namespace veltaro
