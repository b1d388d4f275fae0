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

// While alive, neither this process nor a program it starts can map more
// than `bytes` of address space.
class address_space_limit {
public:
    explicit address_space_limit(rlim_t bytes) {
        getrlimit(RLIMIT_AS, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_AS, &limit);
    }
    ~address_space_limit() { setrlimit(RLIMIT_AS, &previous_); }
    address_space_limit(const address_space_limit&) = delete;
    address_space_limit& operator=(const address_space_limit&) = delete;

private:
    rlimit previous_{};
};

TEST(OutOfMemory, PressureFactorsThatDoNotFitRefuseTheRunBeforeAnyResult) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#endif
    const scratch_dir folder;
    std::filesystem::copy_file(std::string(VELTARO_EXAMPLES) + "/cylinder.jpg", "cylinder.jpg");
    program_run run;
    {
        // 4000 x 100 nodes: the field takes some 15 MB, the factors far
        // more than the 256 MB allowed.
        const address_space_limit limit(256u << 20);
        run = run_program("cylinder.jpg 20 0.01 1 1 40 2 2");
    }
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err,
              "The pressure equation could not be solved: the sparse solver ran out of memory; "
              "try a coarser mesh or a shorter tunnel.\n");
    EXPECT_EQ(directory_entries(), std::set<std::string>{"cylinder.jpg"});
}

}  // namespace
}  // namespace veltaro::test
