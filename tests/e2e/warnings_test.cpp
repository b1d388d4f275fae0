// The warnings of a completed run: each case that must warn, run by the
// built program, names its code in summary.json and its sentence on
// standard error, and leaves the exit status and standard output as a run
// without warnings has them. Runs that must not warn are in the
// verification and pressure solve tests.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/pictures.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace veltaro::test {
namespace {

// The picture, written as tunnel.jpg, and the answers; the codes, exactly these in this
// order, and words of the warnings on standard error.
struct warning_case {
    const char* name; picture drawn; std::string answers;
    std::vector<std::string> codes, words; const char* arguments = "";
};

// A disc a fifth of the height across, well inside a 4 x 1 tunnel.
picture tunnel_disc() { return disc_picture(400, 100, 100.0, 50.0, 10.0); }

TEST(Warnings, EachDoubtfulRunSaysWhyAndEndsAsBefore) {
    const picture black = draw_picture(400, 100, 1, [](int, int, int) { return 0; });
    const picture inlet_bar = draw_picture(400, 100, 1, [](int c, int r, int) {
        return static_cast<unsigned char>(c < 4 && r > 40 && r < 60 ? 0 : 255);
    });
    const std::string disc = "tunnel.jpg 20 0.01 1 1 4 1 ";  // standard mesh; the iterations follow
    // clang-format off
    const warning_case cases[] = {
        {"limit reached", tunnel_disc(), disc + "5", {"iteration_limit"},
         {"Warning: the run stopped at the iteration limit of 5 before it settled (last changes U ",
          "; steady residual ", "raise the limit."}},
        // Told to run exactly 5 iterations: no iteration_limit, but the flow is far from steady.
        {"limit rule", tunnel_disc(), disc + "5", {"not_steady"},
         {"the run stopped after 5 iterations because it was told to, but the flow was still "
          "changing (steady residual ", "run again with --stop-rule=steady."}, "--stop-rule=limit"},
        {"no iterations", tunnel_disc(), disc + "0", {"no_iterations"},
         {"iteration limit of 0 let no iteration run", "initial flow"}},
        // The console's own two lines stay; the warning joins the others.
        {"high Reynolds number", tunnel_disc(), "tunnel.jpg 1000 0.01 1 1 4 1 0",
         {"no_iterations", "high_reynolds"},
         {"the Reynolds number of 1000 is above 200", "time-accurate runs (--unsteady=T)"}},
        // The picture is stretched over the 4 m high grid: the disc is 0.8 m across.
        {"unnamed mesh", tunnel_disc(), "tunnel.jpg 20 0.01 1 1 4 7 0", {"no_iterations", "mesh_choice"},
         {"mesh answer 7 is not 0, 1 or 2", "100 x 100 nodes", "spans 4 m x 4 m",
          "not the tunnel's 4 m x 1 m"}},
        {"all dark", black, "tunnel.jpg 20 0.01 1 1 4 0 3", {"all_solid", "obstacle_touches_boundary"},
         {"every pixel of the picture is dark", "the inlet and the top wall and the bottom wall"}},
        {"stretched", disc_picture(200, 100, 50.0, 50.0, 10.0), disc + "0",
         {"no_iterations", "stretched_picture"},
         {"width/height of 2 (200 x 100 pixels)", "length/height of 4",
          "an ellipse 2 times as long as it is high"}},
        {"coarse obstacle", disc_picture(400, 100, 100.0, 50.0, 2.5), "tunnel.jpg 20 0.01 1 1 4 0 0",
         {"no_iterations", "coarse_obstacle"},
         {"frontal height of 0.0484848 m spans only 1.2 node spacings",
          "lift is not to be trusted", "even the fine mesh gives only 4.9"}},
        {"coarse, a finer mesh helps", disc_picture(400, 100, 100.0, 50.0, 6.0),
         "tunnel.jpg 20 0.01 1 1 4 0 0", {"no_iterations", "coarse_obstacle"},
         {"spans only 3.1 node spacings", "the fine mesh (answer 2) gives 12.9."}},
        {"high blockage", disc_picture(400, 100, 100.0, 50.0, 20.0), disc + "0",
         {"no_iterations", "high_blockage"},
         {"frontal height of 0.403819 m fills 41% of the tunnel's height, more than 30%",
          "draw it smaller in the picture"}},
        // --nodes-across: the N that reaches 8 spacings, and no mesh_choice for answer 7.
        {"coarse on a mesh of 30 across", tunnel_disc(), "tunnel.jpg 20 0.01 1 1 4 7 0",
         {"no_iterations", "coarse_obstacle"},
         {"spans only 6.1 node spacings", "--nodes-across=40 gives 8.2."}, "--nodes-across=30"},
        {"touches the inlet", inlet_bar, disc + "0", {"no_iterations", "obstacle_touches_boundary"},
         {"the obstacle reaches the inlet (solid nodes there)"}},
    };
    // clang-format on
    for (const warning_case& row : cases) {
        SCOPED_TRACE(row.name);
        const scratch_dir folder;
        write_jpeg("tunnel.jpg", row.drawn);
        const program_run run = run_program(row.answers, surroundings::plain, row.arguments);
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_TRUE(run.out.find("Warning: the") == std::string::npos &&
                    run.out.find("done.") != std::string::npos);
        const auto summary = nlohmann::json::parse(read_file("summary.json"));
        // One line each, in the summary's order and words.
        std::vector<std::string> codes;
        std::string lines;
        for (const auto& warning : summary["warnings"]) {
            codes.push_back(warning["code"]);
            lines += "Warning: " + warning["message"].get<std::string>() + "\n";
        }
        EXPECT_EQ(codes, row.codes);
        EXPECT_EQ(run.err, lines);
        for (const std::string& word : row.words)
            EXPECT_NE(run.err.find(word), std::string::npos) << word << "\n" << run.err;
    }
}

}  // namespace
}  // namespace veltaro::test
