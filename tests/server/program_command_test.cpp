// How the page's command line names the program: the bare name only where
// the PATH leads a shell to this very file, else a path that works from any
// folder.
#include "server/program_command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/scratch_dir.h"

namespace veltaro::server {
namespace {

namespace fs = std::filesystem;

void write_program(const fs::path& file) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << "#!/bin/sh\n";
}

TEST(ProgramCommand, BareNameOnlyWhereThePathFindsThisFile) {
    const test::scratch_dir folder;
    const fs::path here = fs::current_path();
    write_program(here / "build/veltaro");
    write_program(here / "other/veltaro");
    write_program(here / "with space/veltaro");
    fs::create_directories(here / "empty");
    fs::create_directories(here / "links");
    fs::create_symlink(here / "build/veltaro", here / "links/veltaro");
    const std::string build = (here / "build").string();
    const std::string absolute = (here / "build/veltaro").string();
    // clang-format off
    const struct { const char* name; fs::path executable; std::string path, command; } rows[] = {
        {"on the PATH", here / "build/veltaro", "/nowhere:" + build, "veltaro"},
        {"a link to it on the PATH", here / "build/veltaro", (here / "links").string() + ":" + build, "veltaro"},
        {"not on the PATH", here / "build/veltaro", "/usr/bin:" + (here / "empty").string(), absolute},
        {"another veltaro first", here / "build/veltaro", (here / "other").string() + ":" + build, absolute},
        {"the current folder only, by an empty entry", here / "build/veltaro", ":/usr/bin", absolute},
        {"no PATH", here / "build/veltaro", "", absolute},
        {"a relative name", "build/veltaro", "", absolute},
        {"a folder with a blank", here / "with space/veltaro", "", std::string("'").append((here / "with space/veltaro").string()).append("'")},
    };
    // clang-format on
    for (const auto& row : rows) {
        EXPECT_EQ(program_command(row.executable, row.path), row.command) << row.name;
    }
}

}  // namespace
}  // namespace veltaro::server
