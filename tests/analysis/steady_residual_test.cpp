// Lift and drag from the momentum balance over the tunnel's boundary, on
// fields whose forces are known by hand: a 5 x 4 grid with dx = 0.5 and
// dy = 0.25, so the tunnel is 2 long and 0.75 high; rho = 2.
// The steady residual on a 4 x 4 grid (interior nodes (1,1) to (2,2)), by
// hand: R is the largest change of (u, v) over the fluid interior nodes, per
// dt, in units of U^2/c; a change of up to 4 units in the last place of the
// largest speed is steady however small dt is.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "analysis/forces.h"
#include "analysis/steady_residual.h"
#include "field/flow_field.h"

namespace veltaro {
namespace {

TEST(LiftAndDrag, BoundaryPressureAndMomentumFluxGiveTheirForces) {
    using node_value = std::function<float(int i, int j)>;
    const node_value none = [](int, int) { return 0.0f; };
    const struct { const char* name; node_value p, u; double lift, drag; } rows[] = {
        {"uniform flow and pressure: no force", [](int, int) { return 5.0f; },
         [](int, int) { return 0.3f; }, 0.0, 0.0},
        {"bottom wall 1 Pa above the top: lift over the length",
         [](int, int j) { return j == 0 ? 1.0f : 0.0f; }, none, 2.0, 0.0},
        {"inlet 3 Pa above the outlet: drag over the height",
         [](int i, int) { return i == 0 ? 3.0f : 0.0f; }, none, 0.0, 2.25},
        {"momentum flux rho U^2 in at the inlet, none out", none,
         [](int i, int) { return i == 0 ? 0.5f : 0.0f; }, 0.0, 2 * 0.25 * 0.75},
        {"pressure falling linearly along the tunnel: a drag of its drop times the height",
         [](int i, int) { return 4.0f - static_cast<float>(i); }, none, 0.0, 4 * 0.75},
    };
    for (const auto& row : rows) {
        flow_field field = allocate_flow_field(5, 4, 0.5f, 0.25f);
        for (int i = 0; i < 5; ++i) {
            for (int j = 0; j < 4; ++j) {
                field.p[i][j] = row.p(i, j);
                field.u[i][j] = row.u(i, j);
            }
        }
        const forces f = lift_and_drag(field, 2.0f);
        EXPECT_DOUBLE_EQ(f.lift, row.lift) << row.name;
        EXPECT_DOUBLE_EQ(f.drag, row.drag) << row.name;
    }
}


TEST(SteadyResidual, LargestChangeOverFluidInteriorNodesPerTimeStep) {
    const float ulp = unit_in_last_place(1.0f);  // 2^-23
    // The node (i, j) changes by (du, dv), and may be solid; the residuals
    // are in units of the monitor's 0.5 m/s^2.
    // clang-format off
    const struct {
        const char* name; int i, j; float du, dv; bool solid; float dt; double residual, rms;
        bool steady; } rows[] = {
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
