// A small real run whose console output and files must stay the same byte
// for byte: every change to a run's arithmetic, order or formats shows here.
// The expected files are regenerated only on purpose
// (scripts/regenerate-regression.sh).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/run_program.h"

namespace veltaro::test {
namespace {

const std::filesystem::path case_dir = std::filesystem::path(VELTARO_TEST_DATA) / "regression";

std::string contents(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TEST(Regression, SmallCylinderRunIsUnchangedByteForByte) {
    work_folder folder;
    std::filesystem::copy_file(case_dir / "disc.jpg", folder.file("disc.jpg"));
    const program_run run = folder.run(contents(case_dir / "answers.txt"));
    ASSERT_EQ(run.status, 1) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, contents(case_dir / "expected" / "console.txt"));
    for (const std::string& name : result_files()) {
        const std::string expected = contents(case_dir / "expected" / name);
        ASSERT_FALSE(expected.empty()) << name;
        // Not EXPECT_EQ on the bytes: a mismatch of a picture would print it all.
        EXPECT_TRUE(folder.read(name) == expected) << name << " differs from the expected file";
    }
}

}  // namespace
}  // namespace veltaro::test
