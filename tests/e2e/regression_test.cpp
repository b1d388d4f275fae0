// A small real run whose console output and files must stay the same byte
// for byte: every change to a run's arithmetic, order or formats shows here.
// The expected files are regenerated only on purpose
// (scripts/regenerate-regression.sh).
//
// For a numerical change made on purpose, VELTARO_REGRESSION=tolerance
// compares numbers instead of bytes: each value of the tables "U.dat",
// "V.dat" and "P.dat" within 1e-5 of its own size plus 1e-7 of its table's
// range (so values near zero do not fail on noise), and lift and drag each
// within 1e-5 of its own size plus 1e-5 of the larger of the two. Nothing
// else is compared then.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace veltaro::test {
namespace {

bool tolerance_mode() {
    const char* mode = std::getenv("VELTARO_REGRESSION");
    return mode != nullptr && std::string(mode) == "tolerance";
}

std::vector<double> numbers_in(const std::string& text) {
    std::istringstream in(text);
    std::vector<double> numbers;
    for (double value; in >> value;) numbers.push_back(value);
    return numbers;
}

// Each value within 1e-5 of its own size plus `scale`.
void expect_within_tolerance(const std::string& name, const std::vector<double>& got,
                             const std::vector<double>& want, double scale) {
    ASSERT_EQ(got.size(), want.size()) << name;
    for (std::size_t k = 0; k < want.size(); ++k) {
        // The first value out of tolerance says enough.
        ASSERT_LE(std::fabs(got[k] - want[k]), 1e-5 * std::fabs(want[k]) + scale)
            << name << ", value " << k << ": " << got[k] << " instead of " << want[k];
    }
}

// The wall time is the one value that differs from run to run.
std::string without_wall_time(const std::string& summary) {
    const auto value = summary.find("\"seconds\": ") + 11;
    return summary.substr(0, value) + "0" + summary.substr(summary.find_first_of(",}\n", value));
}

TEST(Regression, SmallCylinderRunIsUnchanged) {
    const std::string data = std::string(VELTARO_TEST_DATA) + "/regression/";
    const scratch_dir folder;
    std::filesystem::copy_file(data + "disc.jpg", "disc.jpg");
    const program_run run = run_program(read_file(data + "answers.txt"));
    ASSERT_EQ(run.status, 1) << run.err;
    // The run stops at its limit on a stretched picture: its warnings.
    EXPECT_EQ(run.err, read_file(data + "expected/stderr.txt"));
    if (tolerance_mode()) {
        for (const std::string name : {"U.dat", "V.dat", "P.dat"}) {
            const std::vector<double> want = numbers_in(read_file(data + "expected/" + name));
            const auto [low, high] = std::minmax_element(want.begin(), want.end());
            expect_within_tolerance(name, numbers_in(read_file(name)), want, 1e-7 * (*high - *low));
        }
        const auto forces_in = [](const std::string& summary) {
            const auto json = nlohmann::json::parse(read_file(summary));
            return std::vector<double>{json["lift"], json["drag"]};
        };
        const std::vector<double> forces = forces_in(data + "expected/summary.json");
        expect_within_tolerance("lift and drag", forces_in("summary.json"), forces,
                                1e-5 * std::max(std::fabs(forces[0]), std::fabs(forces[1])));
        return;
    }
    EXPECT_EQ(run.out, read_file(data + "expected/console.txt"));
    for (const std::string& name : result_files()) {
        const std::string expected = read_file(data + "expected/" + name);
        ASSERT_FALSE(expected.empty()) << name;
        std::string written = read_file(name);
        if (name == "summary.json") written = without_wall_time(written);
        // Not EXPECT_EQ on the bytes: a mismatch of a picture would print it all.
        EXPECT_TRUE(written == expected) << name << " differs from the expected file";
    }
}

}  // namespace
}  // namespace veltaro::test
