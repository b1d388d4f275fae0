#include "driver/convergence_log.h"

#include <cerrno>
#include <cstring>

#include "common/run_error.h"

namespace veltaro {

namespace {

[[noreturn]] void refuse(const std::string& path, int error) {
    throw run_error("Could not write \"" + path + "\": " + std::strerror(error) +
                    "; run the program in a folder where files can be written.");
}

// Opens the file for writing and puts its first line in.
std::FILE* start_file(const std::string& path, const char* first_line) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) refuse(path, errno);
    if (std::fputs(first_line, file) == EOF || std::fflush(file) != 0) {
        const int error = errno;
        std::fclose(file);
        refuse(path, error);
    }
    return file;
}

}  // namespace

convergence_log::convergence_log(const std::string& path, const std::string& residual_path)
    : path_(path),
      file_(start_file(path, "0.0 0.0 0.0\n")),
      residual_path_(residual_path),
      residual_file_(start_file(residual_path,
                                "# iteration, steady residual max and rms [U^2/c], flow time [s]\n")) {}

void convergence_log::write(double change_u, double change_v, double change_p, double residual,
                            double residual_rms, double flow_time) {
    if (std::fprintf(file_.get(), "%e %e %e\n", change_u, change_v, change_p) < 0 ||
        std::fflush(file_.get()) != 0) {
        refuse(path_, errno);
    }
    ++iterations_;
    if (std::fprintf(residual_file_.get(), "%d %e %e %e\n", iterations_, residual, residual_rms,
                     flow_time) < 0 ||
        std::fflush(residual_file_.get()) != 0) {
        refuse(residual_path_, errno);
    }
    history_.add(iterations_, change_u, change_v, change_p);
}

}  // namespace veltaro
