// Lift and drag from the momentum balance over the tunnel's boundary, on
// fields whose forces are known by hand: a 5 x 4 grid with dx = 0.5 and
// dy = 0.25, so the tunnel is 2 long and 0.75 high; rho = 2.
#include "driver/forces.h"

#include <gtest/gtest.h>

#include <functional>

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

}  // namespace
}  // namespace veltaro
