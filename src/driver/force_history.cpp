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

double y_momentum(const flow_field& field, const int_grid& solid_nodes) {
    double sum = 0.0;
    for (int i = 1; i <= field.nx - 2; ++i) {
        const float* v = field.v[i];
        const int* solid = solid_nodes[i];
        for (int j = 1; j <= field.ny - 2; ++j) {
            if (solid[j] == 0) sum += v[j];
        }
    }
    return sum * field.dx * field.dy;
}

force_history::force_history(const history_settings& settings) : settings_(settings) {
    const int most = settings.time_accurate ? unsteady_history_samples : steady_history_samples;
    samples_.reserve(static_cast<std::size_t>(std::clamp(settings.max_iterations, 1, most)));
    if (settings.file_name.empty()) return;
    file_.reset(std::fopen(settings.file_name.c_str(), "w"));
    if (!file_ ||
        std::fputs("iteration,time,dt,lift,drag,lift_coefficient,drag_coefficient\n",
                   file_.get()) < 0) {
        refuse_file(settings.file_name, "write");
    }
}

void force_history::start(const flow_field& field, const int_grid& solid_nodes) {
    if (settings_.time_accurate) momentum_before_ = y_momentum(field, solid_nodes);
}

forces force_history::record(const flow_field& field, const int_grid& solid_nodes,
                             int iteration, double time, float dt) {
    forces force = lift_and_drag(field, static_cast<float>(settings_.density));
    if (settings_.time_accurate) {
        // L = L_boundary - rho (M(n+1) - M(n)) / dt, M the y-momentum per density.
        const double momentum = y_momentum(field, solid_nodes);
        force.lift -= settings_.density * (momentum - momentum_before_) / dt;
        momentum_before_ = momentum;
    }
    const force_sample sample{time, coefficient(force.lift, settings_.coefficient_scale),
                              coefficient(force.drag, settings_.coefficient_scale)};
    keep(iteration, sample);
    if (file_) write_row(iteration, time, dt, force, sample);
    last_ = force;
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
