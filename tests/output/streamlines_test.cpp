// Tracing a streamline on hand-made velocity fields: every way a line
// ends. The lines of a run are in the regression run's speed picture.
#include "output/streamlines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace veltaro {
namespace {

// A 2 x 2 m tunnel on 3 x 3 nodes; steps of a hundredth of a node spacing
// at the inlet velocity; marks on 10 x 10 pixels.
TEST(TraceStreamline, EndsAtTheCounterTheOutletTheWallOrABadVelocity) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // clang-format off
    // u grows by shear per node row; the passes are given or taken 1.
    const struct { const char* name; float u, shear, v, inlet_velocity; std::int64_t passes; }
        rows[] = {
        {"still fluid stays put until the counter ends it", 0, 0, 0, 1, 6002},
        // 1.25 m/s at y = 0.5 m: steps of 0.0125 m to the outlet.
        {"a line in shear flow leaves through the outlet", 1, 0.5f, 0, 1, 161},
        {"a velocity that is not finite ends it at once", nan, 0, nan, 1, 1},
        // The step is infinite, and still fluid moves by 0 times infinity.
        {"a zero inlet velocity ends it at once", 0, 0, 0, 0, 1},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const run_parameters params{
            .inlet_velocity = row.inlet_velocity, .length = 2.0f, .height = 2.0f};
        float_grid u(3, 3);
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) u[i][j] = row.u + row.shear * static_cast<float>(j);
        }
        streamline_marks marks(10, 10, 0);
        const streamline_end end = trace_streamline(make_streamline_tracer(3, 3, params), u,
                                                    float_grid(3, 3, row.v), marks, 0.5f);
        EXPECT_NEAR(end.passes, row.passes, 1);
        EXPECT_EQ(marks[0][2], 1);  // floor(9 * 0.5 / 2)
    }
}

}  // namespace
}  // namespace veltaro
