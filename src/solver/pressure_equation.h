// The pressure Poisson equation of one iteration: its source is the
// divergence of the advected velocity and of the viscous term; the outlet
// column is held at the outlet pressure and the other boundaries have zero
// normal gradient. The obstacle does not enter it.
#pragma once

#include <vector>

#include "field/flow_field.h"
#include "field/run_parameters.h"
#include "solver/solver_workspace.h"
#include "solver/sparse_lu.h"

namespace veltaro {

// Unknown of node (i, j), for the columns i = 0 ... nx-2.
inline int pressure_unknown(int nx, int i, int j) { return i + j * (nx - 1); }

// The interior rows' coefficients as the matrix holds them (single
// precision): 1/dx^2, 1/dy^2 and the centre -2/dy^2 - 2/dx^2; the boundary
// rows use 1/dy^2. Every solve of the system starts from these same values.
struct pressure_coefficients {
    float inv_dx2 = 0.0f;
    float inv_dy2 = 0.0f;
    float centre = 0.0f;
};
pressure_coefficients pressure_matrix_coefficients(float dx, float dy);

// The system matrix: it depends only on the grid, so a run assembles it once.
// Rows: interior nodes (i outer, j inner), then each column's bottom and top
// wall rows, the inlet rows, and the two inlet corners.
csr_matrix assemble_pressure_matrix(int nx, int ny, float dx, float dy);

// Right-hand side in the matrix's row order, into workspace.rhs: the source
// at the interior rows, zero at the boundary rows. workspace.rhs must hold (nx-1) ny values, and
// lap_u, lap_v the Laplacians (edges included) of the current u and v.
void pressure_rhs(const flow_field& field, float dt, const run_parameters& params,
                  solver_workspace& workspace);

// p from the solved unknowns, with the outlet column at the outlet pressure.
void scatter_pressure(const std::vector<float>& solution, float outlet_pressure, flow_field& field);

// The whole stage. The workspace's lap_u and lap_v must already hold the
// Laplacians (edges included) of the current u and v. solve: the workspace's
// own solve unless a benchmark times another.
void pressure_equation(flow_field& field, float dt, const run_parameters& params,
                       solver_workspace& workspace,
                       pressure_solve_step* solve = solve_pressure_system);

}  // namespace veltaro
