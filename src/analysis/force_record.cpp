#include "analysis/force_record.h"

#include <algorithm>
#include <limits>

namespace veltaro {
namespace {

double coefficient(double force, double scale) {
    return scale > 0.0 ? force / scale : std::numeric_limits<double>::quiet_NaN();
}

}  // namespace

force_record::force_record(const force_record_settings& settings) : settings_(settings) {
    const int most = settings.time_accurate ? unsteady_history_samples : steady_history_samples;
    samples_.reserve(static_cast<std::size_t>(std::clamp(settings.max_iterations, 1, most)));
    if (settings.time_accurate && settings.solid_nodes != nullptr) {
        box_ = box_around(*settings.solid_nodes, body_box_margin);
    }
}

recorded_forces force_record::record(const flow_field& field, const previous_velocity& before,
                                     int iteration, double time) {
    const forces force = box_.valid ? box_forces(field, before, box_, *settings_.solid_nodes,
                                                 settings_.density, settings_.viscosity)
                                    : lift_and_drag(field, static_cast<float>(settings_.density));
    last_ = force;
    const force_sample sample{time, coefficient(force.lift, settings_.coefficient_scale),
                              coefficient(force.drag, settings_.coefficient_scale)};
    keep(iteration, sample);
    return {force, sample};
}

// A full buffer keeps every second sample, those of the iterations that
// are multiples of twice the stride, and the stride doubles.
void force_record::keep(int iteration, const force_sample& sample) {
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

}  // namespace veltaro
