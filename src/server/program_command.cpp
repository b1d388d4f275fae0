#include "server/program_command.h"

#include <cstdlib>
#include <sstream>
#include <system_error>

namespace veltaro::server {
namespace {

namespace fs = std::filesystem;

constexpr const char* program_name = "veltaro";

// The first "veltaro" of the PATH's folders, as a shell finds it; empty
// when there is none.
fs::path found_on_path(const std::string& path) {
    std::istringstream folders(path);
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        std::error_code error;
        // An empty entry is the current folder, which a pasted command must not rely on.
        if (folder.empty()) continue;
        const fs::path candidate = fs::path(folder) / program_name;
        if (fs::is_regular_file(candidate, error)) return candidate;
    }
    return {};
}

// Single quotes around a word that holds anything a shell would read
// differently, each ' inside written '\''.
std::string quoted(const std::string& word) {
    if (word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                               "/._-+") == std::string::npos) {
        return word;
    }
    std::string text = "'";
    for (const char c : word) text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return text + "'";
}

}  // namespace

std::string program_command(const fs::path& executable, const std::string& path) {
    const fs::path found = found_on_path(path);
    std::error_code error;
    if (!found.empty() && fs::equivalent(found, executable, error)) return program_name;
    const fs::path absolute = fs::weakly_canonical(executable, error);
    return quoted((error ? executable : absolute).string());
}

std::string this_program_command() {
    const char* path = std::getenv("PATH");
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    return error ? program_name : program_command(executable, path ? path : "");
}

}  // namespace veltaro::server
