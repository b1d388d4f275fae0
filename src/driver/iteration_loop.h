// The pseudo-time march: time step, one step of the method
// (solver/projection_step.h), then the convergence measures on the console
// and in "convergence.txt", with the steady residual in "residual.txt",
// until the stop rule ends it or the iteration limit. A time-accurate run
// marches the same way to its flow time.
#pragma once

#include <iosfwd>
#include <optional>

#include "analysis/force_record.h"
#include "analysis/steady_residual.h"
#include "driver/convergence_log.h"
#include "driver/frame_capture.h"
#include "driver/stop_rule.h"
#include "field/boundary_conditions.h"
#include "field/flow_field.h"
#include "field/run_parameters.h"
#include "output/forces_file.h"
#include "solver/projection_step.h"
#include "field/set_dt.h"
#include "solver/solver_workspace.h"

namespace veltaro {

// A change below this in both mean velocities counts as a quiet iteration;
// ten quiet ones in a row end the run. The steady rule also waits for ten
// steady iterations in a row.
inline constexpr float quiet_change = 2e-6f;
inline constexpr int quiet_iterations_to_stop = 10;

struct loop_settings {
    int max_iterations = 0;
    stop_rule rule = stop_rule::quiet;
    step_settings step = {};  // the ghost nodes, and whether the body is held
    // A time-accurate run ends at this flow time (s), or at the limit.
    std::optional<double> end_time = std::nullopt;
    start_up_tilt tilt = {};  // none unless a time-accurate run with a body
    force_record* forces = nullptr;  // records the forces of every iteration
    forces_file* forces_csv = nullptr;  // and writes them, for a time-accurate run
    frame_capture* frames = nullptr;  // the animation's, for a time-accurate run
    double courant = default_courant;  // of the time step (set_dt)
};

struct loop_result {
    int iterations = 0;
    bool converged = false;  // the stop rule ended the loop before the limit
    bool at_rest = false;  // every speed became zero: no time step exists
    bool reached_end_time = false;  // a time-accurate run reached its flow time
    // The relative changes of the last iteration, as printed.
    double change_u = 0.0;
    double change_v = 0.0;
    double change_p = 0.0;
    double flow_time = 0.0;  // the time steps summed, s
    int frames = 0;  // the animation's frames taken
    // The steady residual of the last iteration; empty when none ran.
    std::optional<steady_measure> steadiness;
};

// Runs the loop and prints its lines and the closing "done.". Throws
// run_error when the flow diverges, naming the iteration.
// monitor: buffers sized for the field.
loop_result run_iteration_loop(flow_field& field, const run_parameters& params,
                               const int_grid& solid_nodes, const loop_settings& settings,
                               solver_workspace& workspace, steady_monitor& monitor,
                               convergence_log& log, std::ostream& console);

}  // namespace veltaro
