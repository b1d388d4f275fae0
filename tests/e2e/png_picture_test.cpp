// A PNG and a JPEG of the same pixels give the same run. No JPEG keeps
// every sample, so the PNG is written with exactly the samples the JPEG
// decodes to; then every console line and result file must match byte for
// byte, but for the summary's picture name and wall time.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <utility>

#include "support/pictures.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace veltaro::test {
namespace {

// The run, in a folder of its own, on the JPEG file or on a PNG of the
// samples it decodes to: its console and files, the summary's wall time set
// to 0 and the picture's name to "picture".
std::map<std::string, std::string> run_and_keep(const std::string& jpeg, bool as_png,
                                                const std::string& answers) {
    const scratch_dir folder;
    const std::string name = as_png ? "obstacle.png" : "obstacle.jpg";
    as_png ? write_png(name, decode_jpeg(jpeg)) : (void)std::filesystem::copy_file(jpeg, name);
    const program_run run = run_program(name + " " + answers);
    EXPECT_EQ(run.status, 1) << run.err;
    std::map<std::string, std::string> kept = {{"console", run.out}, {"errors", run.err}};
    for (const std::string& name : result_files()) kept[name] = read_file(name);
    std::string& summary = kept["summary.json"];
    for (const auto& [key, value] :
         {std::pair{"\"seconds\": ", "0"}, std::pair{"\"picture\": ", "\"picture\""}}) {
        const auto start = summary.find(key) + std::string(key).size();
        summary.replace(start, summary.find_first_of(",}\n", start) - start, value);
    }
    return kept;
}

TEST(PngPicture, SameRunAsTheJpegOfTheSamePixels) {
    // Grey, the regression run's picture, and colour, the airfoil on the coarse mesh; the other
    // kinds of PNG give the same samples in the decoder's own test.
    const std::pair<std::string, const char*> rows[] = {
        {std::string(VELTARO_TEST_DATA) + "/regression/disc.jpg", "20 0.01 1 1 2.4 0 200"},
        {std::string(VELTARO_EXAMPLES) + "/airfoil.jpg", "20 0.01 1 1 4 0 40"}};
    for (const auto& [jpeg, answers] : rows) {
        SCOPED_TRACE(jpeg);
        auto from_png = run_and_keep(jpeg, true, answers);
        for (const auto& [name, bytes] : run_and_keep(jpeg, false, answers)) {
            EXPECT_FALSE(bytes.empty() && name != "errors") << name;
            // Not EXPECT_EQ on the bytes: a mismatch of a picture would print it all.
            EXPECT_TRUE(from_png[name] == bytes) << name << " differs";
        }
    }
}

}  // namespace
}  // namespace veltaro::test
