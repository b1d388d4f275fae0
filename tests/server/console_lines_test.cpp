// The child's console read back: which lines are iterations, the event data
// made from them, and lines cut anywhere by the pipe.
#include "server/console_lines.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
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
