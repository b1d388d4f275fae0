// The one program runner of the tests: runs the built program the way a
// user does, in the current folder with the answers on standard input, and
// keeps its console output and exit status.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace veltaro::test {

struct program_run {
    int status = -1;  // the exit status, or -1 when the program did not exit
    std::string out;  // standard output
    std::string err;  // standard error
};

enum class surroundings {
    plain,
    // The folder's write permission is taken away for the run. Root writes
    // into such a folder all the same, so root runs the program without the
    // capability to override file permissions.
    read_only_folder,
    // No file can grow past a few kilobytes: enough for the console and
    // "convergence.txt", too little for the tables and pictures.
    full_disk,
};

// The console files are kept beside the folder, not in it, so that nothing
// but the program writes into the folder. arguments go on the command line
// as they stand.
program_run run_program(const std::string& answers, surroundings around = surroundings::plain,
                        const std::string& arguments = "");

// Every file a complete run writes: the one list that the end-to-end checks
// of "every result is new, or old and untouched" work from.
const std::vector<std::string>& result_files();

// "dimensions", "spacing", "origin" and "<array>:<type>" -> values, as VTK's
// own reader finds them in the file (tests/support/read_vtk.py, run with the
// system Python, which the VTK bindings are packaged for). Every value written
// is a float or a small int, so narrowing what VTK read back to float is exact.
using vtk_contents = std::map<std::string, std::vector<float>>;
vtk_contents read_with_vtk(const std::string& file_name);

}  // namespace veltaro::test
