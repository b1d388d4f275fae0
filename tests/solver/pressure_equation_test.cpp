// The velocity Laplacians and the pressure solve against manufactured
// solutions on two grids, the stored factors against a fresh solve, and the
// sparse solve's refusal of matrices the pressure equation never makes.
#include "solver/pressure_equation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "common/run_error.h"
#include "solver/laplacian.h"

namespace veltaro {
namespace {

constexpr double pi = std::numbers::pi;

// The largest error of one stage on the unit square with n x n nodes.
using error_on_grid = std::function<double(int n)>;

// lap q of q = sin(pi x) sin(pi y) is -2 pi^2 q; the five-point formula's
// error is (dx^2 q_xxxx + dy^2 q_yyyy) / 12, second order.
double laplacian_error(int n) {
    const float h = 1.0f / static_cast<float>(n - 1);
    flow_field field = allocate_flow_field(n, n, h, h);
    auto q = [](double x, double y) { return std::sin(pi * x) * std::sin(pi * y); };
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) field.u[i][j] = static_cast<float>(q(i * h, j * h));
    }
    solver_workspace workspace;
    workspace.lap_u = workspace.lap_v = float_grid(n, n);
    velocity_laplacians(field, workspace);
    double largest = 0.0;
    for (int i = 1; i <= n - 2; ++i) {
        for (int j = 1; j <= n - 2; ++j) {
            const double exact = -2 * pi * pi * q(i * h, j * h);
            largest = std::max(largest, std::fabs(workspace.lap_u[i][j] - exact));
        }
    }
    return largest;
}

// p = cos(pi x / 2) cos(pi y) has zero normal gradient at the inlet and the
// walls and p = 0 at the outlet x = 1, as the equation's boundary rows ask;
// lap p = -5/4 pi^2 p. With rho = dt = 1, mu = 0 and v* = 0 the source is
// du*/dx, so u* = -5/2 pi sin(pi x / 2) cos(pi y). The boundary rows set a
// boundary pressure equal to its inward neighbour's, a zero gradient half a
// spacing inside the boundary: first order.
double pressure_error(int n) {
    const float h = 1.0f / static_cast<float>(n - 1);
    flow_field field = allocate_flow_field(n, n, h, h);
    auto p = [](double x, double y) { return std::cos(pi * x / 2) * std::cos(pi * y); };
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            const double x = i * h;
            const double y = j * h;
            field.u_adv[i][j] =
                static_cast<float>(-2.5 * pi * std::sin(pi * x / 2) * std::cos(pi * y));
        }
    }
    solver_workspace workspace = make_solver_workspace(field);
    velocity_laplacians(field, workspace);
    pressure_equation(field, 1.0f, {.dynamic_viscosity = 0.0f, .density = 1.0f}, workspace);
    double largest = 0.0;
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j)
            largest = std::max(largest, std::fabs(field.p[i][j] - p(i * h, j * h)));
    }
    return largest;
}

TEST(ManufacturedSolution, ErrorFallsAtTheExpectedOrderFromOneGridToTheNext) {
    const struct {
        const char* name;
        error_on_grid error;
        double order;  // log2 of the error's ratio from n to 2n - 1 nodes
        double coarse_at_most;
    } rows[] = {
        {"five-point Laplacian", laplacian_error, 2.0, 0.2},
        {"pressure Poisson equation", pressure_error, 1.0, 0.2},
    };
    for (const auto& row : rows) {
        const double coarse = row.error(17);
        const double fine = row.error(33);
        EXPECT_LT(coarse, row.coarse_at_most) << row.name;
        EXPECT_NEAR(std::log2(coarse / fine), row.order, 0.25)
            << row.name << ": errors " << coarse << " and " << fine;
    }
}

// A run factorises once and then solves with the stored factors: bit for
// bit what a fresh factorisation of the same system gives.
TEST(PressureEquation, ReusedFactorsGiveExactlyTheOneShotSolve) {
    flow_field field = allocate_flow_field(12, 7, 1.0f, 1.0f);
    solver_workspace workspace = make_solver_workspace(field);
    const run_parameters params{.dynamic_viscosity = 0.1f, .density = 1.0f};
    for (int step = 0; step < 4; ++step) {
        for (int i = 0; i < 12; ++i) {
            for (int j = 0; j < 7; ++j) {
                field.u_adv[i][j] = static_cast<float>((i * 7 + j * 3 + step) % 11) * 0.1f;
                field.v_adv[i][j] = static_cast<float>((i + j * 5 + step) % 7) * 0.05f;
                field.u[i][j] = static_cast<float>((i * j + step) % 5) * 0.2f;
            }
        }
        velocity_laplacians(field, workspace);
        pressure_equation(field, 0.01f, params, workspace);
        // The solve left x in place of b: b again, for the fresh solve.
        pressure_rhs(field, 0.01f, params, workspace);
        std::vector<float> fresh(workspace.rhs.size());
        const csr_matrix& a = workspace.pressure_matrix;
        solve_sparse_matrix(a.n, a.nnz(), a.values.data(), a.col_index.data(), a.row_ptr.data(),
                            workspace.rhs.data(), fresh.data());
        ASSERT_EQ(fresh, workspace.solution) << "iteration " << step;
    }
}

// The solver writes out of bounds on an empty row or column instead of
// calling the matrix singular, so such a matrix must never reach it.
TEST(SparseSolve, RefusesSingularMatricesAndThoseWithAnEmptyRowOrColumn) {
    const struct {
        int n;
        std::vector<float> values;
        std::vector<int> columns, rows;
        const char* why;
    } matrices[] = {
        {2, {1, 1, 1, 1}, {0, 1, 0, 1}, {0, 2, 4}, "zero pivot in column 2"},
        {3, {1, 2}, {0, 1}, {0, 1, 2, 2}, "row 3 is empty"},
        {2, {1, 2}, {0, 0}, {0, 1, 2}, "column 2 is empty"},
    };
    for (const auto& m : matrices) {
        std::vector<float> rhs(static_cast<std::size_t>(m.n), 1.0f), solution(rhs);
        try {
            solve_sparse_matrix(m.n, static_cast<int>(m.values.size()), m.values.data(),
                                m.columns.data(), m.rows.data(), rhs.data(), solution.data());
            ADD_FAILURE() << m.why << ": solved";
        } catch (const run_error& error) {
            EXPECT_NE(std::string(error.what()).find(m.why), std::string::npos) << error.what();
        }
    }
}

}  // namespace
}  // namespace veltaro
