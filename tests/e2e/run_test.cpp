// The stop rule of a whole run: ten quiet iterations in a row, in each of
// which both velocity changes are below 2e-6.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/pictures.h"
#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace veltaro::test {
namespace {

TEST(Run, CylinderStopsAfterTenQuietIterationsInARow) {
    const scratch_dir folder;
    write_jpeg("cylinder.jpg", disc_picture(800, 200, 199.5, 99.5, 20.0));
    ASSERT_EQ(run_program("cylinder.jpg 20 0.01 1 1 4 0 20000").status, 1);
    std::vector<bool> quiet;  // per line of the history
    std::istringstream lines(read_file("convergence.txt"));
    for (double u, v, p; lines >> u >> v >> p;) quiet.push_back(u < 2e-6 && v < 2e-6);
    ASSERT_GT(quiet.size(), 12u);
    ASSERT_LT(quiet.size(), 5000u);
    EXPECT_EQ(
        std::vector<bool>(quiet.end() - 11, quiet.end()),
        std::vector<bool>({false, true, true, true, true, true, true, true, true, true, true}));
}

}  // namespace
}  // namespace veltaro::test
