#include "solver/pressure_equation.h"

#include <gtest/gtest.h>

#include "solver/laplacian.h"
#include "solver/momentum_equation.h"

namespace veltaro {
namespace {

TEST(PressureMatrix, ThreeByThreeGridRowByRow) {
    const csr_matrix matrix = assemble_pressure_matrix(3, 3, 1.0f, 1.0f);
    EXPECT_EQ(matrix.n, 6);
    EXPECT_EQ(matrix.row_ptr, (std::vector<int>{0, 4, 6, 8, 10, 12, 14}));
    EXPECT_EQ(matrix.col_index, (std::vector<int>{1, 2, 3, 5, 1, 3, 3, 5, 2, 3, 0, 3, 3, 4}));
    EXPECT_EQ(matrix.values, (std::vector<float>{1, 1, -4, 1, 1, -1, 1, -1, 1, -1, 1, -1, 1, -1}));
}

TEST(PressureMatrix, EntryCountAndBoundaryScaling) {
    const int nx = 7;
    const int ny = 5;
    const csr_matrix matrix = assemble_pressure_matrix(nx, ny, 0.5f, 0.25f);
    EXPECT_EQ(matrix.n, (nx - 1) * ny);
    EXPECT_EQ(matrix.nnz(), 5 * (nx - 2) * (ny - 2) + 4 * (nx - 2) + (ny - 2) + 4);
    EXPECT_EQ(matrix.row_ptr.back(), matrix.nnz());
    // The last row (upper inlet corner) is scaled by 1/dy^2, not 1/dx^2.
    EXPECT_EQ(matrix.values.back(), -16.0f);
}

struct small_case {
    flow_field field;
    run_parameters params;
    solver_workspace workspace;
    small_case(int nx, int ny)
        : field(allocate_flow_field(nx, ny, 1.0f, 1.0f)),
          workspace(make_solver_workspace(nx, ny, 1.0f, 1.0f)) {
        params.density = 1.0f;
        params.dynamic_viscosity = 0.1f;
    }
    void solve(float dt) {
        velocity_laplacians(field.nx, field.ny, field.dx, field.dy, field.u, field.v,
                            workspace.lap_u, workspace.lap_v);
        pressure_equation(field, dt, params, workspace);
    }
};

TEST(PressureEquation, ThreeByThreeSolvesToMinusTheSource) {
    small_case c(3, 3);
    c.field.u_adv[2][1] = 2.0f;  // S(1,1) = density (2 - 0) / (2 dx dt) = 1 with dt = 1
    c.params.outlet_pressure = 0.5f;
    c.solve(1.0f);
    for (int i = 0; i < 2; ++i) {
        for (int j = 0; j < 3; ++j) EXPECT_FLOAT_EQ(c.field.p[i][j], 0.5f - 1.0f);
    }
    for (int j = 0; j < 3; ++j) EXPECT_EQ(c.field.p[2][j], 0.5f);
}

TEST(PressureEquation, UniformFlowHasZeroPressure) {
    small_case c(8, 6);
    c.field.u.fill(0.3f);
    c.field.u_adv.fill(0.3f);
    c.field.v.fill(0.1f);
    c.field.v_adv.fill(0.1f);
    c.field.p.fill(42.0f);  // never read
    c.solve(0.01f);
    EXPECT_EQ(c.field.p, float_grid(8, 6));
}

TEST(PressureEquation, ReusedFactorsGiveExactlyTheOneShotSolve) {
    small_case reused(12, 7);
    small_case fresh(12, 7);
    fresh.workspace.factorise_every_iteration = true;
    for (int step = 0; step < 4; ++step) {
        for (small_case* c : {&reused, &fresh}) {
            for (int i = 0; i < 12; ++i) {
                for (int j = 0; j < 7; ++j) {
                    c->field.u_adv[i][j] = static_cast<float>((i * 7 + j * 3 + step) % 11) * 0.1f;
                    c->field.v_adv[i][j] = static_cast<float>((i + j * 5 + step) % 7) * 0.05f;
                    c->field.u[i][j] = static_cast<float>((i * j + step) % 5) * 0.2f;
                }
            }
            c->solve(0.01f);
        }
        ASSERT_EQ(reused.field.p, fresh.field.p) << "iteration " << step;
    }
}

TEST(MomentumEquation, LinearPressureDrivesTheFlow) {
    flow_field field = allocate_flow_field(5, 4, 0.5f, 0.5f);
    run_parameters params;
    params.density = 2.0f;
    params.dynamic_viscosity = 0.3f;
    field.u.fill(1.0f);
    field.v.fill(0.5f);
    for (int i = 0; i < 5; ++i) {
        for (int j = 0; j < 4; ++j) {
            field.p[i][j] = 3.0f * static_cast<float>(i);
            field.u_adv[i][j] = 0.75f;
            field.v_adv[i][j] = 0.25f;
        }
    }
    float_grid lap_u(5, 4);
    float_grid lap_v(5, 4);
    velocity_laplacians(5, 4, 0.5f, 0.5f, field.u, field.v, lap_u, lap_v);
    const flow_field before = field;
    const float dt = 0.1f;
    momentum_equation(field, dt, params, lap_u, lap_v);
    for (int i = 0; i < 5; ++i) {
        for (int j = 0; j < 4; ++j) {
            const bool interior = i > 0 && i < 4 && j > 0 && j < 3;
            // u_adv - dt dp / (dx density) with dp = 3 per node.
            EXPECT_FLOAT_EQ(field.u[i][j], interior ? 0.75f - dt * 3.0f / (0.5f * 2.0f) : 1.0f);
            EXPECT_FLOAT_EQ(field.v[i][j], interior ? 0.25f : 0.5f);
        }
    }
    EXPECT_EQ(field.p, before.p);
}

TEST(MomentumEquation, ViscosityDiffusesTheCurrentVelocity) {
    flow_field field = allocate_flow_field(3, 3, 1.0f, 1.0f);
    run_parameters params;
    params.density = 2.0f;
    params.dynamic_viscosity = 0.5f;
    field.u[1][1] = 1.0f;  // Laplacian -4 at the centre
    float_grid lap_u(3, 3);
    float_grid lap_v(3, 3);
    velocity_laplacians(3, 3, 1.0f, 1.0f, field.u, field.v, lap_u, lap_v);
    EXPECT_EQ(lap_u[1][1], -4.0f);
    momentum_equation(field, 0.5f, params, lap_u, lap_v);
    EXPECT_EQ(field.u[1][1], 0.5f * 0.5f * -4.0f / 2.0f);  // u_adv is 0
    params.dynamic_viscosity = 0.0f;
    field.u[1][1] = 1.0f;
    momentum_equation(field, 0.5f, params, lap_u, lap_v);
    EXPECT_EQ(field.u[1][1], 0.0f);
}

TEST(Laplacian, EdgesCopyTheirInwardNeighbours) {
    float_grid q(4, 4);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) q[i][j] = static_cast<float>(i * i + 2 * j * j);
    }
    float_grid lap(4, 4, -1.0f);
    laplacian(4, 4, 1.0f, 1.0f, q, lap);
    copy_laplacian_edges(4, 4, lap);
    EXPECT_EQ(lap[1][1], 2.0f + 4.0f);
    EXPECT_EQ(lap[0][1], lap[1][1]);
    EXPECT_EQ(lap[3][2], lap[2][2]);
    EXPECT_EQ(lap[1][0], lap[1][1]);
    EXPECT_EQ(lap[2][3], lap[2][2]);
    EXPECT_EQ(lap[0][0], -1.0f);  // corners are never read, never written
}

}  // namespace
}  // namespace veltaro
