// The advection against exact solutions: on a uniform grid the tent weights
// rebuild a field that is linear along the carrying direction exactly, so a
// linear profile carried by a uniform velocity component moves by u dt (or
// v dt) and nothing else, and a uniform field stays uniform.
#include "solver/advection_step.h"

#include <gtest/gtest.h>

#include <functional>

namespace veltaro {
namespace {

using profile = std::function<float(float x, float y)>;

// Across every row and column the weights of the moved nodes sum to the
// same total whatever each node's own shift (when it is below a spacing),
// so with u uniform and v depending on x only, v_adv(x, y) = v(x - u dt, y);
// likewise with u and v swapped. Each row's profiles are of that kind, so
// q_adv(x, y) = q(x - u dt, y - v dt) at every interior node.
TEST(AdvectionStep, UniformStaysUniformAndALinearProfileMovesByItsCarrier) {
    const struct {
        const char* name;
        float dt;
        profile u, v;
        bool inlet_keeps_its_own = false;  // nothing upstream of i = 0
    } rows[] = {
        {"uniform stays uniform", 0.3f, [](float, float) { return 0.7f; },
         [](float, float) { return -0.4f; }},
        {"v linear in x moves downstream by u dt", 0.25f, [](float, float) { return 1.2f; },
         [](float x, float) { return 0.1f + 0.2f * x; }, true},
        {"v linear in x moves upstream by u dt", 0.25f, [](float, float) { return -0.8f; },
         [](float x, float) { return 0.3f - 0.2f * x; }},
        {"u linear in y moves down by v dt", 0.2f, [](float, float y) { return 0.5f - 0.4f * y; },
         [](float, float) { return -0.5f; }},
    };
    for (const auto& row : rows) {
        flow_field field = allocate_flow_field(9, 7, 0.5f, 0.25f);
        for (int i = 0; i < 9; ++i) {
            for (int j = 0; j < 7; ++j) {
                field.u[i][j] = row.u(field.x[i][j], field.y[i][j]);
                field.v[i][j] = row.v(field.x[i][j], field.y[i][j]);
            }
        }
        const flow_field before = field;
        advection_step(field, row.dt);
        for (int i = row.inlet_keeps_its_own ? 0 : 1; i <= 7; ++i) {
            for (int j = 1; j <= 5; ++j) {
                const float x = i == 0 ? 0.0f : field.x[i][j] - before.u[i][j] * row.dt;
                const float y = i == 0 ? field.y[i][j] : field.y[i][j] - before.v[i][j] * row.dt;
                EXPECT_NEAR(field.u_adv[i][j], row.u(x, y), 1e-6f)
                    << row.name << " at " << i << ", " << j;
                EXPECT_NEAR(field.v_adv[i][j], row.v(x, y), 1e-6f)
                    << row.name << " at " << i << ", " << j;
            }
        }
        EXPECT_EQ(field.u, before.u) << row.name;
        EXPECT_EQ(field.v, before.v) << row.name;
    }
}

}  // namespace
}  // namespace veltaro
