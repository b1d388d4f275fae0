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
//                        the floor no pass can go under.
//   BM_NonSolverPart     everything in a pass except the pressure solve.
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
#include <stdexcept>
#include <string>
#include <vector>

#include "driver/dialogue.h"
#include "driver/iteration_loop.h"
#include "driver/run_setup.h"
#include "field/boundary_conditions.h"
#include "field/flow_field.h"
#include "field/run_parameters.h"
#include "field/set_dt.h"
#include "geometry/obstacle_masks.h"
#include "solver/advection_step.h"
#include "solver/laplacian.h"
#include "solver/momentum_equation.h"
#include "solver/pressure_equation.h"
#include "solver/solver_workspace.h"

namespace veltaro {
namespace {

const std::string cylinder_picture = std::string(VELTARO_EXAMPLES) + "/cylinder.jpg";

// Enough passes to leave the start-up transient, where the time step and
// the pressure are still far from what most of a run sees.
constexpr int warm_up_iterations = 50;

// The answers of the cylinder runs, mesh choice and iteration limit aside:
// Re 20, viscosity 0.01, density 1, height 1, length 4.
dialogue_answers tunnel_answers(int mesh_choice) {
    dialogue_answers answers;
    answers.filename = cylinder_picture;
    answers.reynolds = 20.0f;
    answers.kinematic_viscosity = 0.01f;
    answers.density = 1.0f;
    answers.height = 1.0f;
    answers.length = 4.0f;
    answers.mesh_choice = mesh_choice;
    return answers;
}

// A run's state after the warm-up, made once per mesh and shared by every
// case on that mesh. Each case times a copy of `field`, so the cases do not
// depend on the order they run in.
struct warmed_run {
    run_parameters params;
    obstacle_masks masks;
    flow_field field;
    solver_workspace workspace;
    std::vector<float> pressure_rhs_values;  // the next pass's right-hand side
};

float time_step(const flow_field& field, const run_parameters& params) {
    const std::optional<float> dt = set_dt(field, params);
    if (!dt) throw std::runtime_error("the benchmark flow came to rest");
    return *dt;
}

// The right-hand side the next pass would solve for. Only work arrays
// change here, and the next pass overwrites them before reading them.
std::vector<float> next_pressure_rhs(warmed_run& run) {
    flow_field& field = run.field;
    const float dt = time_step(field, run.params);
    const int nx = field.nx;
    const int ny = field.ny;
    move_nodes(nx, ny, dt, field.x, field.y, field.x_moved, field.y_moved, field.u, field.v);
    rebuild_velocity_on_grid(nx, ny, field.dx, field.dy, field.x, field.y, field.x_moved,
                             field.y_moved, field.u, field.v, field.u_adv, field.v_adv);
    velocity_laplacians(nx, ny, field.dx, field.dy, field.u, field.v, run.workspace.lap_u,
                        run.workspace.lap_v);
    std::vector<float> rhs(run.workspace.rhs.size());
    pressure_rhs(field, dt, run.params, run.workspace.lap_u, run.workspace.lap_v, rhs);
    return rhs;
}

// Set up as the program sets up a run, then marched through the warm-up.
std::unique_ptr<warmed_run> make_warmed_run(int mesh_choice) {
    const dialogue_answers answers = tunnel_answers(mesh_choice);
    const mesh_size mesh = size_mesh(answers.mesh_choice, answers.length, answers.height);
    auto run = std::make_unique<warmed_run>();
    run->params = derive_parameters(answers, 0.0f);
    run->masks = make_outlines(mesh.nx, mesh.ny, answers.filename);
    run->field = allocate_flow_field(mesh.nx, mesh.ny, mesh.dx, mesh.dx);
    initial_conditions(run->field, run->params.INLET_VELOCITY);
    run->field.u_adv = run->field.u;
    run->field.v_adv = run->field.v;
    run->workspace = make_solver_workspace(mesh.nx, mesh.ny, mesh.dx, mesh.dx);
    for (int n = 0; n < warm_up_iterations; ++n) {
        advance_one_iteration(run->field, run->params, run->masks.outline_large, run->workspace,
                              time_step(run->field, run->params));
    }
    run->pressure_rhs_values = next_pressure_rhs(*run);
    return run;
}

// state.range(0) is ny: 25, 50 or 100 for the mesh choices 0, 1 and 2.
warmed_run& warmed_run_for(const benchmark::State& state) {
    static std::array<std::unique_ptr<warmed_run>, 3> runs;
    const int mesh_choice = state.range(0) == 25 ? 0 : state.range(0) == 50 ? 1 : 2;
    std::unique_ptr<warmed_run>& run = runs.at(static_cast<std::size_t>(mesh_choice));
    if (!run) run = make_warmed_run(mesh_choice);
    return *run;
}

void label_mesh(benchmark::State& state, const flow_field& field) {
    state.SetLabel(std::to_string(field.nx) + " x " + std::to_string(field.ny));
}

// One pass with the convergence measures, as the loop makes it.
void time_iterations(benchmark::State& state, warmed_run& run) {
    flow_field field = run.field;
    for (auto _ : state) {
        const float dt = time_step(field, run.params);
        advance_one_iteration(field, run.params, run.masks.outline_large, run.workspace, dt);
        mean_magnitudes means = measure_field(field);
        benchmark::DoNotOptimize(means);
    }
    label_mesh(state, field);
}

void BM_Iteration(benchmark::State& state) {
    warmed_run& run = warmed_run_for(state);
    time_iterations(state, run);
}

void BM_IterationOneShot(benchmark::State& state) {
    warmed_run& run = warmed_run_for(state);
    run.workspace.factorise_every_iteration = true;
    time_iterations(state, run);
    run.workspace.factorise_every_iteration = false;
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

// advance_one_iteration with the solve taken out, call for call (keep the two
// in step): the pressure scattered is the last one solved.
void BM_NonSolverPart(benchmark::State& state) {
    warmed_run& run = warmed_run_for(state);
    flow_field field = run.field;
    solver_workspace& workspace = run.workspace;
    const int nx = field.nx;
    const int ny = field.ny;
    for (auto _ : state) {
        const float dt = time_step(field, run.params);
        move_nodes(nx, ny, dt, field.x, field.y, field.x_moved, field.y_moved, field.u, field.v);
        rebuild_velocity_on_grid(nx, ny, field.dx, field.dy, field.x, field.y, field.x_moved,
                                 field.y_moved, field.u, field.v, field.u_adv, field.v_adv);
        velocity_laplacians(nx, ny, field.dx, field.dy, field.u, field.v, workspace.lap_u,
                            workspace.lap_v);
        pressure_rhs(field, dt, run.params, workspace.lap_u, workspace.lap_v, workspace.rhs);
        scatter_pressure(workspace.solution, run.params.OUTLET_PRESSURE, field);
        momentum_equation(field, dt, run.params, workspace.lap_u, workspace.lap_v);
        boundary_conditions(field, run.params.INLET_VELOCITY, run.masks.outline_large);
        mean_magnitudes means = measure_field(field);
        benchmark::DoNotOptimize(means);
    }
    label_mesh(state, field);
}

BENCHMARK(BM_Iteration)->ArgName("ny")->Arg(25)->Arg(50)->Arg(100)->Unit(benchmark::kMicrosecond);
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
