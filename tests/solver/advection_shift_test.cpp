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
// likewise with u and v swapped.
TEST(AdvectionStep, UniformStaysUniformAndALinearProfileMovesByItsCarrier) {
    constexpr float dx = 0.5f;
    constexpr float dy = 0.25f;
    const struct {
        const char* name;
        float dt;
        profile u, v, u_adv, v_adv;
        bool inlet_keeps_its_own = false;  // nothing upstream of i = 0
    } rows[] = {
        {"at rest nothing moves", 1.0f, [](float, float) { return 0.0f; },
         [](float, float) { return 0.0f; }, [](float, float) { return 0.0f; },
         [](float, float) { return 0.0f; }},
        {"uniform stays uniform", 0.3f, [](float, float) { return 0.7f; },
         [](float, float) { return -0.4f; }, [](float, float) { return 0.7f; },
         [](float, float) { return -0.4f; }},
        {"v linear in x moves downstream by u dt", 0.25f, [](float, float) { return 1.2f; },
         [](float x, float) { return 0.1f + 0.2f * x; }, [](float, float) { return 1.2f; },
         [](float x, float) { return 0.1f + 0.2f * (x - 0.3f); }, true},
        {"v linear in x moves upstream by u dt", 0.25f, [](float, float) { return -0.8f; },
         [](float x, float) { return 0.3f - 0.2f * x; }, [](float, float) { return -0.8f; },
         [](float x, float) { return 0.3f - 0.2f * (x + 0.2f); }},
        {"u linear in y moves up by v dt", 0.2f, [](float, float y) { return 0.5f + 0.4f * y; },
         [](float, float) { return 0.6f; },
         [](float, float y) { return 0.5f + 0.4f * (y - 0.12f); },
         [](float, float) { return 0.6f; }},
        {"u linear in y moves down by v dt", 0.2f, [](float, float y) { return 0.5f - 0.4f * y; },
         [](float, float) { return -0.5f; },
         [](float, float y) { return 0.5f - 0.4f * (y + 0.1f); },
         [](float, float) { return -0.5f; }},
    };
    for (const auto& row : rows) {
        flow_field field = allocate_flow_field(9, 7, dx, dy);
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
                const float x = field.x[i][j];
                const float y = field.y[i][j];
                const float u = i == 0 ? before.u[i][j] : row.u_adv(x, y);
                const float v = i == 0 ? before.v[i][j] : row.v_adv(x, y);
                EXPECT_NEAR(field.u_adv[i][j], u, 1e-6f) << row.name << " at " << i << ", " << j;
                EXPECT_NEAR(field.v_adv[i][j], v, 1e-6f) << row.name << " at " << i << ", " << j;
            }
        }
        EXPECT_EQ(field.u, before.u) << row.name;
        EXPECT_EQ(field.v, before.v) << row.name;
    }
}

}  // namespace
}  // namespace veltaro
