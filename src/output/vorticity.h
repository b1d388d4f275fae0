// vorticity: the spin of the flow, omega = dv/dx - du/dy at every node, the
// field whose street of alternating signs is the wake of a shedding body,
// and the bound of the colour scale that shows it.
#pragma once

#include <vector>

#include "field/flow_field.h"
#include "field/grid.h"

namespace veltaro {

// omega into a grid of the field's size (resized only when it differs, so
// a caller that keeps the grid allocates once). Central differences inside,
//   omega = (v[i+1][j] - v[i-1][j]) / 2dx - (u[i][j+1] - u[i][j-1]) / 2dy,
// and one-sided ones (v[1] - v[0]) / dx on the edges, where a neighbour is
// missing. A grid of one node in a direction has no derivative along it.
void vorticity(const flow_field& field, float_grid& omega);

// The half-width of the colour scale: the 98th percentile of |omega| over
// the fluid nodes. The thin shear layers on the body, where |omega| is
// largest but which cover a few per cent of the nodes, saturate; the
// vortices of the street, weaker as they go downstream, spread over the
// scale instead of fading into its middle. scratch is reused (no allocation once it
// holds a grid's worth). A flow without vorticity gives 1 s^-1, so the scale
// keeps a width.
float vorticity_bound(const float_grid& omega, const int_grid& solid_nodes,
                      std::vector<float>& scratch);

}  // namespace veltaro
