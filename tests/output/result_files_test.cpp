// A result file appears whole or not at all: the refused writes of a run (a
// folder in the way, a read-only folder, a full disk) are in the end-to-end
// matrix; a disk that fills up at the very last flush is shown here.
// That --help names every listed file is in the options test. That a run writes
// exactly the listed files, and the summary's keys in order, are checked on
// the end-to-end runs (tests/e2e/unsteady_test.cpp, tests/e2e/bad_input_test.cpp).
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "common/run_error.h"
#include "output/atomic_file.h"
#include "support/scratch_dir.h"

namespace veltaro::test {
namespace {

TEST(AtomicFile, AFullDiskAtTheFinalFlushKeepsTheOlderFile) {
    const scratch_dir folder;
    write_file("a.txt", "old");
    atomic_file file("a.txt", file_kind::text);
    {
        const file_size_limit limit(16);
        // Buffered, so the failure shows only when the buffer is flushed.
        file.write(std::string(100, 'x'));
        try {
            file.commit();
            FAIL() << "a full disk was not noticed";
        } catch (const run_error& error) {
            EXPECT_STREQ(error.what(), "Could not write \"a.txt\": File too large");
        }
    }
    EXPECT_EQ(read_file("a.txt"), "old");
    EXPECT_EQ(directory_entries(), std::set<std::string>{"a.txt"});
}

}  // namespace
}  // namespace veltaro::test
