// The grid study through the built program (--grid-study): the case on the
// standard mesh and on 34 and 26 nodes across, each a complete run in
// grid/<N>-across/ announced by its console line; the results folder holds
// the finest run's files and its summary the study, a coefficient's line
// each after the last run; a coarser run that fails leaves the finest's
// results and a warning; a study whose coarsest mesh would be too coarse,
// or whose folder cannot be written, is refused with nothing written.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "output/result_files.h"
#include "support/pictures.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace veltaro::test {
namespace {

using json = nlohmann::ordered_json;

// Tunnel 4 x 1 on the standard mesh, a few iterations: the study's
// smallest, 50, 34 and 26 across.
std::string answers(int mesh_choice = 1, int iterations = 20) {
    return "tunnel.jpg 20 0.01 1 1 4 " + std::to_string(mesh_choice) + " " +
           std::to_string(iterations);
}

program_run study(const std::string& arguments, const std::string& typed = answers(),
                  surroundings around = surroundings::plain) {
    write_jpeg("tunnel.jpg", disc_picture(200, 50, 60.0, 25.0, 12.0));
    return run_program(typed, around, "--grid-study --pressure-solver=fft " + arguments);
}

json read_summary(const std::string& folder) {
    return json::parse(read_file(folder + "/summary.json"));
}

// The summary but for what the study adds to the finest run's.
json without_study(json summary) {
    for (const char* key : {"grid_study", "warnings", "seconds"}) summary.erase(key);
    return summary;
}

std::vector<std::string> keys_of(const json& object) {
    std::vector<std::string> keys;
    for (const auto& item : object.items()) keys.push_back(item.key());
    return keys;
}

std::size_t count_of(const std::string& text, const std::string& piece) {
    std::size_t count = 0;
    for (auto at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++count;
    return count;
}

TEST(GridStudy, ThreeMeshesInTheirFoldersTheFinestsResultsAndTheStudyInTheSummary) {
    const std::vector<std::string> steady = {"drag_coefficient", "lift_coefficient",
                                             "drag_coefficient_chord", "lift_coefficient_chord"};
    const std::vector<std::string> time_accurate = {"strouhal", "mean_drag_coefficient",
                                                    "lift_coefficient_amplitude"};
    const struct {
        const char* arguments;
        std::vector<std::string> coefficients;
        std::vector<std::string> labels;  // their console lines' starts
        std::vector<std::string> extra_files;
    } rows[] = {
        {"", steady, {"C_D = ", "C_L = ", "C_D,c = ", "C_L,c = "}, {}},
        {"--unsteady=0.05",
         time_accurate,
         {"St = none (grid: no band, no value on the 50-across mesh)",
          "mean C_D = none (grid: no band, no value on the 50-across mesh)",
          "C_L amplitude = none (grid: no band, no value on the 50-across mesh)"},
         {"forces.csv", "vorticity.webp"}},
    };
    const int across[] = {50, 34, 26};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.arguments);
        const scratch_dir folder;
        const program_run run = study(row.arguments);
        ASSERT_EQ(run.status, 1) << run.err;
        // Each mesh announced before its run.
        std::size_t at = 0;
        for (int k = 0; k < 3; ++k) {
            const std::string name = "grid/" + std::to_string(across[k]) + "-across";
            const std::string line = "Grid study: mesh " + std::to_string(k + 1) + " of 3, " +
                                     std::to_string(across[k]) + " nodes across (" + name + ")\n";
            at = run.out.find(line, at);
            ASSERT_NE(at, std::string::npos) << line << run.out;
            std::vector<std::string> files = result_files();
            files.insert(files.end(), row.extra_files.begin(), row.extra_files.end());
            for (const std::string& file : files) {
                EXPECT_TRUE(std::filesystem::is_regular_file(name + "/" + file)) << name << file;
            }
            const json summary = read_summary(name);
            EXPECT_EQ(summary["ny"], across[k]);
            EXPECT_TRUE(summary["grid_study"].is_null()) << name;
        }
        EXPECT_EQ(count_of(run.out, "count = 1,"), 3u) << "each run counts from 1";
        // One line per coefficient after the last run, in the summary's order.
        std::size_t line_at = run.out.rfind("done.");
        for (const std::string& label : row.labels) {
            line_at = run.out.find("\n" + label, line_at);
            ASSERT_NE(line_at, std::string::npos) << label << run.out;
            EXPECT_NE(run.out.find("(grid", line_at), std::string::npos);
        }
        // The results folder: the finest run's files and its summary with the study.
        for (const char* file : {"U.dat", "P.dat", "flow.vtk", "residual.txt"}) {
            EXPECT_EQ(read_file(file), read_file("grid/50-across/" + std::string(file))) << file;
        }
        const json top = read_summary(".");
        EXPECT_EQ(without_study(top), without_study(read_summary("grid/50-across")));
        const json& grid = top["grid_study"];
        EXPECT_EQ(keys_of(grid), (std::vector<std::string>{"ratio", "meshes", "coefficients",
                                                           "cost_factor", "complete"}));
        EXPECT_DOUBLE_EQ(grid["ratio"].get<double>(), std::sqrt(2.0));
        EXPECT_EQ(grid["complete"], true);
        EXPECT_GE(grid["cost_factor"].get<double>(), 1.0);
        ASSERT_EQ(grid["meshes"].size(), 3u);
        for (int k = 0; k < 3; ++k) {
            const json& mesh = grid["meshes"][k];
            EXPECT_EQ(keys_of(mesh), (std::vector<std::string>{
                                         "nodes_across", "nx", "ny", "spacing", "frontal_height",
                                         "reynolds_frontal", "folder", "iterations", "seconds"}));
            EXPECT_EQ(mesh["nodes_across"], across[k]);
            EXPECT_EQ(mesh["nx"], 4 * across[k]);
            EXPECT_EQ(mesh["folder"], "grid/" + std::to_string(across[k]) + "-across");
        }
        EXPECT_EQ(keys_of(grid["coefficients"]), row.coefficients);
        for (const auto& [name, c] : grid["coefficients"].items()) {
            EXPECT_EQ(keys_of(c),
                      (std::vector<std::string>{"values", "order", "extrapolated", "band_relative",
                                                "band_absolute", "reason"}))
                << name;
            EXPECT_EQ(c["values"].size(), 3u) << name;
            // A band or a reason, never neither.
            EXPECT_TRUE(!c["band_relative"].is_null() || c["reason"].is_string()) << name;
        }
    }
}

