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
#include "field/set_dt.h"
#include "geometry/covered_nodes.h"
#include "geometry/obstacle_masks.h"
#include "solver/advection_scheme.h"
#include "solver/projection_scheme.h"
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
    projection_scheme projection = projection_scheme::nodes;
    // --courant=C: the time step's Courant number, 0 < C <= 1; empty for
    // the default of courant_of.
    std::optional<double> courant = std::nullopt;
    // --nodes-across=N: N nodes across the tunnel instead of the mesh
    // answer's 25, 50 or 100 (the answer is still asked and recorded).
    std::optional<int> nodes_across = std::nullopt;
    // --threads=N: the threads the iteration is split over; the machine's
    // cores when not given (or OMP_NUM_THREADS). The results do not change.
    std::optional<int> threads = std::nullopt;
    // --grid-study: the case on its mesh and on two coarser ones, with the
    // error band of each coefficient from the three (driver/grid_study.h).
    bool grid_study = false;
};

// The Courant number a steady run with the face projection and the
// second-order advection takes when none is given: its steady state does
// not depend on the step, and on the validation cylinder the step is stable
// up to 0.8 (0.9 and 1 are not), so 0.5 keeps a margin (docs/method.md,
// section 6.3).
inline constexpr double steady_faces_courant = 0.5;

// The run's Courant number: the one given, else steady_faces_courant for
// such a run, else the default 0.1 of every earlier result.
double courant_of(const run_options& options);

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

// The same case, the same answers and options, on a mesh of nodes_across
// nodes across (sized as --nodes-across sizes it), with its own masks: a
// grid study's coarser meshes. Asks nothing.
run_setup set_up_on_mesh(const run_setup& planned, int nodes_across);

}  // namespace veltaro
