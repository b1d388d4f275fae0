// Discrete Laplacians of the current velocity. The pressure and momentum
// equations read the same u and v, so one computation per iteration serves
// both.
#pragma once

#include "field/flow_field.h"
#include "solver/solver_workspace.h"

namespace veltaro {

// workspace.lap_u and lap_v: the five-point Laplacians of u and v at the
// interior nodes,
//   lap q(i,j) = (q(i-1,j) - 2 q(i,j) + q(i+1,j)) / dx^2
//              + (q(i,j-1) - 2 q(i,j) + q(i,j+1)) / dy^2,
// and on each edge (corners aside) the value of the inward neighbour, since
// the pressure source reads the Laplacian one node beyond the interior.
void velocity_laplacians(const flow_field& field, solver_workspace& workspace);

}  // namespace veltaro
