// The run's set-up, from the banner to the obstacle masks: everything the
// iteration needs that comes from the user. main, the fuzz targets, the
// benchmarks and the tests all start a run through here.
#pragma once

#include <iosfwd>
#include <optional>

#include "analysis/coefficients.h"
#include "driver/dialogue.h"
#include "driver/derived_parameters.h"
#include "driver/stop_rule.h"
#include "field/run_parameters.h"
#include "geometry/covered_nodes.h"
#include "geometry/obstacle_masks.h"
#include "solver/advection_scheme.h"
#include "solver/pressure_solve.h"

namespace veltaro {

// The choices of method made on the command line; each default is the
// program's first method, which stored results depend on.
struct run_options {
    solid_node_rule solid_nodes = solid_node_rule::sampled;
    stop_rule stop = stop_rule::quiet;
    pressure_solver_kind pressure_solver = pressure_solver_kind::lu;
    advection_scheme advection = advection_scheme::first_order;
    // --unsteady=T: a time-accurate run to the flow time T, in s (with the
    // stop rule limit); empty for the march to a steady state.
    std::optional<double> unsteady = std::nullopt;
    // --frames=N: the animation's frames (120 when not given); --frames-vtk:
    // the frames as a ParaView series too. Both only with --unsteady.
    std::optional<int> frames = std::nullopt;
    bool frames_vtk = false;
    // --nodes-across=N: N nodes across the tunnel instead of the mesh
    // answer's 25, 50 or 100 (the answer is still asked and recorded).
    std::optional<int> nodes_across = std::nullopt;
};

struct run_setup {
    run_options options;
    dialogue_answers answers;
    run_parameters params;
    mesh_size mesh;
    obstacle_masks masks;    // empty after plan_run
    obstacle_size obstacle;  // measured on the grid once, with the masks
};

// The banner, the questions (and the inlet velocity when it cannot be
// derived), the derived parameters and their checks, and the mesh. Throws
// run_error on an answer that cannot make a run.
// The mesh is --nodes-across's when the options give it.
run_setup plan_run(std::istream& in, std::ostream& out, const run_options& options = {});

// plan_run, then the masks from the picture named in the answers, the node
// mask by the chosen rule.
run_setup set_up_run(std::istream& in, std::ostream& out, const run_options& options = {});

}  // namespace veltaro
