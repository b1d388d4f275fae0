// The warnings of a completed run: what the program knows that makes its
// results doubtful, said once the results are written. They change neither
// the exit status nor standard output, so callers that read the console or
// the status see the same run as before; summary.json lists them too.
//
//   iteration_limit            the loop stopped at its limit before it settled
//   not_steady                 the quiet rule or the limit ended a flow still changing
//   steady_at_floor            the steady rule stopped at the rounding floor, R above 1e-3
//   no_iterations              the limit was 0 or below: no iteration ran
//   unsteady_flow              a steady run whose lift keeps swinging: a vortex street
//   short_record               an --unsteady run with fewer than 5 periodic cycles
//   high_reynolds              a Reynolds number above 200, beyond the steady method's reach
//   mesh_choice                a mesh answer other than 0, 1 or 2 (a square 100 x 100 grid)
//   all_solid                  every pixel is dark
//   stretched_picture          the picture's proportions are not the tunnel's (more than 2%)
//   coarse_obstacle            the frontal height spans too few node spacings (below)
//   high_blockage              the frontal height is more than 30% of the grid's height
//   obstacle_touches_boundary  a solid node on the inlet column or a wall row
//   grid_not_converging        --grid-study: a coefficient's three values give no band
//   grid_study_incomplete      --grid-study: a coarser run failed, so no coefficient has a band
#pragma once

#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/coefficients.h"
#include "analysis/shedding.h"
#include "driver/iteration_loop.h"
#include "driver/set_up_run.h"
#include "driver/unsteady_run.h"
#include "output/run_summary.h"

namespace veltaro {

using run_warning = run_summary::warning;

// Below this many node spacings across its frontal height, an obstacle's
// lift changes sign from mesh to mesh; its drag stays within a few per cent.
inline constexpr double well_resolved_spacings = 8.0;

// Beyond this relative difference between the picture's width/height and
// the tunnel's length/height, the picture's shapes are visibly stretched.
inline constexpr double stretch_tolerance = 0.02;

// Above this share of the grid's height, D / ((ny - 1) dx), the walls
// squeeze the flow past the obstacle so much that its forces and wake are
// the tunnel's more than the body's.
inline constexpr double high_blockage_share = 0.3;

// The warnings that the set-up alone shows, in the order of the list above.
std::vector<run_warning> setup_warnings(const run_setup& setup,
                                        const force_coefficients& coefficients);

// A steady run whose C_L, over its last 20% of iterations, crosses its
// mean this often with a swing above settled_lift_swing looks periodic.
inline constexpr int periodic_window_percent = 20;
inline constexpr int periodic_crossings = 4;

// The warnings of how the loop ended. samples: the forces of the run's
// iterations (force_record); shedding: a time-accurate run's measure.
std::vector<run_warning> loop_warnings(const run_setup& setup, const loop_result& loop,
                                       std::span<const force_sample> samples = {},
                                       const std::optional<shedding_report>& shedding = {});

// Every warning of the run, in the order of the list above.
std::vector<run_warning> run_warnings(const run_setup& setup, const loop_result& loop,
                                      const force_coefficients& coefficients,
                                      std::span<const force_sample> samples = {},
                                      const std::optional<shedding_report>& shedding = {});

// A grid study's coefficient whose three values (finest first, on the
// meshes of nodes_across) do not converge; reason: why, as the summary has it.
run_warning grid_not_converging(const char* label, const std::string& reason,
                                const std::vector<std::optional<double>>& values,
                                const std::vector<int>& nodes_across);

// A grid study that stopped at mesh `mesh` (1-based) of nodes_across nodes
// across, for the reason in failure (the run's error line).
run_warning grid_study_incomplete(int mesh, int nodes_across, const std::string& failure);

// One line each: "Warning: " and the message.
void print_warnings(std::ostream& err, const std::vector<run_warning>& warnings);

}  // namespace veltaro
