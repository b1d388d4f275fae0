// The dialogue up to the mesh (plan_run) on the answers a user may type:
// how each word is read, which questions and warnings appear, and the
// parameters and mesh they lead to. Answers the run refuses are in the
// end-to-end matrix (tests/e2e/bad_input_test.cpp).
#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <tuple>

#include "common/run_error.h"
#include "driver/set_up_run.h"

namespace veltaro {
namespace {

const std::string warning =
    "Reynold's No.: *    Warning: This program is only intended for low Reynold's No. flows.\n"
    "*    Consider trying a Reynold's No. less than 200.\nKinematic viscosity [m^2/s]: ";

// The console: a part of what the dialogue prints.
// clang-format off
struct typed_answers {
    const char* answers; float inlet_velocity, dynamic_viscosity; int nx, ny, max_iterations;
    std::string console = ""; std::optional<int> nodes_across = std::nullopt;
};
// clang-format on

TEST(Dialogue, AnswersGiveTheParametersAndTheMesh) {
    // clang-format off
    const typed_answers rows[] = {
        {"a.jpg 20 0.01 1.2 1 4 0 5", 0.2f, 0.012f, 100, 25, 5},
        {"a.jpg\r\n20\r\n0.01\r\n1.2\r\n1\r\n4\r\n0\r\n5\r\n", 0.2f, 0.012f, 100, 25, 5},
        {"a.jpg 2e1 +1e-2 1.2 1E0 4e0 -0 +5", 0.2f, 0.012f, 100, 25, 5},
        {"a.jpg 200e-1 .01 1.2 1. +4. +0 05", 0.2f, 0.012f, 100, 25, 5},
        {"a.jpg 20 0.01 1 1 4 1 2147483647", 0.2f, 0.01f, 200, 50, 2147483647},
        {"a.jpg 20 0.01 1 1 4 2 -1", 0.2f, 0.01f, 400, 100, -1},
        // nx = trunc(L / H ny): 62.5 nodes along become 62.
        {"a.jpg 20 0.01 1 1 2.5 0 1", 0.2f, 0.01f, 62, 25, 1},
        {"a.jpg 20 0.01 1 0.01 3 7 1", 20.0f, 0.01f, 100, 100, 1},
        {"a.jpg 200 0.001 1 1 4 0 1", 0.2f, 0.001f, 100, 25, 1, "No.: Kinematic"},
        {"a.jpg 200.5 0.001 1 1 4 0 1", 0.2005f, 0.001f, 100, 25, 1, warning},
        // The inlet velocity cannot be derived from a zero Re or viscosity;
        // where it can, it is not asked (the answers would run out).
        {"a.jpg 0 0.01 1 1 4 0 1 0.25", 0.25f, 0.01f, 100, 25, 1,
         "Maximum number of iterations: \nInlet Velocity: "},
        {"a.jpg 20 -0 1 1 4 0 1 +2.5e-1", 0.25f, 0.0f, 100, 25, 1, "Inlet Velocity: "},
        // --nodes-across replaces the answer's sizes (any answer), by the same rule.
        {"a.jpg 20 0.01 1 1 4 2 1", 0.2f, 0.01f, 12, 3, 1, "", 3},
        {"a.jpg 20 0.01 1 1 4 7 1", 0.2f, 0.01f, 800, 200, 1, "", 200},
        {"a.jpg 20 0.01 1 2 4 0 1", 0.1f, 0.01f, 1414, 707, 1, "", 707},
        {"a.jpg 20 0.01 1 1 2.5 1 1", 0.2f, 0.01f, 337, 135, 1, "", 135},
    };
    // clang-format on
    for (const typed_answers& row : rows) {
        SCOPED_TRACE(row.answers);
        std::istringstream in(row.answers);
        std::ostringstream out;
        const run_setup setup = plan_run(in, out, {.nodes_across = row.nodes_across});
        EXPECT_EQ(setup.answers.filename, "a.jpg");
        EXPECT_FLOAT_EQ(setup.params.inlet_velocity, row.inlet_velocity);
        EXPECT_FLOAT_EQ(setup.params.dynamic_viscosity, row.dynamic_viscosity);
        EXPECT_EQ(std::tuple(setup.mesh.nx, setup.mesh.ny, setup.answers.max_iterations),
                  std::tuple(row.nx, row.ny, row.max_iterations));
        EXPECT_NE(out.str().find(row.console), std::string::npos) << out.str();
        EXPECT_FLOAT_EQ(setup.mesh.dx, setup.answers.length / static_cast<float>(row.nx - 1));
    }
}

TEST(Dialogue, AMeshThatCannotBeMadeIsRefusedInOneLine) {
    const struct { const char* answers; int nodes_across; const char* message; } rows[] = {
        {"a.jpg 20 0.01 1 1 0.5 0 1", 4, "the mesh has 2 nodes along it and needs at least 3"},
        {"a.jpg 20 0.01 1 1 4 0 1", 100000, "The mesh of 400000 x 100000 nodes is too large"},
        {"a.jpg 20 0.01 1 1 4 0 1", 2, "at least 3 nodes across the tunnel, not 2"},
    };
    for (const auto& row : rows) {
        std::istringstream in(row.answers);
        std::ostringstream out;
        try {
            plan_run(in, out, {.nodes_across = row.nodes_across});
            ADD_FAILURE() << row.message;
        } catch (const run_error& error) {
            EXPECT_NE(std::string(error.what()).find(row.message), std::string::npos)
                << error.what();
        }
    }
}

}  // namespace
}  // namespace veltaro
