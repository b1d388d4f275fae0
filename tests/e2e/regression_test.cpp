// A small real run whose console output and files must stay the same byte
// for byte: every change to a run's arithmetic, order or formats shows here.
// The expected files are regenerated only on purpose
// (scripts/regenerate-regression.sh).
#include <gtest/gtest.h>

#include <filesystem>

#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace veltaro::test {
namespace {

TEST(Regression, SmallCylinderRunIsUnchangedByteForByte) {
    const std::string data = std::string(VELTARO_TEST_DATA) + "/regression/";
    const scratch_dir folder;
    std::filesystem::copy_file(data + "disc.jpg", "disc.jpg");
    const program_run run = run_program(read_file(data + "answers.txt"));
    ASSERT_EQ(run.status, 1) << run.err;
    // The run stops at its limit on a stretched picture: its warnings.
    EXPECT_EQ(run.err, read_file(data + "expected/stderr.txt"));
    EXPECT_EQ(run.out, read_file(data + "expected/console.txt"));
    for (const std::string& name : result_files()) {
        const std::string expected = read_file(data + "expected/" + name);
        ASSERT_FALSE(expected.empty()) << name;
        std::string written = read_file(name);
        // The wall time is the one value that differs from run to run.
        if (name == "summary.json") {
            const auto value = written.find("\"seconds\": ") + 11;
            written = written.substr(0, value) + "0" +
                      written.substr(written.find_first_of(",}\n", value));
        }
        // Not EXPECT_EQ on the bytes: a mismatch of a picture would print it all.
        EXPECT_TRUE(written == expected) << name << " differs from the expected file";
    }
}

}  // namespace
}  // namespace veltaro::test
