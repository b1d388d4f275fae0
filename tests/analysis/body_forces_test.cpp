// The body's box balance on fields whose forces are known exactly: the
// central differences and the trapezoid rule are exact for them.
#include "analysis/body_forces.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>

namespace veltaro {
namespace {

TEST(BodyForces, BoxAroundTheSolidNodesWhenThereIsRoom) {
    // The solid block's corners, then the box's corners when there is room.
    const std::array<int, 8> rows[] = {
        {9, 11, 8, 9, 4, 16, 3, 14},
        {3, 5, 8, 9, -1, 0, 0, 0},     // too near the inlet
        {9, 11, 14, 15, -1, 0, 0, 0},  // too near the top wall
        {-1, -2, 0, 0, -1, 0, 0, 0},   // no solid node
    };
    for (const auto& row : rows) {
        int_grid solid(20, 20);
        for (int i = row[0]; i <= row[1]; ++i)
            for (int j = row[2]; j <= row[3]; ++j) solid[i][j] = 1;
        const force_box box = box_around(solid, 5);
        EXPECT_EQ(box.valid, row[4] >= 0) << row[0] << " " << row[2];
        if (box.valid) {
            EXPECT_EQ((std::array{box.first_i, box.last_i, box.first_j, box.last_j}),
                      (std::array{row[4], row[5], row[6], row[7]}));
        }
    }
}

TEST(BodyForces, PressureShearAndTheTimeTerm) {
    // A 0.5 m x 0.2 m box (nodes 2..7 by 2..6, dx = 0.1, dy = 0.05),
    // rho = 2, mu = 0.5, one solid node inside it.
    const double rho = 2.0, mu = 0.5, area = 0.5 * 0.2, node_area = 0.1 * 0.05;
    using field_of = std::function<double(double x, double y)>;
    const auto zero = [](double, double) { return 0.0; };
    const struct { const char* name; field_of u, v, p, v_before; double lift, drag; } rows[] = {
        // -oint p n ds over a pressure rising by 3 Pa/m across the tunnel.
        {"pressure", zero, zero, [](double, double y) { return 3.0 * y; }, zero, -3.0 * area, 0.0},
        // u = 4 y^2: the shear mu du/dy = 8 mu y pulls the top side harder.
        {"shear", [](double, double y) { return 4.0 * y * y; }, zero, zero, zero, 0.0,
         8.0 * mu * 0.2 * 0.5},
        // v grown by 0.01 m/s in the step of 0.1 s: -rho dv/dt over the
        // box's fluid, the solid node left out.
        {"time term", zero, [](double, double) { return 0.01; }, zero, zero,
         -rho * 0.1 * (area - node_area), 0.0},
    };
    for (const auto& row : rows) {
        flow_field field = allocate_flow_field(10, 8, 0.1f, 0.05f);
        float_grid u_before(10, 8), v_before(10, 8);
        for (int i = 0; i < 10; ++i) {
            for (int j = 0; j < 8; ++j) {
                const double x = 0.1 * i, y = 0.05 * j;
                field.u[i][j] = static_cast<float>(row.u(x, y));
                field.v[i][j] = static_cast<float>(row.v(x, y));
                field.p[i][j] = static_cast<float>(row.p(x, y));
                u_before[i][j] = field.u[i][j];
                v_before[i][j] = static_cast<float>(row.v_before(x, y));
            }
        }
        int_grid solid(10, 8);
        solid[4][3] = 1;
        const forces f =
            box_forces(field, {u_before, v_before, 0.1}, {2, 7, 2, 6, true}, solid, rho, mu);
        EXPECT_NEAR(f.lift, row.lift, 1e-6) << row.name;
        EXPECT_NEAR(f.drag, row.drag, 1e-6) << row.name;
    }
}

}  // namespace
}  // namespace veltaro
