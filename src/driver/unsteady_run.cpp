#include "driver/unsteady_run.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <ostream>

#include "common/text_format.h"
#include "driver/coefficients.h"

namespace veltaro {

start_up_tilt start_up_tilt_of(const run_setup& setup) {
    if (!setup.options.unsteady) return {};
    if (!size_on_grid(setup.masks.picture, setup.mesh).has_obstacle) return {};
    const double flow_through =
        static_cast<double>(setup.params.length) / setup.params.inlet_velocity;
    return {std::tan(start_up_tilt_degrees * std::numbers::pi / 180.0),
            tilt_held_flow_throughs * flow_through, tilt_gone_flow_throughs * flow_through};
}

float inlet_cross_velocity(const start_up_tilt& tilt, float inlet_velocity, double time) {
    if (time >= tilt.gone_at) return 0.0f;
    const double share =
        time <= tilt.hold_until ? 1.0 : (tilt.gone_at - time) / (tilt.gone_at - tilt.hold_until);
    return static_cast<float>(inlet_velocity * tilt.tangent * share);
}

// As coefficients_of divides, so that forces.csv and the summary agree.
double coefficient_scale(const run_setup& setup) {
    const obstacle_size size = size_on_grid(setup.masks.picture, setup.mesh);
    if (!size.has_obstacle) return 0.0;
    const double velocity = setup.params.inlet_velocity;
    const double dynamic_pressure = 0.5 * setup.params.density * velocity * velocity;
    return dynamic_pressure * size.frontal_height;
}

history_settings history_settings_of(const run_setup& setup) {
    const bool time_accurate = setup.options.unsteady.has_value();
    return {setup.answers.max_iterations,      setup.params.density,
            coefficient_scale(setup),          time_accurate,
            time_accurate ? "forces.csv" : "", &setup.masks.solid_nodes,
            setup.params.dynamic_viscosity};
}

shedding_report report_shedding(const run_setup& setup, const force_history& history) {
    shedding_report report;
    report.measure = measure_shedding(history.samples(), start_up_tilt_of(setup).gone_at);
    const std::optional<double>& period = report.measure.period;
    const obstacle_size size = size_on_grid(setup.masks.picture, setup.mesh);
    if (!period || !size.has_obstacle) return report;
    const double strouhal = size.frontal_height / (setup.params.inlet_velocity * *period);
    report.strouhal = strouhal;
    report.strouhal_uncertainty = strouhal * *report.measure.period_spread / *period;
    return report;
}

void print_shedding(std::ostream& out, const run_setup& setup, double flow_time,
                    const shedding_report& report) {
    const shedding_measure& m = report.measure;
    out << '\n'
        << format_text("Flow time = %e [s] of %g [s]\n", flow_time, *setup.options.unsteady);
    if (report.strouhal) {
        out << format_text("St = %e +- %e (f = %e [Hz], %d cycles)\n", *report.strouhal,
                           *report.strouhal_uncertainty, 1.0 / *m.period, m.cycles)
            << format_text("Mean C_D = %e\n", *m.mean_drag_coefficient)
            << format_text("C_D amplitude = %e\n", *m.drag_coefficient_amplitude)
            << format_text("C_L amplitude = %e\n", *m.lift_coefficient_amplitude);
    } else if (m.settles) {
        out << "No shedding: the lift settles.\n";
    } else {
        out << format_text("No Strouhal number: %d periodic cycles, fewer than %d.\n", m.cycles,
                           fewest_reported_cycles);
    }
}

}  // namespace veltaro
