// The transform solve against the LU solve through the built program: the
// shipped examples give the same coefficients to 1e-4 (C_D relative to its
// size, C_L absolute: the two solves round differently, and a run carries
// that through hundreds of iterations), and two transform runs of the same
// input write the same bytes, as the studio's numbers must equal the
// command line's. Run as the README runs them, with the default solve, the
// quiet rule stops the examples while their wakes still grow: the warning
// says so, with the residual the summary holds, and the airfoil is coarse
// on the standard mesh.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/text_format.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace veltaro::test {
namespace {

nlohmann::json run_example(const std::string& name, const char* arguments) {
    const scratch_dir folder;
    const std::string examples = std::string(VELTARO_EXAMPLES) + "/" + name;
    std::filesystem::copy_file(examples + ".jpg", name + ".jpg");
    const auto run = run_program(read_file(examples + ".answers"), surroundings::plain, arguments);
    EXPECT_EQ(run.status, 1) << name << ": " << run.err;
    nlohmann::json summary = nlohmann::json::parse(read_file("summary.json"));
    summary["errors"] = run.err;
    for (const char* table : {"P.dat", "U.dat"}) summary[table] = read_file(table);
    summary.erase("seconds");
    return summary;
}

TEST(PressureSolver, TransformSolveGivesTheLuCoefficientsAndTheSameBytesEveryTime) {
    // Each example, and the codes of its warnings in order.
    const std::pair<const char*, const char*> examples[] = {
        {"cylinder", "not_steady "}, {"airfoil", "not_steady coarse_obstacle "},
        {"square", "not_steady "}, {"flat_plate", "not_steady "}};
    for (const auto& [name, warnings] : examples) {
        SCOPED_TRACE(name);
        const nlohmann::json lu = run_example(name, "");
        const nlohmann::json fft = run_example(name, "--pressure-solver=fft");
        const double drag = lu["drag_coefficient"];
        EXPECT_NEAR(fft["drag_coefficient"].get<double>(), drag, 1e-4 * std::fabs(drag));
        EXPECT_NEAR(fft["lift_coefficient"].get<double>(), lu["lift_coefficient"].get<double>(),
                    1e-4);
        EXPECT_EQ(fft["pressure_solver"], "fft");
        std::string codes;
        for (const auto& warning : lu["warnings"]) codes += warning.value("code", "") + " ";
        EXPECT_EQ(codes, warnings);
        const double residual = lu["steady_residual"];
        EXPECT_GT(residual, 1e-3);
        const std::string says = format_text("(steady residual %.1e U^2/c", residual);
        EXPECT_NE(lu["errors"].get<std::string>().find(says), std::string::npos);
        // Two transform runs of the same input write the same bytes.
        EXPECT_TRUE(name != std::string("square") ||
                    run_example(name, "--pressure-solver=fft") == fft);
    }
}

}  // namespace
}  // namespace veltaro::test
