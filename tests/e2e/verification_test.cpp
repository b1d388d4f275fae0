// Whole-program verification: runs of the built program whose answer is
// known exactly, each a row. An empty tunnel with frictionless walls has the
// uniform inlet flow as its steady state, with no pressure difference, so no
// lift and no drag; the march must get there and stay, with nothing to warn
// about. Its mean |v| is round-off that never stops changing: the steady
// rule must end it all the same, well within 200 iterations.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <tuple>

#include "support/pictures.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace veltaro::test {
namespace {

// The largest |value - target| in a table of numbers.
double largest_departure(const std::string& table, double target) {
    std::istringstream numbers(table);
    double largest = 0.0;
    for (double value; numbers >> value;) largest = std::max(largest, std::fabs(value - target));
    return largest;
}

// Within 1e-4 of the flow's own scales (U for the velocity, rho U^2 for the
// pressure, rho U^2 H for a force per metre): what single-precision rounding
// leaves after thousands of iterations, far below any modelling error.
TEST(Verification, EmptyTunnelsKeepTheUniformFlowWithoutForceOrWarning) {
    // The answers after the picture, tunnel.jpg, light grey throughout; rho = 1. The steady
    // rule may stop a run before the start's pressure has died away to 1e-4 of rho U^2: then
    // only the stop is checked (not uniform).
    // clang-format off
    const struct {
        std::string answers; int width, height, components; const char *arguments, *stop;
        int most_iterations; double inlet_velocity, tunnel_height; bool uniform = true;
    } rows[] = {
        {"20 0.01 1 1 4 0 3000", 80, 20, 1, "", "iteration limit", 3000, 0.2, 1.0},
        // Without viscosity the inlet velocity is asked for.
        {"0 0 1 2 3 0 3000 0.5", 6, 4, 3, "", "iteration limit", 3000, 0.5, 2.0},
        {"200 0.01 1 2 4 2 5000", 400, 200, 1, "--stop-rule=steady", "steady", 200, 1.0, 2.0},
        {"20 0.01 1 1 4 1 5000", 400, 100, 1, "--stop-rule=steady", "steady", 200, 0.2, 1.0, false},
        {"20 0.01 1 1 4 1 100", 400, 100, 1, "--stop-rule=limit", "iteration limit", 100, 0.2, 1.0},
        // The face projection, with the flux-form advection and its larger step, and with the
        // nodes' first-order one.
        {"200 0.01 1 2 4 2 5000", 400, 200, 1, "--stop-rule=steady --projection=faces --advection=second-order", "steady", 200, 1.0, 2.0},
        {"20 0.01 1 1 4 0 3000", 80, 20, 1, "--projection=faces --pressure-solver=fft", "iteration limit", 3000, 0.2, 1.0},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.answers);
        const scratch_dir folder;
        write_jpeg("tunnel.jpg", draw_picture(row.width, row.height, row.components,
                                              [](int, int, int) { return 230; }));
        const program_run run =
            run_program("tunnel.jpg " + row.answers, surroundings::plain, row.arguments);
        ASSERT_EQ(run.status, 1) << run.err;
        EXPECT_EQ(run.err, "");
        const auto summary = nlohmann::json::parse(read_file("summary.json"));
        EXPECT_EQ(summary["stop"], row.stop);
        // The iteration limit is reached exactly; the steady rule stops sooner.
        const int iterations = summary["iterations"];
        EXPECT_TRUE(iterations == row.most_iterations ||
                    (row.stop == std::string("steady") && iterations < row.most_iterations));
        if (!row.uniform) continue;
        const double velocity = row.inlet_velocity, pressure = velocity * velocity;
        for (const char* force : {"lift", "drag"})
            EXPECT_LT(std::fabs(summary[force].get<double>()), 1e-4 * pressure * row.tunnel_height);
        // Each table, its value everywhere and the tolerance.
        for (const auto& [table, target, within] :
             {std::tuple{"U.dat", velocity, velocity}, {"V.dat", 0.0, velocity},
              {"P.dat", 0.0, pressure}})
            EXPECT_LT(largest_departure(read_file(table), target), 1e-4 * within) << table;
    }
}

}  // namespace
}  // namespace veltaro::test
