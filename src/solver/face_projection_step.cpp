#include "solver/face_projection_step.h"

#include "common/threads.h"
#include "field/boundary_conditions.h"
#include "solver/face_advection.h"
#include "solver/laplacian.h"
#include "solver/momentum_equation.h"
#include "solver/pressure_equation.h"

namespace veltaro {
namespace {

// While D_f U exceeds refined_above U/dx somewhere, the projection again
// on what is left: L_h q = rho/dt D_f U, U -= dt/rho G_f q, p += q, with
// q = 0 on the outlet.
void refine_projection(flow_field& field, float dt, const run_parameters& params,
                       solver_workspace& workspace) {
    face_projection& projection = *workspace.faces;
    face_field& faces = projection.faces;
    const auto limit = static_cast<float>(refined_above * projection.inlet_velocity / field.dx);
    for (int n = 0; n < most_refinements; ++n) {
        if (!faces_diverge_above(faces, field.dx, field.dy, limit)) return;
        face_pressure_rhs(faces, field.dx, field.dy, dt, params.density, 0.0f, workspace.rhs);
        solve_pressure_system(workspace);
        float_grid& q = projection.correction;
        VELTARO_PARALLEL_FOR
        for (int i = 0; i < field.nx - 1; ++i) {
            for (int j = 0; j < field.ny; ++j) {
                q[i][j] = workspace.solution[pressure_unknown(field.nx, i, j)];
                field.p[i][j] += q[i][j];
            }
        }
        project_faces(q, field.dx, field.dy, dt, params.density, faces);
    }
}

}  // namespace

void advance_with_faces(flow_field& field, const run_parameters& params,
                        const int_grid& solid_nodes, solver_workspace& workspace, float dt,
                        const ghost_nodes* ghosts, bool hold_body) {
    face_projection& projection = *workspace.faces;
    // The first stage of the flux-form advection takes the viscous term, so
    // the Laplacians of u and v come first; u and v stay as they are until
    // the momentum update.
    velocity_laplacians(field, workspace);
    if (workspace.advection == advection_scheme::second_order) {
        face_flux_advection(field, solid_nodes, dt, params, workspace.lap_u, workspace.lap_v,
                            workspace.advection_slopes, projection);
    } else {
        advect_velocity(field, dt, solid_nodes, workspace);
    }
    if (hold_body) hold_solid_nodes(field, solid_nodes, dt, params, workspace);
    if (field.nx < 3 || field.ny < 3) {
        pressure_equation(field, dt, params, workspace);
    } else {
        predict_faces(field, solid_nodes, workspace.lap_u, workspace.lap_v, dt, params, projection);
        face_field& faces = projection.faces;
        face_pressure_rhs(faces, field.dx, field.dy, dt, params.density, params.outlet_pressure,
                          workspace.rhs);
        solve_pressure_system(workspace);
        scatter_pressure(workspace.solution, params.outlet_pressure, field);
        project_faces(field.p, field.dx, field.dy, dt, params.density, faces);
        refine_projection(field, dt, params, workspace);
    }
    momentum_equation(field, dt, params, workspace);
    boundary_conditions(field, params.inlet_velocity, solid_nodes);
    if (ghosts != nullptr) impose_ghost_nodes(field, *ghosts);
}

}  // namespace veltaro
