// What an iteration costs as the mesh grows and over how many threads, on
// the validation cylinder's tunnel (4 m x 2 m, nx = 2 ny):
//
//     bash bench/run.sh --benchmark_filter=BM_MeshIteration
//
// BM_MeshIteration/across/fft/outline/threads: one iteration as the loop
// makes it (the time step, the step of the method, the steady residual and
// the convergence means) with the second-order advection, after a warm-up,
// on ny = 100 ... 800 nodes across; fft 1 the transform solve, 0 the LU
// factors (up to 400 across: at 800 they take about 2 GB and a minute to
// factorise); outline 1 the ghost-node rule, 0 the sampled one. The counter
// ns_per_node is the time per iteration and node. Each case's grid is
// planned for its thread count. The peak memory per node is in
// docs/method.md, section 12.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>

#include "analysis/convergence_measures.h"
#include "analysis/steady_residual.h"
#include "common/threads.h"
#include "driver/set_up_run.h"
#include "field/set_dt.h"
#include "solver/projection_step.h"
#include "solver/solver_workspace.h"

namespace veltaro {
namespace {

constexpr int warm_up_iterations = 20;

struct mesh_run {
    run_setup setup;
    flow_field field;
    solver_workspace workspace;
    std::unique_ptr<steady_monitor> monitor;
};

float time_step(const flow_field& field, const run_parameters& params) {
    const std::optional<float> dt = set_dt(field, params);
    if (!dt) throw std::runtime_error("the benchmark flow came to rest");
    return *dt;
}

void iterate(mesh_run& run) {
    const run_parameters& params = run.setup.params;
    const float dt = time_step(run.field, params);
    run.monitor->remember(run.field);
    projection_step(run.field, params, run.setup.masks.solid_nodes, run.workspace, dt,
                    {&run.setup.masks.ghosts});
    benchmark::DoNotOptimize(measure_field(run.field));
    benchmark::DoNotOptimize(run.monitor->measure(run.field, run.setup.masks.solid_nodes, dt));
}

// The validation cylinder at Re_D 20, set up as the program sets it up.
std::unique_ptr<mesh_run> make_run(int across, bool fft, bool outline) {
    std::istringstream answers(std::string(VELTARO_EXAMPLES) +
                               "/validation_cylinder.jpg 200 0.01 1 2 4 2 1\n");
    std::ostringstream console;
    auto run = std::make_unique<mesh_run>();
    run_options options;
    options.solid_nodes = outline ? solid_node_rule::outline : solid_node_rule::sampled;
    options.advection = advection_scheme::second_order;
    options.pressure_solver = fft ? pressure_solver_kind::fft : pressure_solver_kind::lu;
    options.nodes_across = across;
    run->setup = set_up_run(answers, console, options);
    const mesh_size& mesh = run->setup.mesh;
    run->field = allocate_flow_field(mesh.nx, mesh.ny, mesh.dx, mesh.dx);
    initial_conditions(run->field, run->setup.params.inlet_velocity);
    run->workspace = make_solver_workspace(run->field, options.pressure_solver, options.advection);
    run->monitor = std::make_unique<steady_monitor>(mesh.nx, mesh.ny, 1.0);
    for (int n = 0; n < warm_up_iterations; ++n) iterate(*run);
    return run;
}

void BM_MeshIteration(benchmark::State& state) {
    const auto across = static_cast<int>(state.range(0));
    const bool fft = state.range(1) != 0;
    const bool outline = state.range(2) != 0;
    const auto threads = static_cast<int>(state.range(3));
    use_threads(threads);
    // One run per case, made when the case first runs; the repetitions
    // share it.
    static std::map<std::tuple<int, bool, bool, int>, std::unique_ptr<mesh_run>> runs;
    std::unique_ptr<mesh_run>& run = runs[{across, fft, outline, threads}];
    if (!run) run = make_run(across, fft, outline);
    for (auto _ : state) iterate(*run);
    const double nodes = static_cast<double>(run->field.nx) * run->field.ny;
    state.counters["ns_per_node"] = benchmark::Counter(
        nodes * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    use_threads(machine_threads());
}

void mesh_cases(benchmark::internal::Benchmark* bench) {
    bench->ArgNames({"across", "fft", "outline", "threads"});
    for (int across : {100, 200, 400, 800}) {
        for (int fft : {1, 0}) {
            if (fft == 0 && across > 400) continue;
            for (int outline : {1, 0}) {
                for (int threads : {1, 2}) bench->Args({across, fft, outline, threads});
            }
        }
    }
}

BENCHMARK(BM_MeshIteration)->Apply(mesh_cases)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace veltaro
