#include "solver/solver_workspace.h"

#include <new>
#include <string>

#include "common/run_error.h"
#include "solver/pressure_equation.h"

namespace veltaro {

solver_workspace make_solver_workspace(const flow_field& field) {
    const int nx = field.nx;
    const int ny = field.ny;
    solver_workspace workspace;
    try {
        workspace.lap_u = float_grid(nx, ny);
        workspace.lap_v = float_grid(nx, ny);
        if (nx >= 3 && ny >= 3) {
            workspace.pressure_matrix = assemble_pressure_matrix(nx, ny, field.dx, field.dy);
            workspace.pressure_factors.emplace(workspace.pressure_matrix);
            workspace.rhs.assign(workspace.pressure_matrix.n, 0.0f);
            workspace.solution.assign(workspace.pressure_matrix.n, 0.0f);
        }
    } catch (const std::bad_alloc&) {
        throw run_error("Not enough memory for the pressure system of a " + std::to_string(nx) +
                        " x " + std::to_string(ny) +
                        " mesh; choose a coarser mesh or a shorter tunnel.");
    }
    return workspace;
}

}  // namespace veltaro
