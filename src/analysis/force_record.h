// The lift and drag of every iteration. A steady run keeps them to see
// whether its flow is in fact periodic (the unsteady_flow warning); a
// time-accurate run (--unsteady=T) measures the shedding from them at the
// end (shedding.h), and the driver writes each one to "forces.csv"
// (output/forces_file.h).
//
// A steady run's forces are those of the balance over the tunnel
// (lift_and_drag); a time-accurate run's are those of the balance over a box
// around the body, with the rate of change of the momentum it holds
// (body_forces.h), unless the body comes too near the tunnel's boundary for
// a box, when the tunnel's balance stands in.
//
// Everything is made when the record is; recording allocates nothing. The
// samples kept are thinned to every second one whenever their buffer fills,
// so a run of any length keeps an even record of its whole history.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "analysis/body_forces.h"
#include "analysis/forces.h"
#include "analysis/shedding.h"
#include "field/flow_field.h"

namespace veltaro {

// The samples a record keeps at most, before it thins them.
inline constexpr int steady_history_samples = 1 << 16;
inline constexpr int unsteady_history_samples = 1 << 19;

struct force_record_settings {
    int max_iterations = 0;
    double density = 0.0;
    // 1/2 rho U^2 D, which turns a force into its coefficient; 0 when there
    // is no obstacle (the coefficients are then NaN).
    double coefficient_scale = 0.0;
    bool time_accurate = false;             // keeps more samples, measures on the body's box
    const int_grid* solid_nodes = nullptr;  // for the box; none: the tunnel's balance
    double viscosity = 0.0;                 // mu, kg/(m s)
};

// One iteration's forces and their coefficients.
struct recorded_forces {
    forces force;
    force_sample sample;
};

class force_record {
public:
    explicit force_record(const force_record_settings& settings);

    // The forces after an iteration from the velocity `before` ending at
    // flow time `time`, kept.
    recorded_forces record(const flow_field& field, const previous_velocity& before, int iteration,
                           double time);

    // The forces of the last iteration recorded, when there was one.
    [[nodiscard]] const std::optional<forces>& last() const { return last_; }
    [[nodiscard]] std::span<const force_sample> samples() const { return samples_; }

private:
    void keep(int iteration, const force_sample& sample);

    force_record_settings settings_;
    std::vector<force_sample> samples_;
    int stride_ = 1;  // every stride-th iteration is kept
    force_box box_;   // valid only for a time-accurate run with room for it
    std::optional<forces> last_;
};

}  // namespace veltaro
