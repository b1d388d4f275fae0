// The lift and drag of every iteration. A steady run keeps them to see
// whether its flow is in fact periodic (the unsteady_flow warning); a
// time-accurate run (--unsteady=T) also writes them to "forces.csv",
//     iteration,time,dt,lift,drag,lift_coefficient,drag_coefficient
// one row per iteration, flushed every few hundred rows, and measures the
// shedding from them at the end (shedding.h).
//
// In a time-accurate run the lift carries the rate of change of the
// y-momentum in the tunnel, which the steady balance of lift_and_drag leaves
// out (docs/method.md, "Lift and drag in time"):
//   L = int_0^length (p(x, 0) - p(x, height)) dx - rho d/dt sum_fluid v dx dy.
//
// Everything is made when the history is; recording allocates nothing. The
// samples kept are thinned to every second one whenever their buffer fills,
// so a run of any length keeps an even record of its whole history.
#pragma once

#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "driver/forces.h"
#include "driver/shedding.h"
#include "field/flow_field.h"

namespace veltaro {

// The samples a history keeps at most, before it thins them.
inline constexpr int steady_history_samples = 1 << 16;
inline constexpr int unsteady_history_samples = 1 << 19;

struct history_settings {
    int max_iterations = 0;
    double density = 0.0;
    // 1/2 rho U^2 D, which turns a force into its coefficient; 0 when there
    // is no obstacle (the coefficients are then NaN, and empty in the file).
    double coefficient_scale = 0.0;
    bool time_accurate = false;
    std::string file_name;  // "forces.csv" for a time-accurate run, else empty
};

// The y-momentum per unit density and span, sum of v dx dy over the fluid
// nodes of the interior.
double y_momentum(const flow_field& field, const int_grid& solid_nodes);

class force_history {
public:
    // Throws run_error when the file cannot be made.
    explicit force_history(const history_settings& settings);

    // Call once before the first iteration, with the initial field.
    void start(const flow_field& field, const int_grid& solid_nodes);

    // The forces after an iteration of time step dt ending at flow time
    // `time`; kept, and written when there is a file. Throws run_error when
    // a row cannot be written.
    forces record(const flow_field& field, const int_grid& solid_nodes, int iteration,
                  double time, float dt);

    // Writes what is left of the file and closes it.
    void finish();

    [[nodiscard]] std::span<const force_sample> samples() const { return samples_; }
    [[nodiscard]] const forces& last() const { return last_; }

private:
    void keep(int iteration, const force_sample& sample);
    void write_row(int iteration, double time, float dt, const forces& force,
                   const force_sample& sample);

    struct closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    history_settings settings_;
    std::unique_ptr<std::FILE, closer> file_;
    std::vector<force_sample> samples_;
    int stride_ = 1;  // every stride-th iteration is kept
    double momentum_before_ = 0.0;
    forces last_;
};

}  // namespace veltaro
