// What one iteration of the pseudo-time march costs, and what it is made of,
// on the shipped cylinder in a 1 x 4 tunnel at Re = 20 for the three named
// meshes; and how long the whole program takes on the standard mesh.
//
//     bash bench/run.sh            (Release build, medians of 5 repetitions)
//
// Cases, each for ny = 25, 50, 100 (100 x 25, 200 x 50, 400 x 100 nodes):
//   BM_Iteration         one pass as the run makes it: the time step, the
//                        pass itself and the convergence measures. The
//                        console line and the "convergence.txt" line are left
//                        out: they are I/O, not computation.
//   BM_IterationOneShot  the same pass converting, ordering and factorising
//                        the pressure matrix afresh: the baseline.
//   BM_TriangularSolve   only the two triangular solves with stored factors:
//                        the floor no pass with those factors goes under.
//   BM_IterationFft      BM_Iteration with the transform solve of the
//                        pressure instead of the LU factors.
//   BM_TransformSolve    the transform solve alone, the counterpart of
//                        BM_TriangularSolve.
//   BM_NonSolverPart     everything in a pass except the pressure solve.
//   BM_AdvectionStage    the advection stage alone.
//   BM_AdvectionStageSecondOrder  the same with --advection=second-order.
//   BM_IterationSecondOrder       BM_Iteration with --advection=second-order.
//   BM_IterationOutline  BM_Iteration with --solid-nodes=outline: the ghost
//                        nodes' cost beside BM_Iteration's.
//   BM_IterationOutlineSecondOrderFft  BM_Iteration with --solid-nodes=outline
//                        --advection=second-order --pressure-solver=fft, the
//                        validation page's configuration (ny = 100 only).
//   BM_IterationFaces    the same with --projection=faces, from the same
//                        warmed state: the face projection's cost beside it.
//   BM_OutlineSetUp      the outline rule's node classes and ghost table
//                        from the decoded picture.
//   BM_WholeRunStandard  the built program from the dialogue to the last
//                        picture, in a folder of its own.
#include <benchmark/benchmark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/convergence_measures.h"
#include "driver/set_up_run.h"
#include "field/flow_field.h"
#include "field/set_dt.h"
#include "geometry/ghost_node_rule.h"
#include "solver/advection_step.h"
#include "solver/laplacian.h"
#include "solver/pressure_equation.h"
#include "solver/projection_step.h"
#include "solver/solver_workspace.h"
#include "solver/sparse_lu.h"

