// The one list of result files is what --help tells. That a run writes
// exactly the listed files, and the summary's keys in order, are checked on
// the end-to-end runs (tests/e2e/unsteady_test.cpp, bad_input_test.cpp).
#include <gtest/gtest.h>

#include <string>

#include "output/result_files.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace veltaro::test {
namespace {

TEST(ResultFiles, HelpNamesEveryListedFile) {
    const scratch_dir folder;
    const program_run help = run_program("", surroundings::plain, "--help");
    for (const std::string_view name : result_file_names) {
        EXPECT_NE(help.out.find(name), std::string::npos) << name;
    }
}

}  // namespace
}  // namespace veltaro::test
