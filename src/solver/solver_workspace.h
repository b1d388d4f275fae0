// What the solver stages keep for a whole run instead of remaking it every
// iteration: the advection chosen and its slopes, the Laplacians, the
// pressure system's solve made ready (LU factors or the transform solve),
// and the right-hand side and solution vectors.
#pragma once

#include <optional>
#include <vector>

#include "field/flow_field.h"
#include "solver/advection_scheme.h"
#include "solver/advection_step.h"
#include "solver/face_projection.h"
#include "solver/fft_pressure.h"
#include "solver/limited_advection.h"
#include "solver/pressure_solve.h"
#include "solver/sparse_lu.h"

namespace veltaro {

// Exactly one of pressure_factors and pressure_transform is made, the one
// the run chose; the matrix is kept with the LU factors only.
// Each advection's work arrays are sized only when it is chosen.
struct solver_workspace {
    advection_scheme advection = advection_scheme::first_order;
    moved_nodes moved;               // the first-order advection's
    advection_work advection_slopes;  // the second-order advection's
    float_grid lap_u;
    float_grid lap_v;
    csr_matrix pressure_matrix;
    std::optional<sparse_lu> pressure_factors;
    std::optional<fft_pressure> pressure_transform;
    std::vector<float> rhs;
    std::vector<float> solution;
    // The face projection's faces (--projection=faces); empty for the
    // node projection.
    std::optional<face_projection> faces;
};

// Everything sized, and the chosen solve made ready (the matrix assembled
// and factorised, or the transforms planned), for the field's grid: a grid
// too large for memory is refused here, before the run writes anything.
// Throws run_error when the memory cannot be had, SuperLU's own allocations
// included.
solver_workspace make_solver_workspace(const flow_field& field,
                                       pressure_solver_kind kind = pressure_solver_kind::lu,
                                       advection_scheme advection = advection_scheme::first_order);

// The advection stage with the workspace's scheme: u and v into u_adv and
// v_adv. The second-order scheme holds the solid nodes' values.
void advect_velocity(flow_field& field, float dt, const int_grid& solid_nodes,
                     solver_workspace& workspace);

// The pressure system for workspace.rhs (the matrix's row order) into
// workspace.solution (unknown order), with whichever solve the workspace was
// made for. The LU solve overwrites rhs; the transform solve leaves it.
void solve_pressure_system(solver_workspace& workspace);

// The shape of a pressure solve from workspace.rhs into workspace.solution.
using pressure_solve_step = void(solver_workspace& workspace);

}  // namespace veltaro
