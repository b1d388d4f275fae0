// The child's console read back: which lines are iterations, the event data
// made from them, and lines cut anywhere by the pipe.
#include "server/console_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace veltaro::server {
namespace {

TEST(ConsoleLines, IterationLines) {
    // clang-format off
    const struct {
        const char* line;
        const char* json;  // nullptr: not an iteration line
    } rows[] = {
        {"count = 1, U: 1.000000e+00    V: 1.000000e+00    P: 1.000000e+00",
         R"({"count": 1, "change_u": 1.000000e+00, "change_v": 1.000000e+00, "change_p": 1.000000e+00})"},
        {"count = 200, U: 1.181926e-05    V: 1.546346e-04    P: 0.000000e+00",
         R"({"count": 200, "change_u": 1.181926e-05, "change_v": 1.546346e-04, "change_p": 0.000000e+00})"},
        {"count = 3, U: nan    V: 1.0e+00    P: 1.0e+00", nullptr},
        {"count = 3, U: inf    V: 1.0e+00    P: 1.0e+00", nullptr},
        {"count = 3, U: 1.0e+00    V: 1.0e+00", nullptr},
        {"count = x, U: 1.0e+00    V: 1.0e+00    P: 1.0e+00", nullptr},
        {"count = 3, U: 1.0e+    V: 1.0e+00    P: 1.0e+00", nullptr},
        {"count = 3, U: 01    V: 1.0e+00    P: 1.0e+00", nullptr},
        {"done.", nullptr},
        {"Lift = 3.724440e-08 [N/m]", nullptr},
        {"Maximum number of iterations: ", nullptr},
        {"", nullptr},
    };
    // clang-format on
    for (const auto& row : rows) {
        const std::optional<iteration_line> read = read_iteration_line(row.line);
        ASSERT_EQ(read.has_value(), row.json != nullptr) << row.line;
        if (read) {
            EXPECT_EQ(read->json, row.json);
        }
    }
}

TEST(ConsoleLines, LinesCutAnywhere) {
    const std::string console = "Input JPG image: \ncount = 1, U: 1\n\ndone.\npartial";
    for (std::size_t cut = 0; cut <= console.size(); ++cut) {
        std::vector<std::string> lines;
        line_splitter splitter([&](std::string_view line) { lines.emplace_back(line); });
        splitter.take(std::string_view(console).substr(0, cut));
        splitter.take(std::string_view(console).substr(cut));
        EXPECT_EQ(lines,
                  (std::vector<std::string>{"Input JPG image: ", "count = 1, U: 1", "", "done."}))
            << "cut at " << cut;
    }
}

}  // namespace
}  // namespace veltaro::server
