// The obstacle masks made from the picture: the node mask the solver reads
// and the picture mask the result images draw.
#pragma once

#include <string>

#include "common/run_error.h"
#include "field/ghost_nodes.h"
#include "field/grid.h"

namespace veltaro {

struct obstacle_masks {
    // nx by ny nodes, [i][j] like the field arrays: 1 solid, 0 fluid.
    int_grid solid_nodes;
    // The picture's own pixels, [pixel column][pixel row counted from the
    // bottom]: obstacle_pixel or open_pixel. Its nx() and ny() are the
    // picture's width and height.
    int_grid picture;
    // The outline rule's ghost nodes; empty under the other rules.
    ghost_nodes ghosts{};
};

inline constexpr int open_pixel = 0;
inline constexpr int obstacle_pixel = 1;

// The picture decodes, but into neither grey nor RGB samples (CMYK, say).
// The driver tells the console before it refuses the run.
class unrecognised_components : public run_error {
public:
    using run_error::run_error;
};

// Reads the picture, a JPEG or a PNG as its first bytes say, and builds
// both masks. Throws run_error when the picture cannot be used
// (unrecognised_components for a colour model it cannot read); a picture of
// more than 50,000,000 pixels is refused before any memory is set aside.
obstacle_masks make_outlines(int nx, int ny, const std::string& filename);

// The same with another limit on the picture's pixels, for tools that must
// stay within less memory.
obstacle_masks make_outlines(int nx, int ny, const std::string& filename, long long max_pixels);

}  // namespace veltaro
