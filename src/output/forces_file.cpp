#include "output/forces_file.h"

#include <cmath>
#include <utility>

#include "common/run_error.h"

namespace veltaro {
namespace {

constexpr int rows_per_flush = 256;

[[noreturn]] void refuse_file(const std::string& name, const char* what) {
    throw run_error("Could not " + std::string(what) + " \"" + name +
                    "\" in the current folder; check that it is writable and not full.");
}

}  // namespace

forces_file::forces_file(std::string name) : name_(std::move(name)) {
    file_.reset(std::fopen(name_.c_str(), "w"));
    if (!file_ || std::fputs("iteration,time,dt,lift,drag,lift_coefficient,drag_coefficient\n",
                             file_.get()) < 0) {
        refuse_file(name_, "write");
    }
}

void forces_file::write(int iteration, double time, float dt, const recorded_forces& recorded) {
    const forces& force = recorded.force;
    const force_sample& sample = recorded.sample;
    int written = 0;
    if (std::isfinite(sample.lift_coefficient)) {
        written = std::fprintf(file_.get(), "%d,%.9g,%.6e,%.6e,%.6e,%.6e,%.6e\n", iteration, time,
                               static_cast<double>(dt), force.lift, force.drag,
                               sample.lift_coefficient, sample.drag_coefficient);
    } else {
        written = std::fprintf(file_.get(), "%d,%.9g,%.6e,%.6e,%.6e,,\n", iteration, time,
                               static_cast<double>(dt), force.lift, force.drag);
    }
    if (written < 0 || (iteration % rows_per_flush == 0 && std::fflush(file_.get()) != 0)) {
        refuse_file(name_, "write");
    }
}

void forces_file::finish() {
    if (file_ && std::fclose(file_.release()) != 0) refuse_file(name_, "write");
}

}  // namespace veltaro
