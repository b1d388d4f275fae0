// The explicit momentum update on a hand-sized grid, term by term; the
// velocity Laplacians and the pressure solve against manufactured
// solutions on two grids, and the sparse solve's refusal of matrices the
// pressure equation never makes.
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
#include "solver/momentum_equation.h"

namespace veltaro {
namespace {

constexpr double pi = std::numbers::pi;
using profile = std::function<double(double x, double y)>;
using float_profile = std::function<float(float x, float y)>;

void fill(float_grid& q, double h, const profile& f) {
    for (int i = 0; i < q.nx(); ++i)
        for (int j = 0; j < q.ny(); ++j) q[i][j] = static_cast<float>(f(i * h, j * h));
}

// The largest |q - exact| over the nodes at least `margin` from the edges;
// NaN where a node holds no number.
double largest_error(const float_grid& q, double h, int margin, const profile& exact) {
    double largest = 0.0;
    for (int i = margin; i < q.nx() - margin; ++i) {
        for (int j = margin; j < q.ny() - margin; ++j) {
            const double error = std::fabs(q[i][j] - exact(i * h, j * h));
            if (std::isnan(error)) return error;
            largest = std::max(largest, error);
        }
    }
    return largest;
}

// lap q of q = sin(pi x) sin(pi y) is -2 pi^2 q; the five-point formula's
// error is (dx^2 q_xxxx + dy^2 q_yyyy) / 12, second order.
double laplacian_error(int n) {
    const float h = 1.0f / static_cast<float>(n - 1);
    flow_field field = allocate_flow_field(n, n, h, h);
    fill(field.u, h, [](double x, double y) { return std::sin(pi * x) * std::sin(pi * y); });
    solver_workspace workspace = make_solver_workspace(field);
    velocity_laplacians(field, workspace);
    return largest_error(workspace.lap_u, h, 1, [](double x, double y) {
        return -2 * pi * pi * std::sin(pi * x) * std::sin(pi * y);
    });
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
    fill(field.u_adv, h,
         [](double x, double y) { return -2.5 * pi * std::sin(pi * x / 2) * std::cos(pi * y); });
    field.p.fill(std::nanf(""));  // every node is written, none read
    solver_workspace workspace = make_solver_workspace(field);
    velocity_laplacians(field, workspace);
    pressure_equation(field, 1.0f, {.dynamic_viscosity = 0.0f, .density = 1.0f}, workspace);
    return largest_error(
        field.p, h, 0, [](double x, double y) { return std::cos(pi * x / 2) * std::cos(pi * y); });
}

TEST(ManufacturedSolution, ErrorFallsAtTheExpectedOrderFromOneGridToTheNext) {
    // The largest error on the unit square of n x n nodes, and the order:
    // log2 of the error's ratio from 17 to 33 nodes.
    const struct { const char* name; double (*error)(int n); double order; } rows[] = {
        {"five-point Laplacian", laplacian_error, 2.0},
        {"pressure Poisson equation", pressure_error, 1.0},
    };
    for (const auto& row : rows) {
        const double coarse = row.error(17), fine = row.error(33);
        EXPECT_LT(coarse, 0.2) << row.name;
        EXPECT_NEAR(std::log2(coarse / fine), row.order, 0.25)
            << row.name << ": errors " << coarse << " and " << fine;
    }
}

// The explicit momentum update on a hand-sized grid, each term on its own:
//   u = u_adv - dt/rho dp/dx + mu dt/rho lap u,  v likewise with dp/dy,
// with dx = 0.5, dy = 0.25, dt = 0.125, rho = 2, mu = 0.25, so that every
// expected value is exact in binary.
TEST(MomentumEquation, EachTermMovesTheInteriorVelocityByItsHandWorkedAmount) {
    const float_profile zero = [](float, float) { return 0.0f; };
    // du and dv: the interior's u - u_adv and v - v_adv.
    const struct { const char* name; float_profile p, u, v; float du, dv; } rows[] = {
        // dp/dx = 4: -0.125 / 2 * 4
        {"p rising along the tunnel slows u", [](float x, float) { return 4.0f * x; }, zero, zero,
         -0.25f, 0.0f},
        // dp/dy = -8: -0.125 / 2 * -8
        {"p falling across the tunnel lifts v", [](float, float y) { return 1.0f - 8.0f * y; },
         zero, zero, 0.0f, 0.5f},
        // lap u = 2: 0.25 * 0.125 / 2 * 2; lap v = -4
        {"viscosity diffuses each component", zero, [](float x, float) { return x * x; },
         [](float, float y) { return -2.0f * y * y; }, 0.03125f, -0.0625f},
    };
    const run_parameters params{.dynamic_viscosity = 0.25f, .density = 2.0f};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        flow_field field = allocate_flow_field(6, 5, 0.5f, 0.25f);
        for (int i = 0; i < 6; ++i) {
            for (int j = 0; j < 5; ++j) {
                const float x = field.x[i][j], y = field.y[i][j];
                field.p[i][j] = row.p(x, y);
                field.u[i][j] = row.u(x, y);
                field.v[i][j] = row.v(x, y);
                field.u_adv[i][j] = static_cast<float>(i + j);
                field.v_adv[i][j] = static_cast<float>(i - j);
            }
        }
        const flow_field before = field;
        solver_workspace workspace = make_solver_workspace(field);
        velocity_laplacians(field, workspace);
        momentum_equation(field, 0.125f, params, workspace);
        for (int i = 0; i < 6; ++i) {
            for (int j = 0; j < 5; ++j) {
                const bool interior = i >= 1 && i <= 4 && j >= 1 && j <= 3;
                const float u = interior ? before.u_adv[i][j] + row.du : before.u[i][j];
                const float v = interior ? before.v_adv[i][j] + row.dv : before.v[i][j];
                EXPECT_FLOAT_EQ(field.u[i][j], u) << i << ", " << j;
                EXPECT_FLOAT_EQ(field.v[i][j], v) << i << ", " << j;
            }
        }
    }
}

// The solver writes out of bounds on an empty row or column instead of
// calling the matrix singular, so such a matrix must never reach it.
TEST(SparseSolve, RefusesSingularMatricesAndThoseWithAnEmptyRowOrColumn) {
    // clang-format off
    const struct {
        int n; std::vector<float> values; std::vector<int> columns, rows; const char* why;
    } matrices[] = {
        {2, {1, 1, 1, 1}, {0, 1, 0, 1}, {0, 2, 4}, "zero pivot in column 2"},
        {3, {1, 2}, {0, 1}, {0, 1, 2, 2}, "row 3 is empty"},
        {2, {1, 2}, {0, 0}, {0, 1, 2}, "column 2 is empty"},
    };
    // clang-format on
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
