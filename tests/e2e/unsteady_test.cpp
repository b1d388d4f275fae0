// Time-accurate runs through the built program: "forces.csv" holds one row
// per iteration and its last row is the summary's forces and flow time; the
// limit ends a run before its flow time with a warning that says so; the
// animation's frames and series read back; an empty tunnel stays uniform,
// without lift. The physics check: a cylinder at Re_D 100 sheds, for five
// periodic cycles and more.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "output/animation_frames.h"
#include "output/result_files.h"
#include "output/webp_animation.h"
#include "support/pictures.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace veltaro::test {
namespace {

std::vector<std::vector<std::string>> csv_rows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line + ",");  // so that an empty last cell is read
        rows.emplace_back();
        for (std::string cell; std::getline(fields, cell, ',');) rows.back().push_back(cell);
    }
    return rows;
}

// A disc a fifth of the height across in a 4 m x 1 m tunnel at 1 m/s,
// coarse mesh, to 0.5 s with the transform solve: about 120 iterations, all
// of them within the start-up tilt, so no cycle to measure.
program_run disc_to_half_a_second(const std::string& iterations, const std::string& options) {
    write_jpeg("tunnel.jpg", disc_picture(400, 100, 100.0, 50.0, 10.0));
    return run_program("tunnel.jpg 100 0.01 1 1 4 0 " + iterations, surroundings::plain,
                       "--unsteady=0.5 --pressure-solver=fft " + options);
}

TEST(Unsteady, ForcesFileIsTheRunAndItsLastRowTheSummary) {
    // The iterations, the stop and the first warning's code.
    for (const auto& [iterations_asked, stop, warning] :
         {std::array<std::string, 3>{"100000", "flow time", "short_record"},
          {"20", "iteration limit", "iteration_limit"}}) {
        SCOPED_TRACE(iterations_asked);
        const scratch_dir folder;
        const program_run run = disc_to_half_a_second(iterations_asked, "");
        ASSERT_EQ(run.status, 1) << run.err;
        std::set<std::string> expected(result_file_names.begin(), result_file_names.end());
        expected.insert({"forces.csv", "tunnel.jpg"});
        // The animation's frames are in the last quarter of the flow time.
        if (stop == "flow time") expected.insert("vorticity.webp");
        EXPECT_EQ(directory_entries(), expected);

        const auto summary = nlohmann::json::parse(read_file("summary.json"));
        EXPECT_EQ(nlohmann::json({summary["stop"], summary["stop_rule"], summary["unsteady"],
                                  summary["warnings"][0]["code"], summary["strouhal"],
                                  summary["cycles"]}),
                  nlohmann::json({stop, "limit", 0.5, warning, nullptr, 0}));
        const auto rows_written = csv_rows(read_file("forces.csv"));
        const int iterations = summary["iterations"];
        ASSERT_EQ(rows_written.size(), static_cast<std::size_t>(iterations) + 1);
        const std::string header = "iteration,time,dt,lift,drag,lift_coefficient,drag_coefficient";
        EXPECT_TRUE(read_file("forces.csv").starts_with(header + "\n"));
        const std::vector<std::string>& last = rows_written.back();
        EXPECT_EQ(std::stoi(last[0]), iterations);
        const double flow_time = summary["flow_time"];
        EXPECT_NEAR(std::stod(last[1]), flow_time, 1e-8 * flow_time);
        EXPECT_EQ(flow_time >= 0.5, stop == "flow time");
        EXPECT_LT(flow_time, 0.5 + std::stod(last[2]));
        for (int k = 3; k < 7; ++k) {  // lift, drag and their coefficients
            const double value = summary[rows_written[0][k]];
            EXPECT_NEAR(std::stod(last[k]), value, 1e-6 * std::abs(value)) << rows_written[0][k];
        }
        EXPECT_NE(run.out.find("Flow time = "), std::string::npos);
    }
}

