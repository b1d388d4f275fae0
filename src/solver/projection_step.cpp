#include "solver/projection_step.h"

#include "field/boundary_conditions.h"
#include "solver/face_projection_step.h"
#include "solver/laplacian.h"
#include "solver/momentum_equation.h"

namespace veltaro {

void projection_step(flow_field& field, const run_parameters& params, const int_grid& solid_nodes,
                     solver_workspace& workspace, float dt, const step_settings& settings) {
    if (workspace.faces) {
        advance_with_faces(field, params, solid_nodes, workspace, dt, settings.ghosts,
                           settings.hold_body);
        return;
    }
    advect_velocity(field, dt, solid_nodes, workspace);
    // u and v stay as they are until the momentum update, so the pressure
    // and momentum stages share one set of Laplacians.
    velocity_laplacians(field, workspace);
    if (settings.hold_body) hold_solid_nodes(field, solid_nodes, dt, params, workspace);
    pressure_equation(field, dt, params, workspace, settings.solve_pressure);
    momentum_equation(field, dt, params, workspace);
    boundary_conditions(field, params.inlet_velocity, solid_nodes);
    if (settings.ghosts != nullptr) impose_ghost_nodes(field, *settings.ghosts);
}

}  // namespace veltaro
