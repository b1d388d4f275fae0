// The obstacle's longest extent, its chord: the largest distance between two
// corners of its dark pixels, each pixel taken as its rectangle in the
// tunnel's metres (so a picture stretched over the tunnel stretches the
// obstacle with it). For an airfoil at any incidence that is the chord from
// nose to tail; for a square, its diagonal.
#pragma once

#include "field/grid.h"

namespace veltaro {

// picture: a picture mask, [pixel column][pixel row], obstacle_pixel where
// solid, stretched over length x height metres. 0 without an obstacle.
//
// The farthest pair of points of a set lies on its convex hull, so only the
// hull of the pixel corners is searched: each column contributes the four
// corners of its lowest and highest dark pixel, and the hull of those is
// found in integer pixel units, exactly. A pairwise search over pixels would
// take hours on a large picture.
double obstacle_chord(const int_grid& picture, double length, double height);

}  // namespace veltaro
