#include "solver/solver_workspace.h"

#include <new>
#include <string>

#include "common/run_error.h"
#include "solver/advection_step.h"
#include "solver/pressure_equation.h"

namespace veltaro {

solver_workspace make_solver_workspace(const flow_field& field, pressure_solver_kind kind,
                                       advection_scheme advection) {
    const int nx = field.nx;
    const int ny = field.ny;
    solver_workspace workspace;
    workspace.advection = advection;
    try {
        if (advection == advection_scheme::second_order) {
            workspace.advection_slopes = make_advection_work(nx, ny);
        } else {
            workspace.moved = make_moved_nodes(nx, ny);
        }
        workspace.lap_u = float_grid(nx, ny);
        workspace.lap_v = float_grid(nx, ny);
        if (nx >= 3 && ny >= 3) {
            if (kind == pressure_solver_kind::fft) {
                workspace.pressure_transform.emplace(nx, ny, field.dx, field.dy);
            } else {
                workspace.pressure_matrix = assemble_pressure_matrix(nx, ny, field.dx, field.dy);
                workspace.pressure_factors.emplace(workspace.pressure_matrix);
            }
            const auto unknowns = static_cast<std::size_t>(nx - 1) * static_cast<std::size_t>(ny);
            workspace.rhs.assign(unknowns, 0.0f);
            workspace.solution.assign(unknowns, 0.0f);
        }
    } catch (const std::bad_alloc&) {
        throw run_error("Not enough memory for the pressure system of a " + std::to_string(nx) +
                        " x " + std::to_string(ny) +
                        " mesh; choose a coarser mesh or a shorter tunnel.");
    }
    return workspace;
}

void advect_velocity(flow_field& field, float dt, const int_grid& solid_nodes,
                     solver_workspace& workspace) {
    if (workspace.advection == advection_scheme::second_order) {
        limited_advection_step(field, dt, solid_nodes, workspace.advection_slopes);
    } else {
        advection_step(field, dt, workspace.moved);
    }
}

void solve_pressure_system(solver_workspace& workspace) {
    if (workspace.pressure_transform) {
        workspace.pressure_transform->solve(workspace.rhs.data(), workspace.solution.data());
    } else {
        workspace.pressure_factors->solve(workspace.rhs.data(), workspace.solution.data());
    }
}

}  // namespace veltaro
