#include "driver/summarise_run.h"

#include <cstdlib>

#include "common/text_format.h"

namespace veltaro {
namespace {

// The answers are single precision: 0.01 is held as 0.00999999977648...
// In the summary it reads 0.01 again, the shortest decimal that gives the
// same float back.
double as_typed(float value) { return std::strtod(shortest_text(value).c_str(), nullptr); }

void add_shedding(run_summary& summary, const run_setup& setup, const loop_result& loop,
                  const std::optional<shedding_report>& shedding) {
    summary.unsteady = setup.options.unsteady;
    summary.flow_time = loop.flow_time;
    summary.frames = loop.frames;
    summary.frames_vtk = setup.options.frames_vtk;
    if (!shedding) return;
    const shedding_measure& m = shedding->measure;
    summary.strouhal = shedding->strouhal;
    summary.strouhal_uncertainty = shedding->strouhal_uncertainty;
    summary.cycles = m.cycles;
    if (!shedding->strouhal) return;
    summary.mean_drag_coefficient = m.mean_drag_coefficient;
    summary.drag_coefficient_amplitude = m.drag_coefficient_amplitude;
    summary.lift_coefficient_amplitude = m.lift_coefficient_amplitude;
}

}  // namespace

const char* stop_reason(const loop_result& loop, stop_rule rule) {
    if (loop.at_rest) return "at rest";
    if (loop.reached_end_time) return "flow time";
    if (!loop.converged) return "iteration limit";
    return rule == stop_rule::steady ? "steady" : "settled";
}

run_summary summarise_run(const run_setup& setup, const loop_result& loop, const forces& force,
                          const force_coefficients& coefficients,
                          const std::vector<run_warning>& warnings, double seconds,
                          const std::optional<shedding_report>& shedding) {
    const dialogue_answers& answers = setup.answers;
    run_summary summary;
    summary.picture = answers.filename;
    summary.picture_width = setup.masks.picture.nx();
    summary.picture_height = setup.masks.picture.ny();
    summary.reynolds_number = as_typed(answers.reynolds);
    summary.kinematic_viscosity = as_typed(answers.kinematic_viscosity);
    summary.density = as_typed(answers.density);
    summary.tunnel_height = as_typed(answers.height);
    summary.tunnel_length = as_typed(answers.length);
    summary.mesh_choice = answers.mesh_choice;
    summary.nodes_across = setup.options.nodes_across;
    summary.max_iterations = answers.max_iterations;
    summary.inlet_velocity = as_typed(setup.params.inlet_velocity);
    summary.nx = setup.mesh.nx;
    summary.ny = setup.mesh.ny;
    summary.dx = as_typed(setup.mesh.dx);
    summary.iterations = loop.iterations;
    summary.stop = stop_reason(loop, setup.options.stop);
    summary.change_u = loop.change_u;
    summary.change_v = loop.change_v;
    summary.change_p = loop.change_p;
    summary.lift = force.lift;
    summary.drag = force.drag;
    summary.frontal_height = coefficients.frontal_height;
    summary.chord = coefficients.chord;
    summary.reynolds_frontal = coefficients.reynolds_frontal;
    summary.lift_coefficient = coefficients.lift_coefficient;
    summary.drag_coefficient = coefficients.drag_coefficient;
    summary.seconds = seconds;
    summary.lift_coefficient_chord = coefficients.lift_coefficient_chord;
    summary.drag_coefficient_chord = coefficients.drag_coefficient_chord;
    summary.warnings = warnings;
    summary.solid_nodes = solid_node_rule_name(setup.options.solid_nodes);
    if (loop.steadiness) summary.steady_residual = loop.steadiness->residual;
    summary.stop_rule = stop_rule_name(setup.options.stop);
    summary.pressure_solver = pressure_solver_name(setup.options.pressure_solver);
    summary.advection = advection_scheme_name(setup.options.advection);
    if (setup.options.unsteady) add_shedding(summary, setup, loop, shedding);
    summary.courant = courant_of(setup.options);
    summary.projection = projection_scheme_name(setup.options.projection);
    return summary;
}

}  // namespace veltaro
