// Whole runs of the built program: the console and file formats, the stop
// rule, and flows whose answers are known.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <vector>

#include "support/make_jpeg.h"
#include "support/run_program.h"

namespace veltaro::test {
namespace {

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> iteration_lines(const std::string& out) {
    std::vector<std::string> lines;
    for (const std::string& line : lines_of(out)) {
        if (line.rfind("count = ", 0) == 0) lines.push_back(line);
    }
    return lines;
}

// The numbers of a text table, row by row.
std::vector<std::vector<double>> table_of(const std::string& text) {
    std::vector<std::vector<double>> rows;
    for (const std::string& line : lines_of(text)) {
        std::istringstream in(line);
        rows.emplace_back();
        for (double value; in >> value;) rows.back().push_back(value);
    }
    return rows;
}

double value_after(const std::string& out, const std::string& label) {
    const std::size_t at = out.find(label);
    return at == std::string::npos ? NAN : std::stod(out.substr(at + label.size()));
}

class Run : public ::testing::Test {
protected:
    work_folder folder;
};

TEST_F(Run, NoIterationStillReportsAndWritesEverything) {
    write_cylinder(folder.file("cylinder.jpg"));
    const program_run run = folder.run("cylinder.jpg 20 0.01 1 1 4 0 0");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(run.out.ends_with(
        "Maximum number of iterations: \ndone.\n\nLift = 0.000000e+00 [N/m]\n"
        "Drag = 3.878787e-02 [N/m]\n"))  // the inlet's momentum flux, density 0.2^2 (ny - 1) dy
        << run.out;
    EXPECT_EQ(folder.read("convergence.txt"), "0.0 0.0 0.0\n");
    for (const std::string& name : result_files())
        EXPECT_TRUE(folder.entries().contains(name)) << name;
    // Before any iteration the advected velocity is the initial one.
    const auto u = table_of(folder.read("U.dat"));
    ASSERT_EQ(u.size(), 25u);
    ASSERT_EQ(u[0].size(), 100u);
    EXPECT_EQ(u[0][0], 0.2);
    EXPECT_EQ(u[24][0], 0.2);
    EXPECT_EQ(u[12][1], 0.0);
}

TEST_F(Run, OneIterationOneLine) {
    write_cylinder(folder.file("cylinder.jpg"));
    const program_run run = folder.run("cylinder.jpg 20 0.01 1 1 4 0 1");
    EXPECT_EQ(run.status, 1) << run.err;
    const auto lines = iteration_lines(run.out);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(0, 28), "count = 1, U: 1.000000e+00  ");
    const auto history = lines_of(folder.read("convergence.txt"));
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0], "0.0 0.0 0.0");
    EXPECT_EQ(history[1].substr(0, 13), "1.000000e+00 ");
}

// The reference cylinder: it settles on its own, and each quiet iteration
// (both velocity changes below 2e-6) is in the history.
TEST_F(Run, CylinderStopsAfterTenQuietIterations) {
    write_cylinder(folder.file("cylinder.jpg"));
    const program_run run = folder.run("cylinder.jpg 20 0.01 1 1 4 0 20000");
    EXPECT_EQ(run.status, 1) << run.err;
    const auto lines = iteration_lines(run.out);
    ASSERT_GT(lines.size(), 10u);
    ASSERT_LT(lines.size(), 5000u);
    const auto history = table_of(folder.read("convergence.txt"));
    ASSERT_EQ(history.size(), lines.size() + 1);
    auto quiet = [](const std::vector<double>& row) { return row[0] < 2e-6 && row[1] < 2e-6; };
    for (std::size_t k = history.size() - 10; k < history.size(); ++k)
        EXPECT_TRUE(quiet(history[k]));
    EXPECT_FALSE(quiet(history[history.size() - 11]));
    EXPECT_GT(value_after(run.out, "Drag = "), 0.0);
    EXPECT_EQ(folder.entries().size(), result_files().size() + 1);
}

// The cross-stream velocity stays at rounding level, so its relative change
// never falls below the stop limit: the run goes to its iteration limit.
TEST_F(Run, EmptyTunnelSettlesToUniformFlow) {
    write_jpeg(folder.file("empty.jpg"), flat_picture(400, 100, 1, 255));
    const program_run run = folder.run("empty.jpg 20 0.01 1 1 4 0 1000");
    EXPECT_EQ(run.status, 1) << run.err;
    // Rounding only: far below the inlet's momentum flux, density U^2 H = 0.04 N/m.
    EXPECT_NEAR(value_after(run.out, "Lift = "), 0.0, 1e-6);
    EXPECT_NEAR(value_after(run.out, "Drag = "), 0.0, 1e-6);
    for (const auto& row : table_of(folder.read("U.dat"))) {
        for (double u : row) EXPECT_NEAR(u, 0.2, 1e-5);
    }
    EXPECT_EQ(run.out.find("nan"), std::string::npos);
}

