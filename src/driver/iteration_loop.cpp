#include "driver/iteration_loop.h"

#include <cmath>
#include <ostream>
#include <string>

#include "common/run_error.h"
#include "common/text_format.h"
#include "analysis/convergence_measures.h"
#include "field/set_dt.h"

namespace veltaro {

namespace {

// The interior sums cover u and v everywhere (the boundary values copy
// interior ones or are fixed); the pressure's boundary ring comes from the
// solve and is checked on its own.
bool is_finite(const flow_field& field, const mean_magnitudes& means) {
    if (!std::isfinite(means.abs_u) || !std::isfinite(means.abs_v) || !std::isfinite(means.abs_p)) {
        return false;
    }
    const int last_i = field.nx - 1;
    const int last_j = field.ny - 1;
    for (int i = 0; i <= last_i; ++i) {
        if (!std::isfinite(field.p[i][0]) || !std::isfinite(field.p[i][last_j])) return false;
    }
    for (int j = 0; j <= last_j; ++j) {
        if (!std::isfinite(field.p[0][j]) || !std::isfinite(field.p[last_i][j])) return false;
    }
    return true;
}

[[noreturn]] void refuse_divergence(int iteration) {
    throw run_error(divergence_words + std::to_string(iteration) +
                    ": the flow diverged (the velocity or pressure is no longer a finite number), "
                    "so the run has no results; try a finer mesh or a lower Reynolds number.");
}

// Counts the iterations in a row that pass the rule's test; true when
// enough have.
bool rule_is_met(stop_rule rule, const loop_result& result, int& run_of_passes) {
    bool passes = false;
    switch (rule) {
        case stop_rule::quiet:
            passes = result.change_u < quiet_change && result.change_v < quiet_change;
            break;
        case stop_rule::steady: passes = result.steadiness->steady; break;
        case stop_rule::limit: return false;
    }
    run_of_passes = passes ? run_of_passes + 1 : 0;
    return run_of_passes >= quiet_iterations_to_stop;
}

}  // namespace

loop_result run_iteration_loop(flow_field& field, const run_parameters& params,
                               const int_grid& solid_nodes, const loop_settings& settings,
                               solver_workspace& workspace, steady_monitor& monitor,
                               convergence_log& log, std::ostream& console) {
    loop_result result;
    mean_magnitudes before;
    int run_of_passes = 0;
    while (result.iterations < settings.max_iterations) {
        const std::optional<float> dt = set_dt(field, params, settings.courant);
        if (!dt) {
            console << "The flow is at rest (every speed is zero): no time step exists, so the "
                       "iteration stops here.\n";
            result.at_rest = true;
            break;
        }
        monitor.remember(field);
        projection_step(field, params, solid_nodes, workspace, *dt, settings.step);
        const double time = result.flow_time + *dt;
        if (time < settings.tilt.gone_at) {
            tilt_inlet(field, inlet_cross_velocity(settings.tilt, params.inlet_velocity, time),
                       solid_nodes);
        }
        const mean_magnitudes now = measure_field(field);
        if (!is_finite(field, now)) refuse_divergence(result.iterations + 1);
        result.change_u = relative_change(now.abs_u, before.abs_u);
        result.change_v = relative_change(now.abs_v, before.abs_v);
        result.change_p = relative_change(now.abs_p, before.abs_p);
        result.steadiness = monitor.measure(field, solid_nodes, *dt);
        result.flow_time = time;
        log.write(result.change_u, result.change_v, result.change_p, result.steadiness->residual,
                  result.steadiness->residual_rms, result.flow_time);
        ++result.iterations;
        if (settings.forces) {
            const recorded_forces recorded = settings.forces->record(
                field, {monitor.u_before(), monitor.v_before(), *dt}, result.iterations, time);
            if (settings.forces_csv) {
                settings.forces_csv->write(result.iterations, time, *dt, recorded);
            }
        }
        if (settings.frames) {
            settings.frames->observe(field, solid_nodes, time);
            result.frames = settings.frames->frames();
        }
        write_formatted(console, "count = %d, U: %e    V: %e    P: %e\n", result.iterations,
                        result.change_u, result.change_v, result.change_p);
        // A pipe (the studio reading a child) would otherwise hold lines back.
        console.flush();
        before = now;
        if (rule_is_met(settings.rule, result, run_of_passes)) {
            result.converged = true;
            break;
        }
        if (settings.end_time && result.flow_time >= *settings.end_time) {
            result.reached_end_time = true;
            break;
        }
    }
    console << "done.\n\n";
    return result;
}

}  // namespace veltaro
