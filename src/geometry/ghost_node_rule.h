// The ghost-node rule of the node mask (--solid-nodes=outline on the command
// line): the no-slip condition on the drawn outline rather than on a
// staircase of whole nodes. (The picture's masks themselves come from
// make_outlines, whatever the rule.)
//
// A node is solid where the outline's signed distance phi
// (signed_distance.h) is <= 0. A solid node with a fluid neighbour (left,
// right, below or above) is a ghost node: its velocity is set after every
// iteration so that the velocity, continued along the outline's normal,
// runs linearly through zero on the outline (field/ghost_nodes.h). The other
// solid nodes are held at zero as under the other rules.
//
// Smoothing can lift phi above zero over a region thinner than about two
// pixels (a thin plate, a trailing edge). The nodes a dark pixel stands for
// (those lying on it, else the nearest) become solid when no solid node lies
// within a pixel's width of them (and at least one node spacing), so every
// dark region keeps solid nodes; those are held at zero.
#pragma once

#include "field/ghost_nodes.h"
#include "field/grid.h"

namespace veltaro {

struct ghost_rule_masks {
    int_grid solid_nodes;  // nx by ny, 1 solid, 0 fluid
    ghost_nodes ghosts;
};

// picture: [pixel column][pixel row from the bottom], non-zero where dark.
ghost_rule_masks ghost_node_rule(const int_grid& picture, int nx, int ny);

// The ghost table of the solid nodes `solid` (1 solid) with phi at the nodes
// in node spacings. For ghost G the image point is I = G + n (|phi(G)| /
// |grad phi| + h), n the unit normal grad phi / |grad phi| by central
// differences at G, and h one node spacing, widened to 1.5, 2 and 3 until
// none of the four nodes around I is solid. A ghost whose I leaves the grid,
// or where phi has no gradient, is left out (held at zero), as are the
// nodes of the tunnel's boundary.
ghost_nodes make_ghost_nodes(const float_grid& phi, const int_grid& solid);

}  // namespace veltaro
