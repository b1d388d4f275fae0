#include "solver/advection_step.h"

#include <gtest/gtest.h>

#include "field/flow_field.h"

namespace veltaro {
namespace {

// Unit spacing, coordinates x = i and y = j, and a q with distinct values.
struct unit_grid {
    flow_field field = allocate_flow_field(4, 3, 1.0f, 1.0f);
    float_grid q{4, 3};
    unit_grid() {
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 3; ++j) q[i][j] = static_cast<float>(1 + i * i + 3 * j);
        }
    }
    float_grid advect(float dt) {
        float_grid q_adv(4, 3);
        advection_step(4, 3, 1.0f, 1.0f, dt, field.x, field.y, field.x_moved, field.y_moved,
                       field.u, field.v, q, q_adv);
        return q_adv;
    }
};

TEST(AdvectionStep, StillFluidGivesBackTheFieldExactly) {
    unit_grid grid;
    EXPECT_EQ(grid.advect(3.0f), grid.q);
}

TEST(AdvectionStep, HalfSpacingMoveAveragesWithTheUpstreamNode) {
    unit_grid grid;
    grid.field.u.fill(0.5f);
    const float_grid q_adv = grid.advect(1.0f);
    for (int j = 0; j < 3; ++j) {
        EXPECT_EQ(q_adv[0][j], grid.q[0][j]);  // only its own moved position is in range
        for (int i = 1; i < 4; ++i) {
            EXPECT_FLOAT_EQ(q_adv[i][j], (grid.q[i - 1][j] + grid.q[i][j]) / 2);
        }
    }
}

TEST(AdvectionStep, ConstantFieldStaysConstantAndInputsStayUnchanged) {
    unit_grid grid;
    grid.q.fill(2.5f);
    grid.field.u.fill(0.3f);
    grid.field.v.fill(-0.2f);
    const flow_field before = grid.field;
    const float_grid q_adv = grid.advect(0.7f);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(q_adv[i][j], 2.5f, 1e-6f);
    }
    EXPECT_EQ(grid.field.u, before.u);
    EXPECT_EQ(grid.field.v, before.v);
    EXPECT_EQ(grid.field.x, before.x);
    EXPECT_EQ(grid.field.y, before.y);
}

TEST(AdvectionStep, NanPositionsNeverCount) {
    unit_grid grid;
    grid.field.u[1][1] = std::numeric_limits<float>::quiet_NaN();
    const float_grid q_adv = grid.advect(1.0f);
    // Node (1,1) moved nowhere; its neighbours still only see themselves.
    EXPECT_EQ(q_adv[2][1], grid.q[2][1]);
    EXPECT_EQ(q_adv[1][1], grid.q[1][1]);  // no source in range: keeps its value
}

}  // namespace
}  // namespace veltaro
