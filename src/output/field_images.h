// field_images: the four result pictures, "U.jpg", "V.jpg", "pressure.jpg"
// and "velocity.jpg", written into the current directory at the obstacle
// picture's size. Each samples its node field bilinearly at every pixel,
// colours it on the field's own min-to-max scale and paints the obstacle
// black; the speed picture also paints the streamline marks red. All four
// run one pipeline, render_field_image, and differ only in field, file
// name and overlays.
#pragma once

#include <functional>
#include <span>
#include <string>

#include "field/grid.h"
#include "geometry/obstacle_masks.h"

namespace veltaro {

// Each writer reads only the arrays it shows. They throw run_error naming
// the file when it cannot be written; an older file of that name is then
// left as it was.
void output_image_U(int nx, int ny, const float_grid& p, const float_grid& u, const float_grid& v,
                    const obstacle_masks& masks);
void output_image_V(int nx, int ny, const float_grid& p, const float_grid& u, const float_grid& v,
                    const obstacle_masks& masks);
void output_image_P(int nx, int ny, const float_grid& p, const float_grid& u, const float_grid& v,
                    const obstacle_masks& masks);
// The speed, with the streamline marks.
void output_image_UV(int nx, int ny, const float_grid& p, const float_grid& u, const float_grid& v,
                     const obstacle_masks& masks);

// The value range that the colour scale spans.
struct field_scale {
    float min = 0.0f;
    float max = 0.0f;
};

// Smallest and largest of the nx by ny node values. Values that are not
// finite take no part; with none left the scale is {0, 0}.
field_scale find_scale(int nx, int ny, const float_grid& values);

// Where value lies on the scale, clamped to 0 ... 1. A scale of zero width
// (a constant field) and a NaN value both give the middle, 0.5.
float scale_position(float value, field_scale scale);

enum class image_overlay { obstacle, obstacle_and_streamlines };

// Receives each finished row, top row first: 3 * image_width bytes, pixels
// left to right, each red, green, blue.
using image_row_sink = std::function<void(std::span<const unsigned char> row)>;

// The pipeline: renders values (nx by ny nodes) at the picture size of masks,
// one row at a time. An empty grid gives the middle colour everywhere.
void render_field_image(int nx, int ny, const float_grid& values, const obstacle_masks& masks,
                        image_overlay overlay, const image_row_sink& sink);

// render_field_image into the JPEG file file_name.
void write_field_image(const std::string& file_name, int nx, int ny, const float_grid& values,
                       const obstacle_masks& masks, image_overlay overlay);

}  // namespace veltaro
