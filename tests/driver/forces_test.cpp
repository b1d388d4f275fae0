#include "driver/forces.h"

#include <gtest/gtest.h>

namespace veltaro {
namespace {

flow_field grid_of(int nx, int ny) { return allocate_flow_field(nx, ny, 0.5f, 0.25f); }

TEST(LiftAndDrag, UniformFieldsCarryNoForce) {
    flow_field field = grid_of(6, 5);
    field.p.fill(3.0f);
    field.u.fill(2.0f);
    const forces force = lift_and_drag(field, 1.5f);
    EXPECT_EQ(force.lift, 0.0);
    EXPECT_EQ(force.drag, 0.0);
}

TEST(LiftAndDrag, BottomWallPressureLiftsWithHalfWeightCorners) {
    flow_field field = grid_of(6, 5);
    for (int i = 0; i < 6; ++i) field.p[i][0] = 1.0f;
    EXPECT_DOUBLE_EQ(lift_and_drag(field, 1.0f).lift, 5 * 0.5);
    field.p.fill(0.0f);
    field.p[0][4] = 1.0f;  // a corner of the top wall alone
    EXPECT_DOUBLE_EQ(lift_and_drag(field, 1.0f).lift, -0.5 * 0.5);
}

TEST(LiftAndDrag, InletPressureAndMomentumFluxDrag) {
    flow_field field = grid_of(6, 5);
    for (int j = 0; j < 5; ++j) field.p[0][j] = 1.0f;
    EXPECT_DOUBLE_EQ(lift_and_drag(field, 1.0f).drag, 4 * 0.25);
    field.p.fill(0.0f);
    for (int j = 0; j < 5; ++j) field.u[0][j] = 2.0f;
    EXPECT_DOUBLE_EQ(lift_and_drag(field, 1.5f).drag, 1.5 * 4.0 * 4 * 0.25);
}

}  // namespace
}  // namespace veltaro
