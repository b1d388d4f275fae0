// A result file appears whole or not at all. The refused writes of a run (a
// folder in the way, a read-only folder, a full disk) are in the end-to-end
// matrix; a disk that fills up at the very last flush is shown here.
#include "output/atomic_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "common/run_error.h"
#include "support/scratch_dir.h"

namespace veltaro {
namespace {

TEST(AtomicFile, AFullDiskAtTheFinalFlushKeepsTheOlderFile) {
    const test::scratch_dir folder;
    test::write_file("a.txt", "old");
    atomic_file file("a.txt", file_kind::text);
    {
        const test::file_size_limit limit(16);
        // Buffered, so the failure shows only when the buffer is flushed.
        file.write(std::string(100, 'x'));
        try {
            file.commit();
            FAIL() << "a full disk was not noticed";
        } catch (const run_error& error) {
            EXPECT_STREQ(error.what(), "Could not write \"a.txt\": File too large");
        }
    }
    EXPECT_EQ(test::read_file("a.txt"), "old");
    EXPECT_EQ(test::directory_entries(), std::set<std::string>{"a.txt"});
}

}  // namespace
}  // namespace veltaro