namespace veltaro {
namespace {

const std::string cylinder_picture = std::string(VELTARO_EXAMPLES) + "/cylinder.jpg";

// Enough passes to leave the start-up transient, where the time step and
// the pressure are still far from what most of a run sees.
constexpr int warm_up_iterations = 50;

// A run's state after the warm-up, made once per mesh and shared by every
// case on that mesh. Each case times a copy of `field`, so the cases do not
// depend on the order they run in.
struct warmed_run {
    run_setup setup;
    flow_field field;
    solver_workspace workspace;
    solver_workspace fft_workspace;           // the same grid, with the transform solve
    solver_workspace second_order_workspace;  // the LU factors, second-order advection
    // The transform solve and second-order advection, with the node and the
    // face projection.
    solver_workspace outline_workspace;
    solver_workspace faces_workspace;
    std::vector<float> pressure_rhs_values;  // the next pass's right-hand side
};

float time_step(const flow_field& field, const run_parameters& params) {
    const std::optional<float> dt = set_dt(field, params);
    if (!dt) throw std::runtime_error("the benchmark flow came to rest");
    return *dt;
}

// How a benchmark pass gets its pressure: the run's own solve
// (solve_pressure_system), or one of these.
// Converting, ordering and factorising afresh: the baseline.
void solve_one_shot(solver_workspace& workspace) {
    const csr_matrix& matrix = workspace.pressure_matrix;
    solve_sparse_matrix(matrix.n, matrix.nnz(), matrix.values.data(), matrix.col_index.data(),
                        matrix.row_ptr.data(), workspace.rhs.data(), workspace.solution.data());
}

// The last pressure again: everything but the solve.
void keep_last_pressure(solver_workspace& /*workspace*/) {}

// The right-hand side the next pass would solve for. Only work arrays
// change here, and the next pass overwrites them before reading them.
std::vector<float> next_pressure_rhs(warmed_run& run) {
    const float dt = time_step(run.field, run.setup.params);
    advection_step(run.field, dt, run.workspace.moved);
    velocity_laplacians(run.field, run.workspace);
    pressure_rhs(run.field, dt, run.setup.params, run.workspace);
    return run.workspace.rhs;
}

// Set up as the program sets up a run (the cylinder at Re 20, viscosity
// 0.01, density 1, height 1, length 4), then marched through the warm-up.
std::unique_ptr<warmed_run> make_warmed_run(int mesh_choice, solid_node_rule rule) {
    std::istringstream answers(cylinder_picture + " 20 0.01 1 1 4 " + std::to_string(mesh_choice) +
                               " 1\n");
    std::ostringstream console;
    auto run = std::make_unique<warmed_run>();
    run->setup = set_up_run(answers, console, run_options{.solid_nodes = rule});
    const mesh_size& mesh = run->setup.mesh;
    run->field = allocate_flow_field(mesh.nx, mesh.ny, mesh.dx, mesh.dx);
    initial_conditions(run->field, run->setup.params.inlet_velocity);
    run->workspace = make_solver_workspace(run->field);
    run->fft_workspace = make_solver_workspace(run->field, pressure_solver_kind::fft);
    run->second_order_workspace =
        make_solver_workspace(run->field, pressure_solver_kind::lu, advection_scheme::second_order);
    run->outline_workspace = make_solver_workspace(run->field, pressure_solver_kind::fft,
                                                   advection_scheme::second_order);
    run->faces_workspace = make_solver_workspace(run->field, pressure_solver_kind::fft,
                                                 advection_scheme::second_order);
    for (int n = 0; n < warm_up_iterations; ++n) {
        projection_step(run->field, run->setup.params, run->setup.masks.solid_nodes, run->workspace,
                        time_step(run->field, run->setup.params), {&run->setup.masks.ghosts});
    }
    run->pressure_rhs_values = next_pressure_rhs(*run);
    // The faces of the warmed state: the mean of their nodes, projected by the
    // first pass timed.
    run->faces_workspace.faces = make_face_projection(run->field, run->setup.params.inlet_velocity);
    return run;
}

// state.range(0) is ny: 25, 50 or 100 for the mesh choices 0, 1 and 2.
warmed_run& warmed_run_for(const benchmark::State& state,
                           solid_node_rule rule = solid_node_rule::sampled) {
    static std::array<std::unique_ptr<warmed_run>, 6> runs;
    const int mesh_choice = state.range(0) == 25 ? 0 : state.range(0) == 50 ? 1 : 2;
    const int slot = mesh_choice + (rule == solid_node_rule::outline ? 3 : 0);
    std::unique_ptr<warmed_run>& run = runs.at(static_cast<std::size_t>(slot));
    if (!run) run = make_warmed_run(mesh_choice, rule);
    return *run;
}

void label_mesh(benchmark::State& state, const flow_field& field) {
    state.SetLabel(std::to_string(field.nx) + " x " + std::to_string(field.ny));
}

// Passes with the convergence measures, as the loop makes them, with the
// pressure solve `solve`.
void time_iterations(benchmark::State& state, warmed_run& run, pressure_solve_step* solve,
                     solver_workspace& workspace) {
    flow_field field = run.field;
    for (auto _ : state) {
        projection_step(field, run.setup.params, run.setup.masks.solid_nodes, workspace,
                        time_step(field, run.setup.params),
                        {&run.setup.masks.ghosts, false, solve});
        mean_magnitudes means = measure_field(field);
        benchmark::DoNotOptimize(means);
    }
    label_mesh(state, field);
}

void BM_Iteration(benchmark::State& state) {
    warmed_run& run = warmed_run_for(state);
    time_iterations(state, run, solve_pressure_system, run.workspace);
}

void BM_IterationFft(benchmark::State& state) {
    warmed_run& run = warmed_run_for(state);
    time_iterations(state, run, solve_pressure_system, run.fft_workspace);
}

void BM_IterationSecondOrder(benchmark::State& state) {
    warmed_run& run = warmed_run_for(state);
    time_iterations(state, run, solve_pressure_system, run.second_order_workspace);
}

void BM_IterationOutline(benchmark::State& state) {
    warmed_run& run = warmed_run_for(state, solid_node_rule::outline);
    time_iterations(state, run, solve_pressure_system, run.workspace);
}

void BM_IterationOutlineSecondOrderFft(benchmark::State& state) {
    warmed_run& run = warmed_run_for(state, solid_node_rule::outline);
    time_iterations(state, run, solve_pressure_system, run.outline_workspace);
}

void BM_IterationFaces(benchmark::State& state) {
    warmed_run& run = warmed_run_for(state, solid_node_rule::outline);
    time_iterations(state, run, solve_pressure_system, run.faces_workspace);
}

void BM_IterationOneShot(benchmark::State& state) {
    warmed_run& run = warmed_run_for(state);
    time_iterations(state, run, solve_one_shot, run.workspace);
}

// Copying the right-hand side in costs one pass over n floats, next to the
// two passes over the factors' far larger nonzeros: it is left in the timing
// rather than bracketed with PauseTiming, whose own cost is larger.
void BM_TriangularSolve(benchmark::State& state) {
    warmed_run& run = warmed_run_for(state);
    std::vector<float> rhs(run.pressure_rhs_values.size());
    for (auto _ : state) {
        std::copy(run.pressure_rhs_values.begin(), run.pressure_rhs_values.end(), rhs.begin());
        run.workspace.pressure_factors->solve_with_factors(rhs.data());
        benchmark::DoNotOptimize(rhs.data());
        benchmark::ClobberMemory();
    }
    label_mesh(state, run.field);
}

// The same right-hand side through the transform solve, which leaves its
// input as it is; the memory each solve keeps is reported beside the time.
void BM_TransformSolve(benchmark::State& state) {
    warmed_run& run = warmed_run_for(state);
    std::vector<float> solution(run.pressure_rhs_values.size());
    fft_pressure& transform = *run.fft_workspace.pressure_transform;
    for (auto _ : state) {
        transform.solve(run.pressure_rhs_values.data(), solution.data());
        benchmark::DoNotOptimize(solution.data());
        benchmark::ClobberMemory();
    }
    // In the label: counters on some cases only would upset the CSV report.
    state.SetLabel(std::to_string(run.field.nx) + " x " + std::to_string(run.field.ny) +
                   ": keeps " + std::to_string(transform.memory_bytes()) + " B; LU factors " +
                   std::to_string(run.workspace.pressure_factors->memory_bytes()) + " B");
}

// The pressure scattered is the last one solved.
void BM_NonSolverPart(benchmark::State& state) {
    warmed_run& run = warmed_run_for(state);
    time_iterations(state, run, keep_last_pressure, run.workspace);
}

BENCHMARK(BM_Iteration)->ArgName("ny")->Arg(25)->Arg(50)->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IterationFft)
    ->ArgName("ny")
    ->Arg(25)
    ->Arg(50)
    ->Arg(100)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IterationSecondOrder)
    ->ArgName("ny")
    ->Arg(25)
    ->Arg(50)
    ->Arg(100)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TransformSolve)
    ->ArgName("ny")
    ->Arg(25)
    ->Arg(50)
    ->Arg(100)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IterationOutline)
    ->ArgName("ny")
    ->Arg(25)
    ->Arg(50)
    ->Arg(100)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IterationOutlineSecondOrderFft)
    ->ArgName("ny")
    ->Arg(100)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IterationFaces)->ArgName("ny")->Arg(100)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_IterationOneShot)
    ->ArgName("ny")
    ->Arg(25)
    ->Arg(50)
    ->Arg(100)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TriangularSolve)
    ->ArgName("ny")
    ->Arg(25)
    ->Arg(50)
    ->Arg(100)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NonSolverPart)
    ->ArgName("ny")
    ->Arg(25)
    ->Arg(50)
    ->Arg(100)
    ->Unit(benchmark::kMicrosecond);

