// One iteration of the method, the one place where its stages are called in
// order (docs/method.md, "One iteration"): a projection-type step of the
// incompressible equations, explicit in the advection and the viscosity,
//   u* = A(u)                                     (advect_velocity)
//   u* at the solid nodes, if hold_body           (hold_solid_nodes)
//   lap p = rho/dt div u* + mu div(lap u)         (pressure_equation)
//   u_new = u* - dt/rho grad p + mu dt/rho lap u  (momentum_equation)
// then the tunnel's and the obstacle's conditions on u_new, and the ghost
// nodes' values when there are any. The iteration loop and the benchmarks
// both step through here. A workspace that holds faces (--projection=faces)
// steps by the face projection instead (face_projection_step.h).
#pragma once

#include "field/flow_field.h"
#include "field/ghost_nodes.h"
#include "field/run_parameters.h"
#include "solver/pressure_equation.h"
#include "solver/solver_workspace.h"

namespace veltaro {

struct step_settings {
    const ghost_nodes* ghosts = nullptr;  // the outline rule's, else none
    // Time-accurate runs hold the solid nodes in the projection
    // (hold_solid_nodes); steady ones reset them afterwards only.
    bool hold_body = false;
    // How the pressure system is solved: the workspace's solve, unless a
    // benchmark times another.
    pressure_solve_step* solve_pressure = solve_pressure_system;
};

void projection_step(flow_field& field, const run_parameters& params, const int_grid& solid_nodes,
                     solver_workspace& workspace, float dt, const step_settings& settings = {});

}  // namespace veltaro
