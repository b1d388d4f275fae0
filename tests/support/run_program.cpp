#include "support/run_program.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "output/result_files.h"
#include "support/scratch_dir.h"

namespace veltaro::test {

program_run run_program(const std::string& answers, surroundings around,
                        const std::string& arguments) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::current_path();
    const std::string console = folder.string() + ".console";
    write_file(console + ".in", answers);
    std::string program = std::string("'") + VELTARO_EXE + "'";
    if (around == surroundings::read_only_folder) {
        fs::permissions(folder, fs::perms(0222), fs::perm_options::remove);  // every write bit
        if (geteuid() == 0) program = "setpriv --bounding-set=-dac_override,-dac_read_search " +
                                      program;
    }
    const std::string command = program + " " + arguments + " < '" + console + ".in' > '" +
                                console + ".out' 2> '" + console + ".err'";
    std::optional<file_size_limit> limit;
    if (around == surroundings::full_disk) limit.emplace(4096);
    const int raw = std::system(command.c_str());
    limit.reset();
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);
    const program_run run{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_file(console + ".out"),
                          read_file(console + ".err")};
    for (const char* end : {".in", ".out", ".err"}) fs::remove(console + end);
    return run;
}

const std::vector<std::string>& result_files() {
    static const std::vector<std::string> names(result_file_names.begin(),
                                                result_file_names.end());
    return names;
}

}  // namespace veltaro::test
