// The pseudo-time march: time step, advection, pressure, momentum, boundary
// conditions, then the convergence measures on the console and in
// "convergence.txt", with the steady residual in "residual.txt", until the
// stop rule ends it or the iteration limit. A time-accurate run marches the
// same way to its flow time.
#pragma once

#include <iosfwd>
#include <optional>

#include "driver/convergence_log.h"
#include "driver/force_history.h"
#include "driver/frame_capture.h"
#include "driver/steady_residual.h"
#include "driver/stop_rule.h"
#include "driver/unsteady_run.h"
#include "field/flow_field.h"
#include "field/ghost_nodes.h"
#include "field/run_parameters.h"
#include "field/set_dt.h"
#include "solver/solver_workspace.h"

namespace veltaro {

// A change below this in both mean velocities counts as a quiet iteration;
// ten quiet ones in a row end the run. The steady rule also waits for ten
// steady iterations in a row.
inline constexpr float quiet_change = 2e-6f;
inline constexpr int quiet_iterations_to_stop = 10;

// Means of |u|, |v| and |p| over the interior nodes, divided by the count of
// all nodes (boundaries included): the measures whose relative change the
// convergence test watches.
struct mean_magnitudes {
    float abs_u = 0.0f;
    float abs_v = 0.0f;
    float abs_p = 0.0f;
};

mean_magnitudes measure_field(const flow_field& field);

// |now - before| / now. Where the mean is zero the ratio has no value: no
// change at all counts as 0, a change to zero as 1.
double relative_change(float now, float before);

// One pass of the method with the time step dt (docs/method.md, "One
// iteration"): advection, the velocity Laplacians, the pressure Poisson
// equation, the momentum update, the boundary conditions, and the ghost
// nodes' values when there are any.
// A time-accurate iteration (hold_body) also holds the solid nodes in the
// projection (hold_solid_nodes).
void advance_one_iteration(flow_field& field, const run_parameters& params,
                           const int_grid& solid_nodes, solver_workspace& workspace, float dt,
                           const ghost_nodes* ghosts = nullptr, bool hold_body = false);

struct loop_settings {
    int max_iterations = 0;
    stop_rule rule = stop_rule::quiet;
    const ghost_nodes* ghosts = nullptr;  // the outline rule's, else none
    // A time-accurate run ends at this flow time (s), or at the limit.
    std::optional<double> end_time = std::nullopt;
    start_up_tilt tilt = {};  // none unless a time-accurate run with a body
    force_history* history = nullptr;  // records the forces of every iteration
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
