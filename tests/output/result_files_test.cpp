// The one list of result files and summary keys agrees with what the
// program writes and what --help tells.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "output/result_files.h"
#include "output/run_summary.h"
#include "support/pictures.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace veltaro::test {
namespace {

TEST(ResultFiles, ARunWritesExactlyTheListedFilesAndHelpNamesThem) {
    const scratch_dir folder;
    write_jpeg("disc.jpg", disc_picture(100, 25, 30.0, 12.0, 5.0));
    const program_run run = run_program("disc.jpg 20 0.01 1 1 4 0 2");
    ASSERT_EQ(run.status, 1) << run.err;
    std::set<std::string> written = directory_entries();
    written.erase("disc.jpg");
    EXPECT_EQ(written, std::set<std::string>(result_file_names.begin(), result_file_names.end()));

    const program_run help = run_program("", surroundings::plain, "--help");
    for (const std::string_view name : result_file_names) {
        EXPECT_NE(help.out.find(name), std::string::npos) << name;
    }
}

TEST(ResultFiles, TheSummaryHasTheListedKeysInOrder) {
    const scratch_dir folder;
    write_summary("summary.json", run_summary{});
    const auto summary = nlohmann::ordered_json::parse(read_file("summary.json"));
    std::vector<std::string_view> keys;
    for (const auto& item : summary.items()) keys.push_back(item.key());
    EXPECT_EQ(keys, std::vector<std::string_view>(summary_keys.begin(), summary_keys.end()));
}

}  // namespace
}  // namespace veltaro::test
