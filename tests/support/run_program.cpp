#include "support/run_program.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/make_jpeg.h"

namespace veltaro::test {

namespace {

const char* const answers_file = ".answers";
const char* const out_file = ".stdout";
const char* const err_file = ".stderr";

}  // namespace

work_folder::work_folder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "veltaro-run-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

work_folder::~work_folder() {
    std::error_code ignored;
    // A test may have taken the write permission away.
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::string work_folder::read(const std::string& name) const {
    std::ifstream in(file(name), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void work_folder::write(const std::string& name, const std::string& bytes) const {
    std::ofstream(file(name), std::ios::binary) << bytes;
}

std::set<std::string> work_folder::entries() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
        const std::string name = entry.path().filename().string();
        if (name != answers_file && name != out_file && name != err_file) names.insert(name);
    }
    return names;
}

program_run work_folder::run(const std::string& answers) const {
    write(answers_file, answers);
    const std::string command = "cd '" + path_.string() + "' && '" + VELTARO_EXE + "' < " +
                                answers_file + " > " + out_file + " 2> " + err_file;
    const int raw = std::system(command.c_str());
    program_run result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = read(out_file);
    result.err = read(err_file);
    std::filesystem::remove(file(answers_file));
    std::filesystem::remove(file(out_file));
    std::filesystem::remove(file(err_file));
    return result;
}

const std::set<std::string>& result_files() {
    static const std::set<std::string> names = {"convergence.txt", "U.dat",       "V.dat",
                                                "P.dat",           "U.jpg",       "V.jpg",
                                                "pressure.jpg",    "velocity.jpg"};
    return names;
}

void write_cylinder(const std::string& filename) {
    write_jpeg(filename, disc_picture(800, 200, 199.5, 99.5, 20.0));
}

}  // namespace veltaro::test
