// field_images: the four result pictures, "U.jpg", "V.jpg", "pressure.jpg"
// and "velocity.jpg", written into the current directory at the obstacle
// picture's size. Each samples its node field bilinearly at every pixel,
// colours it on the field's own min-to-max scale and paints the obstacle
// black; the speed picture also paints the streamlines red. All four run
// one pipeline, render_field_image, and differ only in field, file name and
// overlays.
#pragma once

#include <functional>
#include <span>
#include <string>

#include "field/flow_field.h"
#include "field/grid.h"
#include "geometry/obstacle_masks.h"
#include "output/streamlines.h"

namespace veltaro {

// They throw run_error naming the file when it cannot be written; an older
// file of that name is then left as it was.
void output_image_U(const flow_field& field, const obstacle_masks& masks);
void output_image_V(const flow_field& field, const obstacle_masks& masks);
void output_image_P(const flow_field& field, const obstacle_masks& masks);
// The speed, with the streamlines.
void output_image_UV(const flow_field& field, const obstacle_masks& masks,
                     const streamline_marks& marks);

// The value range that the colour scale spans.
struct field_scale {
    float min = 0.0f;
    float max = 0.0f;
};

// Smallest and largest of the node values. Values that are not finite take
// no part; with none left the scale is {0, 0}.
field_scale find_scale(const float_grid& values);

// Where value lies on the scale, clamped to 0 ... 1. A scale of zero width
// (a constant field) and a NaN value both give the middle, 0.5.
float scale_position(float value, field_scale scale);

// Receives each finished row, top row first: 3 * picture width bytes, pixels
// left to right, each red, green, blue.
using image_row_sink = std::function<void(std::span<const unsigned char> row)>;

// The pipeline: renders values (a node grid) at the size of the picture
// mask, one row at a time, the obstacle in black and, given marks, the
// streamlines in red. An empty grid gives the middle colour everywhere.
void render_field_image(const float_grid& values, const obstacle_masks& masks,
                        const streamline_marks* marks, const image_row_sink& sink);

// render_field_image into the JPEG file file_name.
void write_field_image(const std::string& file_name, const float_grid& values,
                       const obstacle_masks& masks, const streamline_marks* marks = nullptr);

}  // namespace veltaro