// The animation holds the frames asked for at the picture's size with one
// legend, and --frames-vtk's series lists as many frames as VTK reads back.
TEST(AnimationRun, FramesDecodeAndTheSeriesReadsBack) {
    const scratch_dir folder;
    const program_run run = disc_to_half_a_second("100000", "--frames=6 --frames-vtk");
    ASSERT_EQ(run.status, 1) << run.err;
    const auto summary = nlohmann::json::parse(read_file("summary.json"));
    EXPECT_EQ(nlohmann::json({summary["frames"], summary["frames_vtk"]}),
              nlohmann::json({6, true}));

    const decoded_animation animation = read_webp_animation("vorticity.webp");
    ASSERT_EQ(animation.frames.size(), 6u);
    EXPECT_EQ(std::pair(animation.width, animation.height), std::pair(400, 100 + legend_height));
    const std::size_t legend = 4 * std::size_t{400} * 100;
    const auto& first = animation.frames[0];
    for (const auto& frame : animation.frames)
        EXPECT_TRUE(std::equal(frame.begin() + legend, frame.end(), first.begin() + legend));
    EXPECT_NE(animation.frames.front(), animation.frames.back());

    const std::string collection = read_file("frames.pvd");
    const std::regex data_set(R"re(timestep="([0-9.e+-]+)"[^>]*file="([^"]+)")re");
    int listed = 0;
    double before = 0.0;
    for (std::sregex_iterator m(collection.begin(), collection.end(), data_set), end; m != end;
         ++m, ++listed) {
        const double time = std::stod((*m)[1]);
        // In the last quarter of 0.5 s, in order.
        EXPECT_TRUE(time >= 0.375 && time > before) << time;
        before = time;
        std::vector<std::string> arrays;
        for (const auto& [name, values] : read_with_vtk((*m)[2])) arrays.push_back(name);
        EXPECT_EQ(arrays, (std::vector<std::string>{"dimensions", "origin", "spacing",
                                                    "velocity:float", "vorticity:float"}));
    }
    EXPECT_EQ(listed, 6);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator("frames"), {}), 6);
}

// No body, nothing to shed, no tilt: the plug flow goes through untouched.
TEST(Unsteady, EmptyTunnelStaysUniformWithoutLift) {
    const scratch_dir folder;
    write_jpeg("tunnel.jpg", draw_picture(400, 100, 1, [](int, int, int) { return 255; }));
    const program_run run = run_program("tunnel.jpg 20 0.01 1 1 4 1 100000",
                                        surroundings::plain, "--unsteady=1");
    ASSERT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.err, "");
    const auto rows = csv_rows(read_file("forces.csv"));
    ASSERT_GT(rows.size(), 50u);
    // The impulsive start's pressure, far above rho U^2, leaves its round-off
    // in the wall pressures of the first few iterations only.
    for (std::size_t n = 1; n < rows.size(); ++n) {
        // Lift: round-off beside rho U^2 H = 0.04 N/m. No body, no coefficients.
        EXPECT_LT(n > 10 ? std::abs(std::stod(rows[n][3])) : 0.0, 1e-6) << n;
        EXPECT_EQ(rows[n][5], "");
    }
    std::istringstream v_table(read_file("V.dat"));
    for (double v = 0.0; v_table >> v;) ASSERT_LT(std::abs(v), 1e-6);  // U = 0.2 m/s
}

// The validation cylinder (blockage 0.1) at Re_D 100 on the standard mesh
// with the second-order advection, 6 s of flow: the street grows from the
// slight start within 3 s, and the rest holds about a dozen periodic
// cycles. The reference St is 0.178; with 5 spacings across the body the
// standard mesh gives 0.126, and a mean drag and a lift swing well above the
// reference's 1.49 and 0.37.
TEST(Physics, CylinderAtReD100ShedsAVortexStreet) {
    const scratch_dir folder;
    std::filesystem::copy_file(std::string(VELTARO_EXAMPLES) + "/validation_cylinder.jpg",
                               "validation_cylinder.jpg");
    const program_run run =
        run_program("validation_cylinder.jpg 1000 0.01 1 2 4 1 100000", surroundings::plain,
                    "--unsteady=6 --pressure-solver=fft --solid-nodes=outline "
                    "--advection=second-order");
    ASSERT_EQ(run.status, 1) << run.err;
    const auto summary = nlohmann::json::parse(read_file("summary.json"));
    EXPECT_EQ(summary["stop"], "flow time");
    EXPECT_GE(summary["cycles"].get<int>(), 8);
    EXPECT_NEAR(summary["strouhal"].get<double>(), 0.126, 0.01);
    EXPECT_LT(summary["strouhal_uncertainty"].get<double>(), 0.002);
    EXPECT_NEAR(summary["mean_drag_coefficient"].get<double>(), 1.85, 0.1);
    EXPECT_NEAR(summary["lift_coefficient_amplitude"].get<double>(), 1.45, 0.1);
    EXPECT_EQ(run.err.find("short_record"), std::string::npos);
}

}  // namespace
}  // namespace veltaro::test
