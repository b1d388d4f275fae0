// The field's initial state and its time step, on small hand-made fields.
#include "field/flow_field.h"

#include <gtest/gtest.h>

#include <optional>

#include "field/set_dt.h"

namespace veltaro {
namespace {

// A run stopped before its first iteration writes the advected velocity.
TEST(FlowField, InitiallyOnlyTheInletMovesInTheVelocityAndTheAdvectedOne) {
    flow_field field = allocate_flow_field(3, 2, 1.0f, 1.0f);
    field.u.fill(9.0f);
    initial_conditions(field, 0.25f);
    const float_grid zero = field.p;
    for (int j = 0; j < 2; ++j) field.p[0][j] = 0.25f;
    EXPECT_EQ(field.u, field.p);
    EXPECT_EQ(field.u_adv, field.p);
    EXPECT_EQ(field.v_adv, zero);
}

// A Courant number of 0.1 on the largest speed, bit for bit, unless the
// diffusion limit 0.4 rho / (mu (1/dx^2 + 1/dy^2)) is smaller.
TEST(SetDt, CourantStepCappedWhereTheDiffusionLimitBites) {
    const struct {
        const char* name;
        float u, v, mu;
        std::optional<float> dt;
    } rows[] = {
        {"still fluid has no time step", 0.0f, 0.0f, 0.01f, std::nullopt},
        {"largest speed", 3.0f, 4.0f, 0.0f, static_cast<float>(0.1 * 0.02f / 5.0f)},
        {"the cap does not bite", 0.2f, 0.0f, 0.0001f, static_cast<float>(0.1 * 0.02f / 0.2f)},
        {"the cap bites", 0.2f, 0.0f, 0.01f,
         static_cast<float>(0.4 / (0.01f * (2.0 / (static_cast<double>(0.02f) * 0.02f))))},
    };
    for (const auto& row : rows) {
        flow_field field = allocate_flow_field(4, 4, 0.02f, 0.02f);
        field.u.fill(0.1f * row.u);
        field.u[2][1] = row.u;
        field.v[2][1] = row.v;
        EXPECT_EQ(set_dt(field, {.dynamic_viscosity = row.mu, .density = 1.0f}), row.dt)
            << row.name;
    }
}

}  // namespace
}  // namespace veltaro
