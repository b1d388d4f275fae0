// The child's console read back: which lines are iterations, the event data
// made from them, and lines cut anywhere by the pipe.
#include "server/console_lines.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

namespace veltaro::server {
namespace {

TEST(ConsoleLines, IterationLines) {
    const std::string twelve = "count = 12, U: 1.0e+00    V: 2.0e+00    P: 3.0e+00";
    const std::string twelve_json =
        R"({"count": 12, "change_u": 1.0e+00, "change_v": 2.0e+00, "change_p": 3.0e+00)";
    // clang-format off
    const struct {
        std::string line;
        std::string json;  // "": not an iteration line
        const char* residual = "";  // residual.txt's line read with it
    } rows[] = {
        {"count = 1, U: 1.000000e+00    V: 1.000000e+00    P: 1.000000e+00", R"({"count": 1, "change_u": 1.000000e+00, "change_v": 1.000000e+00, "change_p": 1.000000e+00})"},
        {"count = 200, U: 1.181926e-05    V: 1.546346e-04    P: 0.000000e+00", R"({"count": 200, "change_u": 1.181926e-05, "change_v": 1.546346e-04, "change_p": 0.000000e+00})"},
        {twelve, twelve_json + R"(, "residual": 3.399450e+01, "residual_rms": 3.388736e-01, "flow_time": 2.4e-01})",
         "12 3.399450e+01 3.388736e-01 2.4e-01"},
        {twelve, twelve_json + "}", "11 3.4e+01 3.3e-01 2.2e-01"},  // another iteration's
        {twelve, twelve_json + "}", "# iteration, steady residual max and rms [U^2/c], flow time [s]"},
        {twelve, twelve_json + "}", "12 3.4e+01 3.3e-01"},  // cut short
        {"count = 3, U: nan    V: 1.0e+00    P: 1.0e+00", ""}, {"count = 3, U: inf    V: 1.0e+00    P: 1.0e+00", ""},
        {"count = 3, U: 1.0e+00    V: 1.0e+00", ""}, {"count = x, U: 1.0e+00    V: 1.0e+00    P: 1.0e+00", ""},
        {"count = 3, U: 1.0e+    V: 1.0e+00    P: 1.0e+00", ""}, {"count = 3, U: 01    V: 1.0e+00    P: 1.0e+00", ""},
        {"done.", ""}, {"Lift = 3.724440e-08 [N/m]", ""}, {"Maximum number of iterations: ", ""}, {"", ""},
    };
    // clang-format on
    for (const auto& row : rows) {
        const std::optional<iteration_line> read = read_iteration_line(row.line);
        ASSERT_EQ(read.has_value(), !row.json.empty()) << row.line;
        if (read) { EXPECT_EQ(iteration_data(*read, read_residual_line(row.residual)), row.json); }
    }
}

// The child appends residual.txt while the server reads it, a line at a
// time or cut anywhere.
TEST(ConsoleLines, ResidualFileFollowedAsItGrows) {
    const auto path = std::filesystem::path(testing::TempDir()) / "residual_follower_test.txt";
    std::filesystem::remove(path);
    residual_follower follower(path);
    EXPECT_FALSE(follower.line_for(1)) << "no file yet";
    std::ofstream file(path);
    const auto append = [&](const char* text) { file << text << std::flush; };
    append("# iteration, steady residual max and rms [U^2/c], flow time [s]\n"
           "1 3.0e+01 2.0e+01 1.0e-02\n2 1.5e+");
    EXPECT_EQ(follower.line_for(1)->max, "3.0e+01");
    EXPECT_FALSE(follower.line_for(2)) << "half a line";
    append("01 9.0e+00 2.0e-02\n3 1.0e+00 5.0e-01 3.0e-02\n");
    EXPECT_EQ(follower.line_for(2)->rms, "9.0e+00");
    EXPECT_FALSE(follower.line_for(4));
    append("4 2.0e-01 1.0e-01 4.0e-02\n");
    EXPECT_EQ(follower.line_for(4)->max, "2.0e-01") << "line 3 was never asked for";
    std::filesystem::remove(path);
}

TEST(ConsoleLines, GridMeshLines) {
    // clang-format off
    const struct {
        std::string line;
        const char* json;  // nullptr: not a grid study's line
    } rows[] = {
        {"Grid study: mesh 1 of 3, 100 nodes across (grid/100-across)", R"({"mesh": 1, "meshes": 3, "nodes_across": 100, "folder": "grid/100-across"})"},
        {"Grid study: mesh 3 of 3, 25 nodes across (grid/25-across)", R"({"mesh": 3, "meshes": 3, "nodes_across": 25, "folder": "grid/25-across"})"},
        {"Grid study: mesh 2 of 3, 70 nodes across (grid/71-across)", nullptr},  // another mesh's folder
        {"Grid study: mesh 2 of 3, 70 nodes across (grid/../70-across)", nullptr},
        {"Grid study: mesh 2 of 3, 70 nodes across (/etc/70-across)", nullptr},
        {"Grid study: mesh 2 of 3, 70 nodes across (grid/70-across) ", nullptr},
        {"Grid study: mesh 4 of 3, 70 nodes across (grid/70-across)", nullptr},
        {"Grid study: mesh 0 of 3, 70 nodes across (grid/70-across)", nullptr},
        {"Grid study: mesh 2 of 3, -70 nodes across (grid/-70-across)", nullptr},
        {"Grid study: mesh 2 of 3, 1234567890 nodes across (grid/1234567890-across)", nullptr},
        {"Grid study: mesh 2 of 3, 70 nodes across", nullptr},
        {"C_D = 2.428 ± 0.6% (grid; extrapolated 2.414, order 1.9)", nullptr},
        {"count = 1, U: 1.0e+00    V: 1.0e+00    P: 1.0e+00", nullptr}, {"", nullptr},
    };
    // clang-format on
    for (const auto& row : rows) {
        const std::optional<grid_mesh_line> read = read_grid_mesh_line(row.line);
        ASSERT_EQ(read.has_value(), row.json != nullptr) << row.line;
        if (read) {
            EXPECT_EQ(read->json, row.json);
        }
    }
}

// A grid study's console: each mesh's iterations count from 1 again, with
// the residual of that mesh's own folder.
TEST(ConsoleLines, GridStudyEventsFollowEachMeshsResidualFile) {
    const auto folder = std::filesystem::path(testing::TempDir()) / "console_events_test";
    std::filesystem::remove_all(folder);
    for (const char* mesh : {"grid/50-across", "grid/35-across"}) {
        std::filesystem::create_directories(folder / mesh);
        std::ofstream(folder / mesh / "residual.txt")
            << "# iteration, steady residual max and rms [U^2/c], flow time [s]\n1 " << mesh[5]
            << ".0e+00 1.0e+00 1.0e-02\n";
    }
    std::ofstream(folder / "residual.txt") << "1 9.0e+00 9.0e+00 9.0e-02\n";
    console_events events(folder);
    const std::string one = "count = 1, U: 1.0e+00    V: 1.0e+00    P: 1.0e+00";
    const std::string bare =
        R"({"count": 1, "change_u": 1.0e+00, "change_v": 1.0e+00, "change_p": 1.0e+00)";
    // clang-format off
    const struct {
        std::string line;
        const char* kind;  // nullptr: no event
        std::string data;
    } rows[] = {
        {one, "iteration", bare + R"(, "residual": 9.0e+00, "residual_rms": 9.0e+00, "flow_time": 9.0e-02})"},
        {"Grid study: mesh 1 of 3, 50 nodes across (grid/50-across)", "grid_mesh", R"({"mesh": 1, "meshes": 3, "nodes_across": 50, "folder": "grid/50-across"})"},
        {one, "iteration", bare + R"(, "residual": 5.0e+00, "residual_rms": 1.0e+00, "flow_time": 1.0e-02})"},
        {"Lift = 3.7e-08 [N/m]", nullptr, ""},
        {"Grid study: mesh 2 of 3, 35 nodes across (grid/35-across)", "grid_mesh", R"({"mesh": 2, "meshes": 3, "nodes_across": 35, "folder": "grid/35-across"})"},
        {one, "iteration", bare + R"(, "residual": 3.0e+00, "residual_rms": 1.0e+00, "flow_time": 1.0e-02})"},
        {"Grid study: mesh 3 of 3, 25 nodes across (grid/25-across)", "grid_mesh", R"({"mesh": 3, "meshes": 3, "nodes_across": 25, "folder": "grid/25-across"})"},
        {one, "iteration", bare + "}"},  // its folder has no residual.txt yet
    };
    // clang-format on
    for (const auto& row : rows) {
        const std::optional<console_event> event = events.take(row.line);
        ASSERT_EQ(event.has_value(), row.kind != nullptr) << row.line;
        if (event) {
            EXPECT_EQ(std::tie(event->kind, event->data), std::tie(row.kind, row.data)) << row.line;
        }
    }
    std::filesystem::remove_all(folder);
}

TEST(ConsoleLines, LinesCutAnywhere) {
    const std::string console = "Input JPG image: \ncount = 1, U: 1\n\ndone.\npartial";
    const std::vector<std::string> whole{"Input JPG image: ", "count = 1, U: 1", "", "done."};
    for (std::size_t cut = 0; cut <= console.size(); ++cut) {
        std::vector<std::string> lines;
        line_splitter splitter([&](std::string_view line) { lines.emplace_back(line); });
        splitter.take(std::string_view(console).substr(0, cut));
        splitter.take(std::string_view(console).substr(cut));
        EXPECT_EQ(lines, whole) << "cut at " << cut;
    }
}

}  // namespace
}  // namespace veltaro::server
