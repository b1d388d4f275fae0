// The mask builder's steps, one decoded pixel row at a time, kept apart from
// the decoding so that the mapping of pixels to nodes can be checked on
// hand-made rows.
//
// The picture is stretched over the whole tunnel: pixel c's centre lies at
// (c + 1/2) * columns_per_pixel node columns from the inlet, with
// columns_per_pixel = (nx - 1) / width, and the pixel writes its class to the
// nearest node. Rows likewise, counted down from the top wall. Every pixel
// writes, so where a block of pixels meets one node the last one decoded
// (bottom-most, then right-most) decides. (docs/method.md, "The mask".)
#pragma once

#include <span>

#include "geometry/obstacle_masks.h"

namespace veltaro {

// Samples at or below this are dark.
inline constexpr int darkest_sample_limit = 49;

// obstacle_pixel for a dark pixel, open_pixel otherwise. A grey pixel is one
// sample; a colour pixel (red, green, blue) is dark only when all three are.
int pixel_class(std::span<const unsigned char> pixel);

// Index of the node nearest to a position given in node spacings; a
// half-way position goes to the larger index (rounding halves away from
// zero). Clamped to nodes - 1 and never below 0.
int nearest_node(double position, int nodes);

struct mask_builder {
    obstacle_masks masks;
    double columns_per_pixel = 0.0;  // node spacings along the tunnel per pixel
    double rows_per_pixel = 0.0;     // node spacings across the tunnel per pixel
    // The top edge of the next pixel row, in node spacings below the top
    // wall: rows_per_pixel summed over the rows written so far. Not physics,
    // kept for bit-for-bit results: grown by addition rather than worked out
    // as r * rows_per_pixel, because the two can differ in the last bit, and
    // that decides the node of a pixel lying half-way between two.
    double rows_above = 0.0;
};

// Both masks zero-filled: nodes that no pixel reaches (a picture smaller
// than the grid) stay fluid. Throws run_error for an empty grid or picture
// and when the memory is missing.
mask_builder start_outlines(int nx, int ny, int image_width, int image_height);

// Writes pixel row r (0 = top of the picture) into both masks. The row holds
// image_width pixels of `components` (1 or 3) samples each. Rows must arrive
// top to bottom, each once.
void add_outline_row(mask_builder& builder, int r, std::span<const unsigned char> samples,
                     int components);

}  // namespace veltaro
