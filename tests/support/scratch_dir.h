// The one scratch folder and file reader of the tests: a fresh folder to
// work in, reading and writing whole files, and a file size limit that makes
// writes fail the way a full disk does.
#pragma once

#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>

namespace veltaro::test {

// Makes a new folder under the temporary directory and works in it until
// destroyed; then goes back and removes it with all it holds, even after a
// test took its write permission away.
class scratch_dir {
public:
    scratch_dir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "veltaro-test-XXXXXX");
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        std::filesystem::current_path(path_ = pattern);
    }
    ~scratch_dir() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    scratch_dir(const scratch_dir&) = delete;
    scratch_dir& operator=(const scratch_dir&) = delete;

private:
    std::filesystem::path previous_ = std::filesystem::current_path(), path_;
};

inline std::string read_file(const std::string& name) {
    std::ostringstream text;
    text << std::ifstream(name, std::ios::binary).rdbuf();
    return text.str();
}

inline void write_file(const std::string& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary) << bytes;
}

// The names in the current folder: shows leftover temporary files.
inline std::set<std::string> directory_entries() {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator("."))
        names.insert(entry.path().filename().string());
    return names;
}

// While alive, no file of this process (or of a program it starts) can grow
// past `bytes`: writes beyond fail with EFBIG instead of raising SIGXFSZ.
// Unlike a read-only folder, this stops root too.
class file_size_limit {
public:
    explicit file_size_limit(rlim_t bytes) : previous_handler_(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &previous_);
        const rlimit limit{bytes, previous_.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~file_size_limit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previous_handler_);
    }
    file_size_limit(const file_size_limit&) = delete;
    file_size_limit& operator=(const file_size_limit&) = delete;

private:
    rlimit previous_{};
    void (*previous_handler_)(int) = nullptr;
};

}  // namespace veltaro::test
