// The obstacle masks made from the picture: the node mask the solver reads
// and the picture mask the result images draw (and the streamlines mark).
#pragma once

#include <string>

#include "field/grid.h"

namespace veltaro {

struct obstacle_masks {
    // nx by ny nodes, [i][j] like the field arrays: 1 solid, 0 fluid.
    int_grid outline_large;
    // image_width by image_height pixels, [pixel column][pixel row counted
    // from the bottom]: 0 open, 1 obstacle, 6 streamline.
    int_grid outline;
    int image_width = 0;
    int image_height = 0;
};

inline constexpr int open_pixel = 0;
inline constexpr int obstacle_pixel = 1;
inline constexpr int streamline_pixel = 6;

// Reads the picture and builds both masks. Throws run_error when the picture
// cannot be used (after printing the messages a user expects to see); a
// picture of more than 50,000,000 pixels is refused before any memory is set
// aside for it.
obstacle_masks make_outlines(int nx, int ny, const std::string& filename);

// The same with another limit on the picture's pixels, for tools that must
// stay within less memory.
obstacle_masks make_outlines(int nx, int ny, const std::string& filename, long long max_pixels);

}  // namespace veltaro
