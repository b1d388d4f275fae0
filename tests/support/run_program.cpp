#include "support/run_program.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>

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

vtk_contents read_with_vtk(const std::string& file_name) {
    const std::string command = std::string("/usr/bin/python3 '") + VELTARO_TEST_DATA +
                                "/../support/read_vtk.py' '" + file_name + "'";
    const std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string output;
    char block[4096];
    for (std::size_t n; (n = std::fread(block, 1, sizeof block, pipe.get())) > 0;)
        output.append(block, n);
    std::istringstream lines(output);  // a line per array, however long
    vtk_contents contents;
    for (std::string line, name; std::getline(lines, line);) {
        std::istringstream words(line);
        words >> name;
        for (double value; words >> value;) contents[name].push_back(static_cast<float>(value));
    }
    return contents;
}

}  // namespace veltaro::test
