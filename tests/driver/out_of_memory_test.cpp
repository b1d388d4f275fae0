// A mesh whose pressure factors do not fit in the memory the program may
// use: the run is refused like any other (one line, status 2) before any
// result is written, instead of ending in the sparse solver's own exit.
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "support/run_program.h"
#include "support/scratch_dir.h"

namespace veltaro::test {
namespace {

TEST(OutOfMemory, PressureFactorsThatDoNotFitRefuseTheRunBeforeAnyResult) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#endif
    const scratch_dir folder;
    std::filesystem::copy_file(std::string(VELTARO_EXAMPLES) + "/cylinder.jpg", "cylinder.jpg");
    // 4000 x 100 nodes: the field takes some 15 MB, the factors far more
    // than the 256 MB of address space that the program (through the shell
    // run_program starts) may use.
    rlimit unlimited{};
    getrlimit(RLIMIT_AS, &unlimited);
    const rlimit limit{256u << 20, unlimited.rlim_max};
    setrlimit(RLIMIT_AS, &limit);
    const program_run run = run_program("cylinder.jpg 20 0.01 1 1 40 2 2");
    setrlimit(RLIMIT_AS, &unlimited);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err,
              "The pressure equation could not be solved: the sparse solver ran out of memory; "
              "try a coarser mesh or a shorter tunnel.\n");
    EXPECT_EQ(directory_entries(), std::set<std::string>{"cylinder.jpg"});
}

}  // namespace
}  // namespace veltaro::test
