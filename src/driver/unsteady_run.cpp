#include "driver/unsteady_run.h"

#include <ostream>

#include "common/text_format.h"

namespace veltaro {

start_up_tilt start_up_tilt_of(const run_setup& setup) {
    if (!setup.options.unsteady || !setup.obstacle.has_obstacle) return {};
    return start_up_tilt_for(setup.params.length, setup.params.inlet_velocity);
}

// The coefficients' own divisor, so that forces.csv and the summary agree.
force_record_settings force_record_settings_of(const run_setup& setup) {
    return {setup.answers.max_iterations,
            setup.params.density,
            coefficient_scale(setup.obstacle, setup.params),
            setup.options.unsteady.has_value(),
            &setup.masks.solid_nodes,
            setup.params.dynamic_viscosity};
}

shedding_report report_shedding(const run_setup& setup, const force_record& forces) {
    return report_shedding(forces.samples(), start_up_tilt_of(setup).gone_at, setup.obstacle,
                           setup.params.inlet_velocity);
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
