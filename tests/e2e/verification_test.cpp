// Whole-program verification: runs of the built program whose answer is
// known exactly, each a row. An empty tunnel with frictionless walls has the
// uniform inlet flow as its steady state, with no pressure difference, so no
// lift and no drag; the march must get there and stay.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

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
TEST(Verification, RunsWithAnExactAnswerReachIt) {
    const struct {
        const char* name;
        std::function<void()> picture;
        std::string answers;
        double inlet_velocity, height;  // rho = 1
    } rows[] = {
        {"empty tunnel: uniform flow, no force",
         [] {
             write_jpeg("tunnel.jpg", draw_picture(80, 20, 1, [](int, int, int) { return 255; }));
         },
         "tunnel.jpg 20 0.01 1 1 4 0 3000", 0.2, 1.0},
        {"empty tunnel without viscosity: uniform flow, no force",
         [] { write_jpeg("tunnel.jpg", draw_picture(8, 2, 3, [](int, int, int) { return 230; })); },
         "tunnel.jpg 0 0 1 2 3 0 3000 0.5", 0.5, 2.0},
    };
    for (const auto& row : rows) {
        const scratch_dir folder;
        row.picture();
        const program_run run = run_program(row.answers);
        ASSERT_EQ(run.status, 1) << row.name << ": " << run.err;
        const auto summary = nlohmann::json::parse(read_file("summary.json"));
        const double velocity = row.inlet_velocity;
        const double pressure = velocity * velocity;
        const double force = pressure * row.height;
        EXPECT_LT(std::fabs(summary["lift"].get<double>()), 1e-4 * force) << row.name;
        EXPECT_LT(std::fabs(summary["drag"].get<double>()), 1e-4 * force) << row.name;
        EXPECT_LT(largest_departure(read_file("U.dat"), velocity), 1e-4 * velocity) << row.name;
        EXPECT_LT(largest_departure(read_file("V.dat"), 0.0), 1e-4 * velocity) << row.name;
        EXPECT_LT(largest_departure(read_file("P.dat"), 0.0), 1e-4 * pressure) << row.name;
    }
}

}  // namespace
}  // namespace veltaro::test
