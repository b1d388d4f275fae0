// Ghost nodes: the solid nodes next to the fluid, whose velocity is set so
// that the velocity, continued linearly across the drawn outline, is zero on
// it. The table is built once from the geometry (geometry/ghost_node_rule.h)
// and imposed after every iteration's boundary conditions; an empty table
// changes nothing.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "field/flow_field.h"

namespace veltaro {

// Ghost node G with image point I, a point in the fluid on the outline's
// normal through G:
//   u(G) = factor * u(I),   factor = -|phi(G)| / phi(I),
// phi the signed distance to the outline, and u(I) interpolated bilinearly
// from the four nodes around I. The velocity then runs linearly through zero
// on the outline, between G and I.
struct ghost_node {
    std::size_t node = 0;                 // index into the field arrays, i * ny + j
    std::array<std::size_t, 4> around{};  // the four nodes around I
    std::array<double, 4> weight{};       // their bilinear weights, summing to 1
    double factor = 0.0;
};

struct ghost_nodes {
    std::vector<ghost_node> nodes;
    // Passes over the table: 1 when no image point reads a solid node; more
    // when some read another ghost, so that chains of them settle.
    int sweeps = 1;
};

// Sets u and v at every ghost node; the other nodes are left as they are.
void impose_ghost_nodes(flow_field& field, const ghost_nodes& ghosts);

}  // namespace veltaro
