// The time step and the boundary conditions on hand-sized grids, with
// expected values worked out by hand.
#include "field/flow_field.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "field/boundary_conditions.h"
#include "field/set_dt.h"

namespace veltaro {
namespace {

using columns = std::vector<std::vector<float>>;  // [i][j]

columns columns_of(const float_grid& q) {
    columns out(static_cast<std::size_t>(q.nx()));
    for (int i = 0; i < q.nx(); ++i) out[i].assign(q[i], q[i] + q.ny());
    return out;
}

// dt = 0.1 dx / vmax, capped at 0.4 rho / (mu (1/dx^2 + 1/dy^2)); here
// dx = dy = 0.02, rho = 1, so the cap is 0.00008 / mu.
TEST(SetDt, CourantStepCappedWhereTheDiffusionLimitBites) {
    const struct {
        const char* name;
        float u, v, mu;
        std::optional<float> dt;
    } rows[] = {
        {"still fluid has no time step", 0.0f, 0.0f, 0.01f, std::nullopt},
        {"largest speed 5: 0.1 * 0.02 / 5", 3.0f, 4.0f, 0.0f, 0.0004f},
        {"the cap 0.8 does not bite: 0.1 * 0.02 / 0.2", 0.2f, 0.0f, 0.0001f, 0.01f},
        {"the cap 0.008 bites", 0.2f, 0.0f, 0.01f, 0.008f},
    };
    for (const auto& row : rows) {
        flow_field field = allocate_flow_field(4, 4, 0.02f, 0.02f);
        field.u.fill(0.1f * row.u);
        field.u[2][1] = row.u;
        field.v[2][1] = row.v;
        const std::optional<float> dt =
            set_dt(field, {.dynamic_viscosity = row.mu, .density = 1.0f});
        ASSERT_EQ(dt.has_value(), row.dt.has_value()) << row.name;
        if (dt) {
            EXPECT_FLOAT_EQ(*dt, *row.dt) << row.name;
        }
    }
}

// u(i,j) = 10 i + j and v(i,j) = 100 + 10 i + j before; inlet velocity 7.
// Inlet and outlet first, then the walls (corners from their column's
// neighbour), the solid nodes last.
TEST(BoundaryConditions, HandSizedGridTakesInletOutletWallsAndObstacleInThatOrder) {
    const struct {
        const char* name;
        std::vector<std::pair<int, int>> solid;
        columns u, v;
    } rows[] = {
        {"open tunnel",
         {},
         {{7, 7, 7, 7}, {11, 11, 12, 12}, {21, 21, 22, 22}, {21, 21, 22, 22}},
         {{0, 0, 0, 0}, {0, 111, 112, 0}, {0, 121, 122, 0}, {0, 0, 0, 0}}},
        {"solid nodes on the inlet and inside",
         {{0, 1}, {1, 2}},
         {{7, 0, 7, 7}, {11, 11, 0, 12}, {21, 21, 22, 22}, {21, 21, 22, 22}},
         {{0, 0, 0, 0}, {0, 111, 0, 0}, {0, 121, 122, 0}, {0, 0, 0, 0}}},
        // No interior row for an inlet or outlet: the walls alone.
        {"two rows", {}, {{1, 1}, {11, 11}, {21, 21}, {31, 31}}, {{0, 0}, {0, 0}, {0, 0}, {0, 0}}},
    };
    for (const auto& row : rows) {
        const int ny = static_cast<int>(row.u[0].size());
        flow_field field = allocate_flow_field(4, ny, 1.0f, 1.0f);
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < ny; ++j) {
                field.u[i][j] = static_cast<float>(10 * i + j);
                field.v[i][j] = static_cast<float>(100 + 10 * i + j);
            }
        }
        int_grid solid(4, ny);
        for (const auto& [i, j] : row.solid) solid[i][j] = 1;
        boundary_conditions(field, 7.0f, solid);
        EXPECT_EQ(columns_of(field.u), row.u) << row.name;
        EXPECT_EQ(columns_of(field.v), row.v) << row.name;
    }
}

}  // namespace
}  // namespace veltaro
