// What the solver stages keep for a whole run instead of remaking it every
// iteration: the Laplacians, the pressure system with its factors, and the
// right-hand side and solution vectors.
#pragma once

#include <optional>
#include <vector>

#include "field/flow_field.h"
#include "solver/sparse_lu.h"

namespace veltaro {

struct solver_workspace {
    float_grid lap_u;
    float_grid lap_v;
    csr_matrix pressure_matrix;
    std::optional<sparse_lu> pressure_factors;
    std::vector<float> rhs;
    std::vector<float> solution;
};

// Everything sized, and the matrix assembled and factorised, for the
// field's grid: a grid too large for memory is refused here, before the run
// writes anything. Throws run_error when the memory cannot be had, SuperLU's
// own allocations included.
solver_workspace make_solver_workspace(const flow_field& field);

}  // namespace veltaro
