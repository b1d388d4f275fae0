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

}  // namespace

convergence_log::convergence_log(const std::string& path)
    : path_(path), file_(std::fopen(path.c_str(), "w")) {
    if (!file_) refuse(path_, errno);
    if (std::fputs("0.0 0.0 0.0\n", file_.get()) == EOF || std::fflush(file_.get()) != 0) {
        refuse(path_, errno);
    }
}

void convergence_log::write(double change_u, double change_v, double change_p) {
    if (std::fprintf(file_.get(), "%e %e %e\n", change_u, change_v, change_p) < 0 ||
        std::fflush(file_.get()) != 0) {
        refuse(path_, errno);
    }
    history_.add(++iterations_, change_u, change_v, change_p);
}

}  // namespace veltaro
