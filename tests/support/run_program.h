// Runs the built program the way a user does: answers on standard input, in
// a folder of its own, with its console output and exit status kept.
#pragma once

#include <filesystem>
#include <set>
#include <string>

namespace veltaro::test {

struct program_run {
    int status = -1;  // the exit status, or -1 when the program did not exit
    std::string out;  // standard output
    std::string err;  // standard error
};

// A fresh folder under the temporary directory, removed with all it holds.
class work_folder {
public:
    work_folder();
    ~work_folder();
    work_folder(const work_folder&) = delete;
    work_folder& operator=(const work_folder&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    [[nodiscard]] std::string file(const std::string& name) const {
        return (path_ / name).string();
    }
    [[nodiscard]] std::string read(const std::string& name) const;
    void write(const std::string& name, const std::string& bytes) const;
    // The names in the folder, the program's own answers and console files excluded.
    [[nodiscard]] std::set<std::string> entries() const;

    // Runs the program in this folder with `answers` on standard input.
    [[nodiscard]] program_run run(const std::string& answers) const;

private:
    std::filesystem::path path_;
};

// Every file a complete run writes.
const std::set<std::string>& result_files();

// The cylinder used throughout the tests: 800 x 200 pixels, white, with a
// black disc 40 pixels across centred at pixel (200, 100).
void write_cylinder(const std::string& filename);

}  // namespace veltaro::test
