// The explicit momentum update on a hand-sized grid, each term on its own:
//   u = u_adv - dt/rho dp/dx + mu dt/rho lap u,  v likewise with dp/dy,
// with dx = 0.5, dy = 0.25, dt = 0.125, rho = 2, mu = 0.25, so that every
// expected value is exact in binary.
#include "solver/momentum_equation.h"

#include <gtest/gtest.h>

#include <functional>

#include "solver/laplacian.h"

namespace veltaro {
namespace {

using profile = std::function<float(float x, float y)>;

TEST(MomentumEquation, EachTermMovesTheInteriorVelocityByItsHandWorkedAmount) {
    const profile zero = [](float, float) { return 0.0f; };
    // du and dv: the interior's u - u_adv and v - v_adv.
    const struct { const char* name; profile p, u, v; float du, dv; } rows[] = {
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
        solver_workspace workspace;
        workspace.lap_u = workspace.lap_v = float_grid(6, 5);
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

}  // namespace
}  // namespace veltaro
