// The covered rule for the node mask: a node is solid when dark pixels cover
// at least half of its cell, the rectangle reaching half a node spacing to
// either side of it (clipped to the picture), with the picture stretched
// over the nodes exactly as the sampled rule of outline_rows.h stretches it.
//
// The sampled rule lets the last pixel mapped to a node decide, which puts
// the solid nodes up to half a spacing off the picture toward the outlet and
// the bottom wall: a mirror-symmetric obstacle gets an asymmetric mask, and
// a lift that changes sign from mesh to mesh. The covered rule weighs every
// pixel by its overlap with the cell, in whole units of a common sub-pixel
// grid, so the sums are exact and a mirror image of the picture gives the
// mirror image of the mask.
#pragma once

#include "field/grid.h"

namespace veltaro {

// How the node mask is made from the picture.
enum class solid_node_rule {
    sampled,  // the last pixel mapped to a node decides (the default)
    covered,  // at least half the node's cell covered by dark pixels
    outline,  // solid inside the drawn outline, no-slip on it by ghost nodes
};

// "sampled", "covered" or "outline": the names the command line and the
// summary use.
const char* solid_node_rule_name(solid_node_rule rule);

// picture: the picture mask, [pixel column][pixel row from the bottom],
// non-zero where dark. Returns nx by ny nodes, [i][j], 1 solid, 0 fluid.
int_grid covered_nodes(const int_grid& picture, int nx, int ny);

}  // namespace veltaro
