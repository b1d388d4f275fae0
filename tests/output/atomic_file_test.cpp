#include "output/atomic_file.h"

#include <filesystem>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "common/run_error.h"
#include "support/scratch_dir.h"

namespace veltaro {
namespace {

using test::directory_entries;
using test::read_file;
using test::write_file;

TEST(AtomicFile, TheFileAppearsOnlyOnCommit) {
    test::scratch_dir dir;
    atomic_file file("a.txt", file_kind::text);
    file.write("hello\n");
    EXPECT_FALSE(std::filesystem::exists("a.txt"));
    file.commit();
    EXPECT_EQ(read_file("a.txt"), "hello\n");
    EXPECT_EQ(directory_entries(), std::set<std::string>{"a.txt"});
}

TEST(AtomicFile, CommitReplacesAnOlderFile) {
    test::scratch_dir dir;
    write_file("a.txt", "old contents that are longer");
    atomic_file file("a.txt", file_kind::binary);
    file.write("new");
    file.commit();
    EXPECT_EQ(read_file("a.txt"), "new");
}

TEST(AtomicFile, WithoutCommitNothingChanges) {
    test::scratch_dir dir;
    write_file("a.txt", "old");
    {
        atomic_file file("a.txt", file_kind::text);
        file.write("new");
    }
    EXPECT_EQ(read_file("a.txt"), "old");
    EXPECT_EQ(directory_entries(), std::set<std::string>{"a.txt"});
}

TEST(AtomicFile, AMissingDirectoryIsRefusedByName) {
    test::scratch_dir dir;
    try {
        atomic_file file("missing/a.txt", file_kind::text);
        FAIL() << "expected a run_error";
    } catch (const run_error& error) {
        EXPECT_STREQ(error.what(), "Could not write \"missing/a.txt\": No such file or directory");
        EXPECT_EQ(error.status(), refusal_status);
    }
}

TEST(AtomicFile, ANameTakenByADirectoryFailsOnCommitAndLeavesItAlone) {
    test::scratch_dir dir;
    std::filesystem::create_directory("a.txt");
    write_file("a.txt/inside", "kept");
    atomic_file file("a.txt", file_kind::text);
    file.write("new");
    EXPECT_THROW(file.commit(), run_error);
    EXPECT_EQ(read_file("a.txt/inside"), "kept");
    EXPECT_EQ(directory_entries(), std::set<std::string>{"a.txt"});
}

TEST(AtomicFile, AFullDiskFailsOnCommitAndKeepsTheOlderFile) {
    test::scratch_dir dir;
    write_file("a.txt", "old");
    atomic_file file("a.txt", file_kind::text);
    {
        const test::file_size_limit limit(16);
        // Buffered, so the failure shows when the buffer is flushed.
        file.write(std::string(100, 'x'));
        try {
            file.commit();
            FAIL() << "expected a run_error";
        } catch (const run_error& error) {
            EXPECT_STREQ(error.what(), "Could not write \"a.txt\": File too large");
        }
    }
    EXPECT_EQ(read_file("a.txt"), "old");
}

}  // namespace
}  // namespace veltaro