TEST(GridStudy, ACoarserRunThatFailsEndsTheStudyWithTheFinestsResults) {
    const scratch_dir folder;
    // The coarsest mesh's folder cannot be made: a file has its name.
    std::filesystem::create_directories("grid");
    write_file("grid/26-across", "in the way");
    const program_run run = study("");
    ASSERT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("Warning: the grid study stopped at mesh 3 of 3 (26 nodes across): "
                           "Could not write \"grid/26-across\""),
              std::string::npos)
        << run.err;
    const json top = read_summary(".");
    EXPECT_EQ(top["grid_study"]["complete"], false);
    EXPECT_EQ(top["grid_study"]["meshes"].size(), 2u);
    EXPECT_TRUE(top["grid_study"]["coefficients"].empty());
    EXPECT_EQ(top["warnings"].back()["code"], "grid_study_incomplete");
    EXPECT_EQ(read_file("U.dat"), read_file("grid/50-across/U.dat"));
    EXPECT_EQ(run.out.find("(grid:"), std::string::npos) << "no bands on the console";
    EXPECT_EQ(run.out.find("(grid;"), std::string::npos) << "no bands on the console";
}

TEST(GridStudy, ATooCoarseStudyIsRefusedWithNothingWritten) {
    const std::string too_coarse =
        "The grid study needs at least 25 nodes across on its coarsest mesh: ";
    const struct {
        std::string typed;
        std::string arguments;
        std::string message;
        surroundings around = surroundings::plain;
    } rows[] = {
        {answers(0), "",
         too_coarse + "25 across gives 18 and 12; choose a finer mesh or --nodes-across of at "
                      "least 50.\n"},
        {answers(), "--nodes-across=48",
         too_coarse + "48 across gives 34 and 23; choose a finer mesh or --nodes-across of at "
                      "least 50.\n"},
        {answers(5), "",
         "The grid study needs the mesh answer 0, 1 or 2 or --nodes-across=N: the answer 5 "
         "gives a square 100 x 100 grid, not the tunnel's, which a coarser mesh cannot "
         "follow.\n"},
        {answers(), "", "Could not write \"grid/50-across\": Permission denied\n",
         surroundings::read_only_folder},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.typed + " " + row.arguments);
        const scratch_dir folder;
        const program_run run = study(row.arguments, row.typed, row.around);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err, row.message);
        EXPECT_EQ(directory_entries(), std::set<std::string>{"tunnel.jpg"});
    }
}

}  // namespace
}  // namespace veltaro::test