// The time step stays that of the warmed run: the stage's cost does not
// depend on it.
void BM_AdvectionStage(benchmark::State& state) {
    warmed_run& run = warmed_run_for(state);
    flow_field field = run.field;
    const float dt = time_step(field, run.setup.params);
    for (auto _ : state) {
        advection_step(field, dt, run.workspace.moved);
        benchmark::ClobberMemory();
    }
    label_mesh(state, field);
}

BENCHMARK(BM_AdvectionStage)
    ->ArgName("ny")
    ->Arg(25)
    ->Arg(50)
    ->Arg(100)
    ->Unit(benchmark::kMicrosecond);

void BM_AdvectionStageSecondOrder(benchmark::State& state) {
    warmed_run& run = warmed_run_for(state);
    flow_field field = run.field;
    const float dt = time_step(field, run.setup.params);
    for (auto _ : state) {
        advect_velocity(field, dt, run.setup.masks.solid_nodes, run.second_order_workspace);
        benchmark::ClobberMemory();
    }
    label_mesh(state, field);
}

BENCHMARK(BM_AdvectionStageSecondOrder)
    ->ArgName("ny")
    ->Arg(25)
    ->Arg(50)
    ->Arg(100)
    ->Unit(benchmark::kMicrosecond);

void BM_OutlineSetUp(benchmark::State& state) {
    const warmed_run& run = warmed_run_for(state);
    const mesh_size& mesh = run.setup.mesh;
    for (auto _ : state) {
        ghost_rule_masks masks = ghost_node_rule(run.setup.masks.picture, mesh.nx, mesh.ny);
        benchmark::DoNotOptimize(masks);
    }
    label_mesh(state, run.field);
}

BENCHMARK(BM_OutlineSetUp)->ArgName("ny")->Arg(100)->Unit(benchmark::kMillisecond);

// A folder under the temporary directory holding the picture and the
// answers, removed with everything the runs wrote into it.
class run_folder {
public:
    run_folder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "veltaro-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
    }
    ~run_folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    run_folder(const run_folder&) = delete;
    run_folder& operator=(const run_folder&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The cylinder on the standard mesh until it converges (the limit is far
// beyond what it needs).
void BM_WholeRunStandard(benchmark::State& state) {
    run_folder folder;
    std::filesystem::copy_file(cylinder_picture, folder.path() / "cylinder.jpg");
    std::ofstream(folder.path() / "answers") << "cylinder.jpg 20 0.01 1 1 4 1 20000\n";
    const std::string command =
        "cd '" + folder.path().string() + "' && '" VELTARO_EXE "' < answers > /dev/null";
    for (auto _ : state) {
        const int status = std::system(command.c_str());
        // A complete run exits with 1.
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 1) {
            state.SkipWithError("the program did not complete its run");
            break;
        }
    }
}

BENCHMARK(BM_WholeRunStandard)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace veltaro

BENCHMARK_MAIN();
