// The drawn outline as a signed distance: phi < 0 inside the dark regions of
// the picture, phi > 0 in the open ones, and phi = 0 on the outline, found
// to a fraction of a pixel. The ghost-node rule of the node mask
// (ghost_node_rule.h) classifies the nodes by its sign and places the
// no-slip condition on its zero line.
//
// On the pixels: two exact Euclidean distance transforms, from every open
// pixel to the nearest dark pixel centre and from every dark pixel to the
// nearest open one, each less half a pixel, so that between a dark and an
// open neighbour phi crosses zero on their shared edge:
//   phi = d_dark - 1/2 at an open pixel,  phi = -(d_open - 1/2) at a dark one.
// That zero line is the picture's staircase; a Gaussian of 1.5 pixels
// smooths it onto the outline the staircase stands for (a drawn circle's
// zero line then lies within about a tenth of a pixel of the circle, against
// half a pixel unsmoothed).
#pragma once

#include "field/grid.h"

namespace veltaro {

// The Gaussian's standard deviation, in pixels.
inline constexpr double distance_smoothing = 1.5;

// picture: [pixel column][pixel row from the bottom], non-zero where dark.
// Returns phi on the same pixels, in pixel widths. Without dark pixels phi
// is a large positive number everywhere; without open ones, a large negative
// one. Uses two float grids of the picture's size.
float_grid signed_distance(const int_grid& picture);

// phi at the nodes of an nx by ny grid, the picture stretched over the grid
// as the other rules stretch it (pixel c's centre at (c + 1/2)(nx - 1)/width
// node spacings from the inlet, rows likewise from the bottom), interpolated
// bilinearly between pixel centres and held constant beyond the outermost
// ones; in node spacings, scaled by sqrt(sx sy) with sx, sy the node
// spacings per pixel along and across. A mirror image of the picture gives
// the mirror image of the result, bit for bit.
float_grid distance_at_nodes(const float_grid& phi, int nx, int ny);

}  // namespace veltaro
