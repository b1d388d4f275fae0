// What the solver stages keep for a whole run instead of remaking it every
// iteration: the Laplacians, the pressure system's solve made ready (LU
// factors or the transform solve), and the right-hand side and solution
// vectors.
#pragma once

#include <optional>
#include <vector>

#include "field/flow_field.h"
#include "solver/fft_pressure.h"
#include "solver/pressure_solve.h"
#include "solver/sparse_lu.h"

namespace veltaro {

// Exactly one of pressure_factors and pressure_transform is made, the one
// the run chose; the matrix is kept with the LU factors only.
struct solver_workspace {
    float_grid lap_u;
    float_grid lap_v;
    csr_matrix pressure_matrix;
    std::optional<sparse_lu> pressure_factors;
    std::optional<fft_pressure> pressure_transform;
    std::vector<float> rhs;
    std::vector<float> solution;
};

// Everything sized, and the chosen solve made ready (the matrix assembled
// and factorised, or the transforms planned), for the field's grid: a grid
// too large for memory is refused here, before the run writes anything.
// Throws run_error when the memory cannot be had, SuperLU's own allocations
// included.
solver_workspace make_solver_workspace(const flow_field& field,
                                       pressure_solver_kind kind = pressure_solver_kind::lu);

// The pressure system for workspace.rhs (the matrix's row order) into
// workspace.solution (unknown order), with whichever solve the workspace was
// made for. The LU solve overwrites rhs; the transform solve leaves it.
void solve_pressure_system(solver_workspace& workspace);

}  // namespace veltaro
