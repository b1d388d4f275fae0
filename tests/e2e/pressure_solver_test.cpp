// The transform solve against the LU solve through the built program: the
// shipped examples give the same coefficients to 1e-4 (C_D relative to its
// size, C_L absolute: the two solves round differently, and a run carries
// that through hundreds of iterations), and two transform runs of the same
// input write the same bytes, as the studio's numbers must equal the
// command line's.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace veltaro::test {
namespace {

nlohmann::json run_example(const std::string& name, const char* arguments) {
    const scratch_dir folder;
    const std::string examples = std::string(VELTARO_EXAMPLES) + "/";
    std::filesystem::copy_file(examples + name + ".jpg", name + ".jpg");
    const program_run run = run_program(read_file(examples + name + ".answers"),
                                        surroundings::plain, arguments);
    EXPECT_EQ(run.status, 1) << name << ": " << run.err;
    nlohmann::json summary = nlohmann::json::parse(read_file("summary.json"));
    summary["P.dat"] = read_file("P.dat");
    summary["U.dat"] = read_file("U.dat");
    summary.erase("seconds");
    return summary;
}

TEST(PressureSolver, TransformSolveGivesTheLuCoefficientsAndTheSameBytesEveryTime) {
    for (const char* name : {"cylinder", "airfoil", "square", "flat_plate"}) {
        SCOPED_TRACE(name);
        const nlohmann::json lu = run_example(name, "");
        const nlohmann::json fft = run_example(name, "--pressure-solver=fft");
        const double drag = lu["drag_coefficient"];
        EXPECT_NEAR(fft["drag_coefficient"].get<double>(), drag, 1e-4 * std::fabs(drag));
        EXPECT_NEAR(fft["lift_coefficient"].get<double>(), lu["lift_coefficient"].get<double>(),
                    1e-4);
        EXPECT_EQ(fft["pressure_solver"], "fft");
        if (name == std::string("square")) {
            EXPECT_TRUE(run_example(name, "--pressure-solver=fft") == fft);
        }
    }
}

}  // namespace
}  // namespace veltaro::test
