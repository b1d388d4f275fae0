// The warnings of a completed run: each case that must warn, run by the
// built program, names its code in summary.json and its sentence on
// standard error, and leaves the exit status and standard output as a run
// without warnings has them. The shipped examples must not warn.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "driver/coefficients.h"
#include "driver/run_warnings.h"
#include "common/text_format.h"
#include "driver/set_up_run.h"
#include "support/pictures.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace veltaro::test {
namespace {

struct warning_case {
    const char* name;
    picture drawn;                   // written as tunnel.jpg
    std::string answers;             // the picture is tunnel.jpg
    std::vector<std::string> codes;  // exactly these, in this order
    std::vector<std::string> words;  // in the warnings on standard error
    const char* arguments = "";
};

std::vector<std::string> codes_of(const nlohmann::json& summary) {
    std::vector<std::string> codes;
    for (const auto& warning : summary["warnings"]) codes.push_back(warning["code"]);
    return codes;
}

// A disc a fifth of the height across, well inside a 4 x 1 tunnel.
picture tunnel_disc() { return disc_picture(400, 100, 100.0, 50.0, 10.0); }

TEST(Warnings, EachDoubtfulRunSaysWhyAndEndsAsBefore) {
    const picture black = draw_picture(400, 100, 1, [](int, int, int) { return 0; });
    const picture inlet_bar = draw_picture(400, 100, 1, [](int c, int r, int) {
        return static_cast<unsigned char>(c < 4 && r > 30 && r < 70 ? 0 : 255);
    });
    const warning_case cases[] = {
        {"limit reached",
         tunnel_disc(),
         "tunnel.jpg 20 0.01 1 1 4 1 5",
         {"iteration_limit"},
         {"Warning: the run stopped at the iteration limit of 5 before it settled (last changes U ",
          "; steady residual ", "raise the limit."}},
        // Told to run exactly 5 iterations: no iteration_limit, but the flow is far from steady.
        {"limit rule",
         tunnel_disc(),
         "tunnel.jpg 20 0.01 1 1 4 1 5",
         {"not_steady"},
         {"the run stopped after 5 iterations because it was told to, but the flow was still "
          "changing (steady residual ",
          "run again with --stop-rule=steady."},
         "--stop-rule=limit"},
        {"no iterations",
         tunnel_disc(),
         "tunnel.jpg 20 0.01 1 1 4 1 0",
         {"no_iterations"},
         {"iteration limit of 0 let no iteration run", "initial flow"}},
        // The console's own two lines stay; the warning joins the others.
        {"high Reynolds number",
         tunnel_disc(),
         "tunnel.jpg 1000 0.01 1 1 4 1 0",
         {"no_iterations", "high_reynolds"},
         {"the Reynolds number of 1000 is above 200", "time-accurate runs (--unsteady=T)"}},
        {"unnamed mesh",
         tunnel_disc(),
         "tunnel.jpg 20 0.01 1 1 4 7 0",
         // The picture is stretched over the 4 m high grid: the disc is 0.8 m across.
         {"no_iterations", "mesh_choice"},
         {"mesh answer 7 is not 0, 1 or 2", "100 x 100 nodes", "spans 4 m x 4 m",
          "not the tunnel's 4 m x 1 m"}},
        {"all dark",
         black,
         "tunnel.jpg 20 0.01 1 1 4 0 3",
         {"all_solid", "obstacle_touches_boundary"},
         {"every pixel of the picture is dark", "the inlet and the top wall and the bottom wall"}},
        {"stretched",
         disc_picture(200, 100, 50.0, 50.0, 10.0),
         "tunnel.jpg 20 0.01 1 1 4 1 0",
         {"no_iterations", "stretched_picture"},
         {"width/height of 2 (200 x 100 pixels)", "length/height of 4",
          "an ellipse 2 times as long as it is high"}},
        {"coarse obstacle",
         disc_picture(400, 100, 100.0, 50.0, 2.5),
         "tunnel.jpg 20 0.01 1 1 4 0 0",
         {"no_iterations", "coarse_obstacle"},
         {"frontal height of 0.0484848 m spans only 1.2 node spacings",
          "lift is not to be trusted", "even the fine mesh gives only 4.9"}},
        {"coarse, a finer mesh helps",
         disc_picture(400, 100, 100.0, 50.0, 6.0),
         "tunnel.jpg 20 0.01 1 1 4 0 0",
         {"no_iterations", "coarse_obstacle"},
         {"spans only 3.1 node spacings", "the fine mesh (answer 2) gives 12.9."}},
        {"touches the inlet",
         inlet_bar,
         "tunnel.jpg 20 0.01 1 1 4 1 0",
         {"no_iterations", "obstacle_touches_boundary"},
         {"the obstacle reaches the inlet (solid nodes there)"}},
    };
    for (const warning_case& row : cases) {
        const scratch_dir folder;
        write_jpeg("tunnel.jpg", row.drawn);
        const program_run run = run_program(row.answers, surroundings::plain, row.arguments);
        EXPECT_EQ(run.status, 1) << row.name << ": " << run.err;
        EXPECT_EQ(run.out.find("Warning: the"), std::string::npos) << row.name;
        EXPECT_NE(run.out.find("done."), std::string::npos) << row.name;
        const auto summary = nlohmann::json::parse(read_file("summary.json"));
        EXPECT_EQ(codes_of(summary), row.codes) << row.name;
        // One line each, in the summary's order and words.
        std::string lines;
        for (const auto& warning : summary["warnings"]) {
            lines += "Warning: " + warning["message"].get<std::string>() + "\n";
        }
        EXPECT_EQ(run.err, lines) << row.name;
        for (const std::string& word : row.words) {
            EXPECT_NE(run.err.find(word), std::string::npos) << row.name << ": " << word << "\n"
                                                             << run.err;
        }
    }
}

// A shipped example, run in the current folder as the README runs it.
program_run run_example(const std::string& name) {
    const std::string examples = std::string(VELTARO_EXAMPLES) + "/";
    std::filesystem::copy_file(examples + name + ".jpg", name + ".jpg");
    return run_program(read_file(examples + name + ".answers"));
}

// The quiet rule stops the shipped cylinder while its wake still grows:
// the one warning says so, with the residual the summary holds.
TEST(Warnings, ShippedCylinderOnTheStandardMeshIsOnlyNotSteady) {
    const scratch_dir folder;
    const program_run run = run_example("cylinder");
    EXPECT_EQ(run.status, 1);
    const auto summary = nlohmann::json::parse(read_file("summary.json"));
    EXPECT_EQ(codes_of(summary), std::vector<std::string>{"not_steady"});
    const double residual = summary["steady_residual"];
    EXPECT_GT(residual, 1e-3);
    EXPECT_NE(run.err.find(format_text("(steady residual %.1e U^2/c", residual)),
              std::string::npos)
        << run.err;
}

// An empty tunnel is steady at once, though its mean |v| is round-off that
// never stops changing: the steady rule ends it well within 200 iterations,
// and the limit rule runs its 100, with nothing to warn about either way.
TEST(Warnings, EmptyTunnelStopsSteadyWithoutWarnings) {
    const struct {
        const char* answers;
        int height;  // of the picture, 400 pixels wide
        const char* arguments;
        const char* stop;
    } rows[] = {
        {"tunnel.jpg 200 0.01 1 2 4 2 5000", 200, "--stop-rule=steady", "steady"},
        {"tunnel.jpg 20 0.01 1 1 4 1 5000", 100, "--stop-rule=steady", "steady"},
        {"tunnel.jpg 20 0.01 1 1 4 1 100", 100, "--stop-rule=limit", "iteration limit"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.answers);
        const scratch_dir folder;
        write_jpeg("tunnel.jpg", draw_picture(400, row.height, 1, [](int, int, int) { return 255; }));
        const program_run run = run_program(row.answers, surroundings::plain, row.arguments);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, "");
        const auto summary = nlohmann::json::parse(read_file("summary.json"));
        EXPECT_EQ(summary["stop"], row.stop);
        const int iterations = summary["iterations"];
        if (row.stop == std::string("steady")) {
            EXPECT_LE(iterations, 200);
        } else {
            EXPECT_EQ(iterations, 100);
        }
    }
}

}  // namespace
}  // namespace veltaro::test
