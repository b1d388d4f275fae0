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
    int upper_row = 0;      // upper node row
    int lower_row = 0;      // lower node row
    float fraction = 0.0f;  // 0 on upper_row, 1 on lower_row
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

// The obstacle wins over a streamline, which wins over the scale colour.
bool paint_overlay(unsigned char* pixel, int picture, unsigned char marked) {
    if (picture == obstacle_pixel) {
        paint(pixel, 0, 0, 0);
        return true;
    }
    if (marked != 0) {
        paint(pixel, 255, 0, 0);
        return true;
    }
    return false;
}

struct image_plan {
    const float_grid& values;
    field_scale scale;
    const obstacle_masks& masks;
    const streamline_marks* marks;
};

void fill_row(const image_plan& plan, int r, float y_sum, std::vector<unsigned char>& row) {
    const int nx = plan.values.nx();
    const int ny = plan.values.ny();
    const int width = plan.masks.picture.nx();
    const int height = plan.masks.picture.ny();
    const int mask_row = height - 1 - r;
    const bool empty = nx < 1 || ny < 1;
    const row_sample rows = empty ? row_sample{} : sample_row(y_sum, r, ny, height);
    const float x_step = static_cast<float>(nx - 1) / static_cast<float>(width);
    float x_sum = 0.0f;
    for (int c = 0; c < width; ++c, x_sum += x_step) {
        unsigned char* pixel = row.data() + 3 * static_cast<std::size_t>(c);
        const unsigned char marked = plan.marks ? (*plan.marks)[c][mask_row] : 0;
        if (paint_overlay(pixel, plan.masks.picture[c][mask_row], marked)) continue;
        if (empty) {
            paint_scale(pixel, 0.5f);
            continue;
        }
        const double x = static_cast<double>(c) * (nx - 1) / width;
        const grid_cell column = clamped_cell(x_sum, x, nx);
        const float value =
            bilinear(plan.values, column, rows.upper_row, rows.lower_row, rows.fraction);
        paint_scale(pixel, scale_position(value, plan.scale));
    }
}

// Why the marks cannot go on the picture, or nullptr when they can.
const char* size_mismatch(const obstacle_masks& masks, const streamline_marks* marks) {
    if (marks && (marks->nx() != masks.picture.nx() || marks->ny() != masks.picture.ny())) {
        return "the streamline marks do not match the picture size";
    }
    return nullptr;
}

float_grid speeds(const flow_field& field) {
    float_grid speed(field.nx, field.ny);
    for (int i = 0; i < field.nx; ++i) {
        const float* u = field.u[i];
        const float* v = field.v[i];
        for (int j = 0; j < field.ny; ++j) speed[i][j] = std::sqrt(u[j] * u[j] + v[j] * v[j]);
    }
    return speed;
}

}  // namespace

field_scale find_scale(const float_grid& values) {
    field_scale scale;
    bool seen = false;
    for (int i = 0; i < values.nx(); ++i) {
        for (int j = 0; j < values.ny(); ++j) {
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

void render_field_image(const float_grid& values, const obstacle_masks& masks,
                        const streamline_marks* marks, const image_row_sink& sink) {
    if (const char* reason = size_mismatch(masks, marks)) throw run_error(reason);
    const image_plan plan{values, find_scale(values), masks, marks};
    const int height = masks.picture.ny();
    std::vector<unsigned char> row(3 * static_cast<std::size_t>(masks.picture.nx()));
    const float y_step = static_cast<float>(values.ny() - 1) / static_cast<float>(height);
    float y_sum = 0.0f;
    for (int r = 0; r < height; ++r, y_sum += y_step) {
        fill_row(plan, r, y_sum, row);
        sink(row);
    }
}

void write_field_image(const std::string& file_name, const float_grid& values,
                       const obstacle_masks& masks, const streamline_marks* marks) {
    // Checked before the file is created, so a mismatch leaves nothing behind.
    if (const char* reason = size_mismatch(masks, marks)) {
        throw run_error(write_error_message(file_name, reason));
    }
    jpeg_writer picture(file_name, masks.picture.nx(), masks.picture.ny());
    render_field_image(values, masks, marks,
                       [&picture](std::span<const unsigned char> row) { picture.write_row(row); });
    picture.finish();
}

void output_image_U(const flow_field& field, const obstacle_masks& masks) {
    write_field_image("U.jpg", field.u, masks);
}

void output_image_V(const flow_field& field, const obstacle_masks& masks) {
    write_field_image("V.jpg", field.v, masks);
}

void output_image_P(const flow_field& field, const obstacle_masks& masks) {
    write_field_image("pressure.jpg", field.p, masks);
}

void output_image_UV(const flow_field& field, const obstacle_masks& masks,
                     const streamline_marks& marks) {
    write_field_image("velocity.jpg", speeds(field), masks, &marks);
}

}  // namespace veltaro
