#include "geometry/outline_rows.h"

#include <cmath>
#include <new>
#include <string>

#include "common/run_error.h"

namespace veltaro {

int pixel_class(std::span<const unsigned char> pixel) {
    for (const unsigned char sample : pixel) {
        if (sample > darkest_sample_limit) {
            return open_pixel;
        }
    }
    return obstacle_pixel;
}

int nearest_node(double position, int nodes) {
    const double nearest = std::round(position);
    if (nearest >= nodes - 1) {
        return nodes > 0 ? nodes - 1 : 0;
    }
    return nearest > 0.0 ? static_cast<int>(nearest) : 0;
}

namespace {

// A JPEG may be up to 65500 pixels each way, which is more memory than a
// machine may have; that is a refusal, not a crash.
int_grid allocate_mask(int columns, int rows, const std::string& what, const std::string& unit) {
    try {
        return {columns, rows, open_pixel};
    } catch (const std::bad_alloc&) {
        throw run_error("Not enough memory for " + what + " of " + std::to_string(columns) + " x " +
                        std::to_string(rows) + " " + unit);
    }
}

}  // namespace

mask_builder start_outlines(int nx, int ny, int image_width, int image_height) {
    if (nx < 1 || ny < 1) {
        throw run_error("The node grid needs at least one node each way, not " +
                        std::to_string(nx) + " x " + std::to_string(ny) + ".");
    }
    if (image_width < 1 || image_height < 1) {
        throw run_error("The picture has no pixels.");
    }
    mask_builder builder;
    builder.masks.solid_nodes = allocate_mask(nx, ny, "a node grid", "nodes");
    builder.masks.picture = allocate_mask(image_width, image_height, "a picture", "pixels");
    builder.columns_per_pixel = static_cast<double>(nx - 1) / image_width;
    builder.rows_per_pixel = static_cast<double>(ny - 1) / image_height;
    return builder;
}

void add_outline_row(mask_builder& builder, int r, std::span<const unsigned char> samples,
                     int components) {
    obstacle_masks& masks = builder.masks;
    const int nx = masks.solid_nodes.nx();
    const int ny = masks.solid_nodes.ny();
    // The top of the picture lies at the top wall.
    const int j = (ny - 1) - nearest_node(0.5 * builder.rows_per_pixel + builder.rows_above, ny);
    const int k = masks.picture.ny() - 1 - r;
    // Likewise summed, not multiplied, for the same last bit.
    double columns_left = 0.0;
    for (int c = 0; c < masks.picture.nx(); ++c) {
        const int value =
            pixel_class(samples.subspan(static_cast<std::size_t>(c) * components, components));
        masks.solid_nodes[nearest_node(0.5 * builder.columns_per_pixel + columns_left, nx)][j] =
            value;
        masks.picture[c][k] = value;
        columns_left += builder.columns_per_pixel;
    }
    builder.rows_above += builder.rows_per_pixel;
}

}  // namespace veltaro
