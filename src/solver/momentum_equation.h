// The explicit momentum update of the interior velocity: the advected
// velocity, plus the pressure-gradient acceleration, plus viscous diffusion
// of the velocity as it stood before this iteration.
#pragma once

#include "field/flow_field.h"
#include "field/run_parameters.h"
#include "solver/solver_workspace.h"

namespace veltaro {

// At the interior nodes:
//   u = u_adv - dt / rho (p(i+1,j) - p(i-1,j)) / (2 dx) + mu dt / rho lap u
//   v = v_adv - dt / rho (p(i,j+1) - p(i,j-1)) / (2 dy) + mu dt / rho lap v
// with the Laplacians of u and v as they were on entry (the workspace's
// lap_u and lap_v). The boundary nodes are left to the boundary conditions.
void momentum_equation(flow_field& field, float dt, const run_parameters& params,
                       const solver_workspace& workspace);

// Before the pressure equation of a time-accurate iteration, at the solid
// interior nodes:
//   u_adv = u + dt / rho (p(i+1,j) - p(i-1,j)) / (2 dx) - mu dt / rho lap u
// (v alike), with u, p and the Laplacians as they stand before the update.
// The projection then moves a solid node by dt / rho grad(p_old - p_new)
// only, so it stays at its value (zero, or its ghost value) up to that
// change: the pressure holds the fluid out of the body instead of pushing
// it in for the reset to cut off. Without it the body leaks a flux of the
// order of dt grad p per step; what that does to the forces is in
// docs/method.md, "Time-accurate runs".
void hold_solid_nodes(flow_field& field, const int_grid& solid_nodes, float dt,
                      const run_parameters& params, const solver_workspace& workspace);

}  // namespace veltaro
