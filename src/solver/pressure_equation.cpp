#include "solver/pressure_equation.h"

namespace veltaro {

namespace {

void append_entry(csr_matrix& matrix, int column, float value) {
    matrix.col_index.push_back(column);
    matrix.values.push_back(value);
}

void end_row(csr_matrix& matrix) { matrix.row_ptr.push_back(matrix.nnz()); }

// Ties a boundary node to its inward neighbour: first (1/dy^2), second (-1/dy^2).
void append_tie_row(csr_matrix& matrix, int first, int second, float inv_dy2) {
    append_entry(matrix, first, inv_dy2);
    append_entry(matrix, second, -inv_dy2);
    end_row(matrix);
}

}  // namespace

// The pressure Poisson equation (docs/method.md, "Pressure"): asking the
// momentum update u_new = u* - dt/rho grad p + mu dt/rho lap u for a
// divergence-free u_new and taking its divergence gives
//   lap p = rho/dt div u* + mu div(lap u),
// discretised with the five-point Laplacian on the left and central
// differences on the right.
//
// The rows, with p(i,j) the pressure of node (i,j) and S(i,j) the source:
//
// interior, i = 1 ... nx-2, j = 1 ... ny-2:
//   (p(i,j-1) - 2 p(i,j) + p(i,j+1)) / dy^2 + (p(i-1,j) - 2 p(i,j) + p(i+1,j)) / dx^2 = S(i,j)
//   where p(nx-1,j) is the outlet pressure: on the last interior column that
//   term is known, and pressure_rhs moves it to the right-hand side.
// bottom and top walls, i = 1 ... nx-2 (zero normal gradient):
//   (p(i,0) - p(i,1)) / dy^2 = 0        (p(i,ny-2) - p(i,ny-1)) / dy^2 = 0
// inlet, j = 1 ... ny-2 (zero normal gradient):
//   (p(0,j) - p(1,j)) / dy^2 = 0
// inlet corners, tied to their diagonal neighbour:
//   (p(0,0) - p(1,1)) / dy^2 = 0        (p(1,ny-2) - p(0,ny-1)) / dy^2 = 0
//
// A boundary row says only that two pressures are equal, so its scale (the
// inlet's difference is along x, yet scaled by 1/dy^2) and its sign (the top
// corner lists its boundary node second) leave the solution as it is. Not
// physics, kept for bit-for-bit results: the factorisation's pivoting sees
// them, and another scale or order would change the last bits of every
// result.
pressure_coefficients pressure_matrix_coefficients(float dx, float dy) {
    return {.inv_dx2 = 1 / (dx * dx),
            .inv_dy2 = 1 / (dy * dy),
            .centre = -2 / (dy * dy) - 2 / (dx * dx)};
}

csr_matrix assemble_pressure_matrix(int nx, int ny, float dx, float dy) {
    const auto [inv_dx2, inv_dy2, centre] = pressure_matrix_coefficients(dx, dy);
    auto unknown = [nx](int i, int j) { return pressure_unknown(nx, i, j); };

    csr_matrix matrix;
    matrix.n = (nx - 1) * ny;
    const int entries = 5 * (nx - 2) * (ny - 2) + 4 * (nx - 2) + (ny - 2) + 4;
    matrix.values.reserve(entries);
    matrix.col_index.reserve(entries);
    matrix.row_ptr.reserve(matrix.n + 1);
    matrix.row_ptr.push_back(0);

    for (int i = 1; i <= nx - 2; ++i) {
        for (int j = 1; j <= ny - 2; ++j) {
            append_entry(matrix, unknown(i, j - 1), inv_dy2);
            append_entry(matrix, unknown(i - 1, j), inv_dx2);
            append_entry(matrix, unknown(i, j), centre);
            // The outlet neighbour is known: it moves to the right-hand side.
            if (i != nx - 2) append_entry(matrix, unknown(i + 1, j), inv_dx2);
            append_entry(matrix, unknown(i, j + 1), inv_dy2);
            end_row(matrix);
        }
    }
    for (int i = 1; i <= nx - 2; ++i) {
        append_tie_row(matrix, unknown(i, 0), unknown(i, 1), inv_dy2);
        append_tie_row(matrix, unknown(i, ny - 2), unknown(i, ny - 1), inv_dy2);
    }
    for (int j = 1; j <= ny - 2; ++j) {
        append_tie_row(matrix, unknown(0, j), unknown(1, j), inv_dy2);
    }
    append_tie_row(matrix, unknown(0, 0), unknown(1, 1), inv_dy2);
    append_tie_row(matrix, unknown(1, ny - 2), unknown(0, ny - 1), inv_dy2);
    return matrix;
}

// S(i,j) = mu (lap_u(i+1,j) - lap_u(i-1,j)) / (2 dx) + mu (lap_v(i,j+1) - lap_v(i,j-1)) / (2 dy)
//        + rho (u*(i+1,j) - u*(i-1,j)) / (2 dx dt) + rho (v*(i,j+1) - v*(i,j-1)) / (2 dy dt),
// the four terms added in this order; the outlet's p/dx^2 then leaves the
// last interior column.
void pressure_rhs(const flow_field& field, float dt, const run_parameters& params,
                  solver_workspace& workspace) {
    const float_grid& lap_u = workspace.lap_u;
    const float_grid& lap_v = workspace.lap_v;
    std::vector<float>& rhs = workspace.rhs;
    const int nx = field.nx;
    const int ny = field.ny;
    const float mu = params.dynamic_viscosity;
    const float rho = params.density;
    const float two_dx = 2 * field.dx;
    const float two_dy = 2 * field.dy;
    const float two_dx_dt = 2 * field.dx * dt;
    const float two_dy_dt = 2 * field.dy * dt;
    const float outlet_term = params.outlet_pressure / (field.dx * field.dx);
    const int rows_per_column = ny - 2;
    for (int i = 1; i <= nx - 2; ++i) {
        // Distinct arrays: telling the compiler so lets it vectorise.
        const float* __restrict lap_u_west = lap_u[i - 1];
        const float* __restrict lap_u_east = lap_u[i + 1];
        const float* __restrict lap_v_here = lap_v[i];
        const float* __restrict u_adv_west = field.u_adv[i - 1];
        const float* __restrict u_adv_east = field.u_adv[i + 1];
        const float* __restrict v_adv_here = field.v_adv[i];
        float* __restrict column =
            rhs.data() + static_cast<std::size_t>(i - 1) * rows_per_column - 1;
        for (int j = 1; j <= ny - 2; ++j) {
            float source = mu * (lap_u_east[j] - lap_u_west[j]) / two_dx;
            source += mu * (lap_v_here[j + 1] - lap_v_here[j - 1]) / two_dy;
            source += rho * (u_adv_east[j] - u_adv_west[j]) / two_dx_dt;
            source += rho * (v_adv_here[j + 1] - v_adv_here[j - 1]) / two_dy_dt;
            column[j] = source;
        }
    }
    // The outlet's known pressure moves to the right-hand side of the last
    // interior column.
    if (nx >= 3) {
        float* last = rhs.data() + static_cast<std::size_t>(nx - 3) * rows_per_column;
        for (int j = 0; j < rows_per_column; ++j) last[j] -= outlet_term;
    }
    const std::size_t interior_rows = static_cast<std::size_t>(nx - 2) * rows_per_column;
    std::fill(rhs.begin() + static_cast<std::ptrdiff_t>(interior_rows), rhs.end(), 0.0f);
}

void scatter_pressure(const std::vector<float>& solution, float outlet_pressure,
                      flow_field& field) {
    const int nx = field.nx;
    for (int i = 0; i < nx - 1; ++i) {
        for (int j = 0; j < field.ny; ++j) field.p[i][j] = solution[pressure_unknown(nx, i, j)];
    }
    for (int j = 0; j < field.ny; ++j) field.p[nx - 1][j] = outlet_pressure;
}

void pressure_equation(flow_field& field, float dt, const run_parameters& params,
                       solver_workspace& workspace, pressure_solve_step* solve) {
    if (field.nx < 3 || field.ny < 3) {
        field.p.fill(params.outlet_pressure);
        return;
    }
    pressure_rhs(field, dt, params, workspace);
    solve(workspace);
    scatter_pressure(workspace.solution, params.outlet_pressure, field);
}

}  // namespace veltaro
