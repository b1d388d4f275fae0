// How much of the picture the obstacle covers: the pixel rows and columns
// that hold at least one obstacle pixel. Scaled to the tunnel, they give the
// obstacle's frontal height and chord, the reference lengths of its force
// coefficients.
#pragma once

#include "field/grid.h"

namespace veltaro {

struct obstacle_extent {
    int rows = 0;     // pixel rows with an obstacle pixel
    int columns = 0;  // pixel columns with an obstacle pixel
};

// picture: a picture mask, [pixel column][pixel row], obstacle_pixel where
// solid.
obstacle_extent measure_obstacle(const int_grid& picture);

}  // namespace veltaro
