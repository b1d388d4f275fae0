#include "driver/iteration_loop.h"

#include <gtest/gtest.h>

namespace veltaro {
namespace {

TEST(ConvergenceMeasures, InteriorSumsOverAllNodes) {
    flow_field field = allocate_flow_field(4, 3, 1.0f, 1.0f);
    field.u.fill(100.0f);  // the boundary never counts
    field.u[1][1] = -3.0f;
    field.u[2][1] = 9.0f;
    field.v[2][1] = -6.0f;
    field.p[1][1] = 1.5f;
    const mean_magnitudes means = measure_field(field);
    EXPECT_EQ(means.U, 1.0f);  // (3 + 9) / 12 nodes
    EXPECT_EQ(means.V, 0.5f);
    EXPECT_EQ(means.P, 0.125f);
}

TEST(ConvergenceMeasures, ChangeIsRelativeToTheNewMean) {
    EXPECT_EQ(relative_change(2.0f, 0.0f), 1.0);
    EXPECT_EQ(relative_change(2.0f, 2.5f), 0.25);
    EXPECT_EQ(relative_change(0.0f, 0.0f), 0.0);  // nothing changed
    EXPECT_EQ(relative_change(0.0f, 1.0f), 1.0);  // all of it vanished
}

}  // namespace
}  // namespace veltaro