TEST_F(Run, ObstacleAcrossTheInletLeavesTheFlowAtRest) {
    // The left tenth of the picture is solid: every inlet node is held still,
    // and what the first iteration set moving dies away until the largest
    // speed is zero in single precision.
    write_jpeg(folder.file("blocked.jpg"),
               grey_picture(100, 25, [](int c, int) -> unsigned char { return c < 10 ? 0 : 255; }));
    const program_run run = folder.run("blocked.jpg 20 0.01 1 1 4 0 30000");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.out.find("The flow is at rest (every speed is zero): no time step exists, so the "
                           "iteration stops here.\ndone.\n\nLift = "),
              std::string::npos);
    EXPECT_LT(iteration_lines(run.out).size(), 30000u);
    EXPECT_NEAR(value_after(run.out, "Lift = "), 0.0, 1e-20);
    EXPECT_NEAR(value_after(run.out, "Drag = "), 0.0, 1e-20);
    EXPECT_EQ(run.out.find("nan"), std::string::npos);
    EXPECT_EQ(folder.entries().size(), result_files().size() + 1);
}

// An inlet velocity whose square overflows single precision: the time step
// collapses and the pressure is no longer a number at the first iteration.
TEST_F(Run, DivergedFlowStopsWithoutResults) {
    write_cylinder(folder.file("cylinder.jpg"));
    const program_run run = folder.run("cylinder.jpg 1e20 1 1 1 4 0 30");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err,
              "The flow diverged at iteration 1 (the velocity or pressure is no longer a finite "
              "number); try a finer mesh or a lower Reynolds number.\n");
    EXPECT_EQ(run.out.find("count = "), std::string::npos);
    EXPECT_EQ(folder.entries(), (std::set<std::string>{"convergence.txt", "cylinder.jpg"}));
    EXPECT_EQ(folder.read("convergence.txt"), "0.0 0.0 0.0\n");
}

// A result that cannot be written is named on standard error; the others
// are still written, and the run ends as a failure.
TEST_F(Run, UnwritableResultIsReportedAndTheOthersWritten) {
    write_cylinder(folder.file("cylinder.jpg"));
    std::filesystem::create_directory(folder.file("U.dat"));
    std::filesystem::create_directory(folder.file("pressure.jpg"));
    const program_run run = folder.run("cylinder.jpg 20 0.01 1 1 4 0 3");
    EXPECT_EQ(run.status, 2);
    const auto errors = lines_of(run.err);
    ASSERT_EQ(errors.size(), 2u) << run.err;
    EXPECT_EQ(errors[0].rfind("Could not write \"U.dat\"", 0), 0u) << errors[0];
    EXPECT_EQ(errors[1].rfind("Could not write \"pressure.jpg\"", 0), 0u) << errors[1];
    EXPECT_NE(run.out.find("Drag = "), std::string::npos);
    for (const char* name :
         {"V.dat", "P.dat", "U.jpg", "V.jpg", "velocity.jpg", "convergence.txt"}) {
        EXPECT_TRUE(std::filesystem::is_regular_file(folder.file(name))) << name;
    }
    EXPECT_EQ(folder.entries().size(), result_files().size() + 1);  // no temporary left behind
}

TEST_F(Run, RerunOverwritesEveryResult) {
    write_cylinder(folder.file("cylinder.jpg"));
    ASSERT_EQ(folder.run("cylinder.jpg 20 0.01 1 1 4 0 3").status, 1);
    const std::string first = folder.read("P.dat");
    ASSERT_EQ(folder.run("cylinder.jpg 20 0.01 1 1 4 0 5").status, 1);
    EXPECT_NE(folder.read("P.dat"), first);
    EXPECT_EQ(lines_of(folder.read("convergence.txt")).size(), 6u);
    EXPECT_EQ(folder.entries().size(), result_files().size() + 1);
}

// Slow flows, where an explicit viscous update without the diffusion limit
// on the time step grows a checkerboard: each settles on its own, with no
// speed far above the inlet velocity and a drag along the flow.
struct slow_flow {
    const char* reynolds;
    const char* mesh;
};

class SlowFlow : public ::testing::TestWithParam<slow_flow> {};

TEST_P(SlowFlow, SettlesWithASaneVelocityAndPositiveDrag) {
    work_folder folder;
    write_cylinder(folder.file("cylinder.jpg"));
    const program_run run = folder.run(std::string("cylinder.jpg ") + GetParam().reynolds +
                                       " 0.01 1 1 4 " + GetParam().mesh + " 20000");
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_LT(iteration_lines(run.out).size(), 20000u);
    EXPECT_GT(value_after(run.out, "Drag = "), 0.0);
    const double inlet = std::stod(GetParam().reynolds) * 0.01f;
    const auto u = table_of(folder.read("U.dat"));
    const auto v = table_of(folder.read("V.dat"));
    double largest = 0.0;
    for (std::size_t r = 0; r < u.size(); ++r) {
        for (std::size_t c = 0; c < u[r].size(); ++c)
            largest = std::max(largest, std::hypot(u[r][c], v[r][c]));
    }
    EXPECT_LT(largest, 2 * inlet);
}

INSTANTIATE_TEST_SUITE_P(Cylinder, SlowFlow,
                         ::testing::Values(slow_flow{"1", "0"}, slow_flow{"5", "0"},
                                           slow_flow{"10", "1"}, slow_flow{"20", "2"}),
                         [](const auto& info) {
                             return std::string("Re") + info.param.reynolds + "Mesh" +
                                    info.param.mesh;
                         });

}  // namespace
}  // namespace veltaro::test
