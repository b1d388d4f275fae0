#include "driver/force_history.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/run_error.h"

namespace veltaro {
namespace {

// Rows written between two flushes of "forces.csv": a studio or a user
// watching the file sees it grow, without a system call per iteration.
constexpr int rows_per_flush = 256;

[[noreturn]] void refuse_file(const std::string& name, const char* what) {
    throw run_error("Could not " + std::string(what) + " \"" + name +
                    "\" in the current folder; check that it is writable and not full.");
}

double coefficient(double force, double scale) {
    return scale > 0.0 ? force / scale : std::numeric_limits<double>::quiet_NaN();
}

}  // namespace

force_history::force_history(const history_settings& settings) : settings_(settings) {
    const int most = settings.time_accurate ? unsteady_history_samples : steady_history_samples;
    samples_.reserve(static_cast<std::size_t>(std::clamp(settings.max_iterations, 1, most)));
    if (settings.time_accurate && settings.solid_nodes != nullptr) {
        box_ = box_around(*settings.solid_nodes, body_box_margin);
    }
    if (settings.file_name.empty()) return;
    file_.reset(std::fopen(settings.file_name.c_str(), "w"));
    if (!file_ || std::fputs("iteration,time,dt,lift,drag,lift_coefficient,drag_coefficient\n",
                             file_.get()) < 0) {
        refuse_file(settings.file_name, "write");
    }
}

forces force_history::record(const flow_field& field, const previous_velocity& before,
                             int iteration, double time) {
    const forces force = box_.valid ? box_forces(field, before, box_, *settings_.solid_nodes,
                                                 settings_.density, settings_.viscosity)
                                    : lift_and_drag(field, static_cast<float>(settings_.density));
    const float dt = static_cast<float>(before.dt);
    last_ = force;
    const force_sample sample{time, coefficient(force.lift, settings_.coefficient_scale),
                              coefficient(force.drag, settings_.coefficient_scale)};
    keep(iteration, sample);
    if (file_) write_row(iteration, time, dt, force, sample);
    return force;
}

// A full buffer keeps every second sample, those of the iterations that
// are multiples of twice the stride, and the stride doubles.
void force_history::keep(int iteration, const force_sample& sample) {
    if (iteration % stride_ != 0) return;
    if (samples_.size() == samples_.capacity()) {
        std::size_t kept = 0;
        for (std::size_t k = 1; k < samples_.size(); k += 2) samples_[kept++] = samples_[k];
        samples_.resize(kept);
        stride_ *= 2;
        if (iteration % stride_ != 0) return;
    }
    samples_.push_back(sample);
}

void force_history::write_row(int iteration, double time, float dt, const forces& force,
                              const force_sample& sample) {
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
        refuse_file(settings_.file_name, "write");
    }
}

void force_history::finish() {
    if (file_ && std::fclose(file_.release()) != 0) refuse_file(settings_.file_name, "write");
}

}  // namespace veltaro
