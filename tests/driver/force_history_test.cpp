// The force history: in a time-accurate run the lift carries the rate of
// change of the y-momentum of the fluid, on a 6 x 5 grid whose v grows at a
// known rate; its buffer keeps an even record when it fills.
#include "driver/force_history.h"

#include <gtest/gtest.h>

#include <vector>


namespace veltaro {
namespace {

// v = rate * t at every node but the one solid node, whose v (a ghost
// node's, say) must not count; p = 0, so the boundary balance gives no lift.
void set_v(flow_field& field, const int_grid& solid, float rate, double t) {
    for (int i = 0; i < field.nx; ++i) {
        for (int j = 0; j < field.ny; ++j) {
            field.v[i][j] = solid[i][j] != 0 ? 100.0f : static_cast<float>(rate * t);
        }
    }
}

TEST(ForceHistory, TimeAccurateLiftHasTheRateOfChangeOfMomentum) {
    const struct {
        bool time_accurate;
        double lift;  // -rho * rate * (11 fluid interior nodes) * dx * dy
    } rows[] = {{true, -2.0 * 3.0 * 11 * 0.25}, {false, 0.0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.time_accurate);
        flow_field field = allocate_flow_field(6, 5, 0.5f, 0.5f);
        int_grid solid(6, 5);
        solid[2][2] = 1;
        force_history history({10, 2.0, 4.0, row.time_accurate, ""});
        set_v(field, solid, 3.0f, 0.0);
        history.start(field, solid);
        set_v(field, solid, 3.0f, 0.25);
        history.record(field, solid, 1, 0.25, 0.25f);
        set_v(field, solid, 3.0f, 0.75);
        const forces force = history.record(field, solid, 2, 0.75, 0.5f);
        EXPECT_NEAR(force.lift, row.lift, 1e-5);
        EXPECT_NEAR(history.samples()[0].lift_coefficient, row.lift / 4.0, 1e-5);
        EXPECT_EQ(history.samples().size(), 2u);
    }
}

TEST(ForceHistory, AFullBufferKeepsEverySecondSample) {
    const struct {
        int iterations;
        std::vector<double> times;  // = the iterations kept
    } rows[] = {{4, {1, 2, 3, 4}}, {6, {2, 4, 6}}, {10, {4, 8}}};
    for (const auto& row : rows) {
        flow_field field = allocate_flow_field(4, 4, 1.0f, 1.0f);
        const int_grid solid(4, 4);
        force_history history({4, 1.0, 1.0, false, ""});
        for (int n = 1; n <= row.iterations; ++n) history.record(field, solid, n, n, 1.0f);
        std::vector<double> times;
        for (const force_sample& s : history.samples()) times.push_back(s.time);
        EXPECT_EQ(times, row.times) << row.iterations;
    }
}

}  // namespace
}  // namespace veltaro
