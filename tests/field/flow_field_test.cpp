#include "field/flow_field.h"

#include <gtest/gtest.h>

#include "field/boundary_conditions.h"
#include "field/set_dt.h"

namespace veltaro {
namespace {

TEST(FlowField, CoordinatesAreProductsOfTheSpacing) {
    const flow_field field = allocate_flow_field(3, 2, 0.5f, 0.5f);
    EXPECT_EQ(field.nx, 3);
    EXPECT_EQ(field.ny, 2);
    for (int j = 0; j < 2; ++j) {
        EXPECT_EQ(field.x[0][j], 0.0f);
        EXPECT_EQ(field.x[1][j], 0.5f);
        EXPECT_EQ(field.x[2][j], 1.0f);
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(field.y[i][0], 0.0f);
        EXPECT_EQ(field.y[i][1], 0.5f);
    }
    // Every other array starts defined, at zero.
    EXPECT_EQ(field.p, float_grid(3, 2));
}

TEST(FlowField, LongAccumulationMatchesTheProduct) {
    const float dx = 4.0f / 199.0f;
    const flow_field field = allocate_flow_field(200, 3, dx, dx);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(field.x[i][2], static_cast<float>(i * static_cast<double>(dx)));
}

TEST(FlowField, InitialStateMovesOnlyTheInletColumn) {
    flow_field field = allocate_flow_field(4, 3, 1.0f, 1.0f);
    initial_conditions(field, 0.25f);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 3; ++j) {
            EXPECT_EQ(field.u[i][j], i == 0 ? 0.25f : 0.0f);
            EXPECT_EQ(field.v[i][j], 0.0f);
        }
    }
}

flow_field numbered_field(int nx, int ny) {
    flow_field field = allocate_flow_field(nx, ny, 1.0f, 1.0f);
    for (int i = 0; i < nx; ++i) {
        for (int j = 0; j < ny; ++j) {
            field.u[i][j] = static_cast<float>(10 * i + j + 1);
            field.v[i][j] = static_cast<float>(100 + 10 * i + j);
        }
    }
    return field;
}

TEST(BoundaryConditions, InletOutletWallsThenCorners) {
    flow_field field = numbered_field(4, 4);
    boundary_conditions(field, 7.0f, int_grid(4, 4));
    for (int j = 1; j <= 2; ++j) {
        EXPECT_EQ(field.u[0][j], 7.0f);
        EXPECT_EQ(field.u[3][j], field.u[2][j]);  // zero gradient at the outlet
    }
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(field.u[i][0], field.u[i][1]);  // corners too: walls come last
        EXPECT_EQ(field.u[i][3], field.u[i][2]);
        EXPECT_EQ(field.v[i][0], 0.0f);
        EXPECT_EQ(field.v[i][3], 0.0f);
    }
    EXPECT_EQ(field.u[0][0], 7.0f);
    EXPECT_EQ(field.u[3][3], field.u[2][2]);
    for (int j = 0; j < 4; ++j) {
        EXPECT_EQ(field.v[0][j], 0.0f);
        EXPECT_EQ(field.v[3][j], 0.0f);
    }
    // The interior is untouched.
    EXPECT_EQ(field.u[1][1], 12.0f);
    EXPECT_EQ(field.v[2][2], 122.0f);
}

TEST(BoundaryConditions, ObstacleComesLastEvenOnTheInlet) {
    flow_field field = numbered_field(4, 4);
    int_grid solid(4, 4);
    solid[0][1] = 1;
    solid[2][2] = 1;
    boundary_conditions(field, 7.0f, solid);
    EXPECT_EQ(field.u[0][1], 0.0f);
    EXPECT_EQ(field.v[0][1], 0.0f);
    EXPECT_EQ(field.u[2][2], 0.0f);
    EXPECT_EQ(field.v[2][2], 0.0f);
    EXPECT_EQ(field.u[0][0], 7.0f);  // the corner copied the inlet before the obstacle
}

TEST(SetDt, CourantRuleOnTheLargestSpeed) {
    flow_field field = allocate_flow_field(5, 5, 0.02f, 0.02f);
    run_parameters params;
    field.u.fill(1.0f);
    EXPECT_EQ(set_dt(field, params), static_cast<float>(0.1 * 0.02f / 1.0f));
    field.u[3][2] = 3.0f;
    field.v[3][2] = 4.0f;
    EXPECT_EQ(largest_speed(field), 5.0f);
    EXPECT_EQ(set_dt(field, params), static_cast<float>(0.1 * 0.02f / 5.0f));
}

TEST(SetDt, NoTimeStepForAFluidAtRest) {
    const flow_field field = allocate_flow_field(4, 4, 0.1f, 0.1f);
    EXPECT_FALSE(set_dt(field, run_parameters{}).has_value());
}

TEST(SetDt, DiffusionCapOnlyWhereItBites) {
    flow_field field = allocate_flow_field(4, 4, 0.02f, 0.02f);
    field.u.fill(0.2f);
    run_parameters params;
    params.density = 1.0f;
    params.dynamic_viscosity = 0.01f;  // the cap, 0.2 dx^2 / dynamic_viscosity = 8e-3, is below the Courant step 1e-2
    const double cap = 0.4 * 1.0 / (0.01f * (2.0 / (static_cast<double>(0.02f) * 0.02f)));
    EXPECT_EQ(set_dt(field, params), static_cast<float>(cap));
    params.dynamic_viscosity = 0.0001f;  // cap 0.8: the Courant step stands, bit for bit
    EXPECT_EQ(set_dt(field, params), static_cast<float>(0.1 * 0.02f / 0.2f));
}

}  // namespace
}  // namespace veltaro
