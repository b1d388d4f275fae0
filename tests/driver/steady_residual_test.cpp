// The steady residual on a 4 x 4 grid (interior nodes (1,1) to (2,2)), by
// hand: R is the largest change of (u, v) over the fluid interior nodes, per
// dt, in units of U^2/c; a change of up to 4 units in the last place of the
// largest speed is steady however small dt is.
#include <gtest/gtest.h>

#include <cmath>

#include "driver/steady_residual.h"
#include "field/flow_field.h"

namespace veltaro {
namespace {

TEST(SteadyResidual, LargestChangeOverFluidInteriorNodesPerTimeStep) {
    const float ulp = unit_in_last_place(1.0f);  // 2^-23
    // The node (i, j) changes by (du, dv), and may be solid; the residuals
    // are in units of the monitor's 0.5 m/s^2.
    // clang-format off
    const struct {
        const char* name; int i, j; float du, dv; bool solid; float dt; double residual, rms;
        bool steady;
    } rows[] = {
        {"nothing changes", 1, 1, 0, 0, false, 0.1f, 0, 0, true},
        {"3-4-5 change at an interior node", 2, 1, 0.003f, 0.004f, false, 0.1f, 0.1, 0.05, false},
        {"a change at a boundary node is not counted", 0, 1, 0.3f, 0.4f, false, 0.1f, 0, 0, true},
        {"nor at a solid node", 1, 2, 0.3f, 0.4f, true, 0.1f, 0, 0, true},
        {"small enough per time step", 1, 1, 0.0f, 4e-6f, false, 0.1f, 8e-5, 4e-5, true},
        {"4 units in the last place are steady", 2, 2, 4 * ulp, 0.0f, false, 1e-6f,
         4 * ulp / 0.5e-6, 2 * ulp / 0.5e-6, true},
        {"5 are not", 2, 2, 5 * ulp, 0.0f, false, 1e-6f, 5 * ulp / 0.5e-6, 2.5 * ulp / 0.5e-6,
         false},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        flow_field field = allocate_flow_field(4, 4, 1.0f, 1.0f);
        field.u.fill(1.0f);  // the largest speed, whose unit in the last place is ulp
        int_grid solid(4, 4);
        solid[row.i][row.j] = row.solid ? 1 : 0;
        steady_monitor monitor(4, 4, 0.5);
        monitor.remember(field);
        field.u[row.i][row.j] += row.du;
        field.v[row.i][row.j] += row.dv;
        const steady_measure measure = monitor.measure(field, solid, row.dt);
        EXPECT_NEAR(measure.residual, row.residual, 1e-5 * row.residual);  // u is a float
        EXPECT_NEAR(measure.residual_rms, row.rms, 1e-5 * row.rms);
        EXPECT_EQ(measure.steady, row.steady);
    }
}

}  // namespace
}  // namespace veltaro
