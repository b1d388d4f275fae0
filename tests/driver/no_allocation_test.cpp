// The iteration loop allocates nothing on the heap: everything it needs is
// made once per run. Counted by replacing the global allocation functions
// of this test program.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <ostream>

#include "driver/iteration_loop.h"
#include "field/flow_field.h"
#include "support/scratch_dir.h"

namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t size) {
    ++allocations;
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
// The blocks come from malloc above, so free is their match; GCC cannot see
// that through the replaced operator new.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
#pragma GCC diagnostic pop

namespace veltaro {
namespace {

TEST(NoAllocation, IterationLoopAllocatesNothing) {
    const struct {
        pressure_solver_kind kind;
        advection_scheme advection;
    } rows[] = {{pressure_solver_kind::lu, advection_scheme::first_order},
                {pressure_solver_kind::fft, advection_scheme::second_order}};
    for (const auto& [kind, advection] : rows) {
        SCOPED_TRACE(pressure_solver_name(kind));
        const test::scratch_dir folder;
        const run_parameters params{
            .inlet_velocity = 0.2f, .dynamic_viscosity = 0.01f, .density = 1.0f};
        int_grid solid(60, 25);
        for (int i = 13; i <= 16; ++i) solid[i][11] = solid[i][12] = solid[i][13] = 1;
        flow_field field = allocate_flow_field(60, 25, 2.4f / 59, 2.4f / 59);
        initial_conditions(field, params.inlet_velocity);
        solver_workspace workspace = make_solver_workspace(field, kind, advection);
        steady_monitor monitor(field.nx, field.ny, 1.0);
        convergence_log log;
        std::ostream console(nullptr);  // discards everything, without allocating
        // One ghost node at the body's front, reading the fluid node before it.
        ghost_nodes ghosts;
        ghosts.nodes.push_back({13 * 25 + 12,
                                {12 * 25 + 12, 11 * 25 + 12, 12 * 25 + 12, 11 * 25 + 12},
                                {0.5, 0.5, 0.0, 0.0},
                                -0.5});
        // A first pass, so that what is made on first use is not counted.
        run_iteration_loop(field, params, solid, {1, stop_rule::quiet}, workspace, monitor, log,
                           console);

        // A time-accurate run's forces, tilted inflow and forces.csv included.
        force_history history({50, 1.0, 1.0, true, "forces.csv"});
        const loop_settings settings{50,   stop_rule::limit,          &ghosts,
                                     10.0, {0.1, 0.05, 0.1}, &history};
        const long before = allocations.load();
        const loop_result result = run_iteration_loop(field, params, solid, settings, workspace,
                                                      monitor, log, console);
        EXPECT_EQ(allocations.load() - before, 0);
        EXPECT_EQ(result.iterations, 50);
    }
}

// Taking the animation's frames (without --frames-vtk's files) allocates
// nothing either: a frame is rendered into the buffer made at the start.
TEST(NoAllocation, FramesAllocateNothing) {
    const test::scratch_dir folder;
    const run_parameters params{.inlet_velocity = 0.2f, .dynamic_viscosity = 0.01f, .density = 1.0f};
    const int_grid solid(60, 25);
    flow_field field = allocate_flow_field(60, 25, 2.4f / 59, 2.4f / 59);
    initial_conditions(field, params.inlet_velocity);
    solver_workspace workspace = make_solver_workspace(field, pressure_solver_kind::fft);
    steady_monitor monitor(field.nx, field.ny, 1.0);
    convergence_log log;
    std::ostream console(nullptr);
    obstacle_masks masks;
    masks.picture = int_grid(240, 100);
    // Every frame's time is passed at once: one frame per iteration.
    frame_capture frames({10, false, 1e-9}, masks, field.nx, field.ny);
    loop_settings settings{20, stop_rule::limit};
    settings.frames = &frames;
    run_iteration_loop(field, params, solid, {1, stop_rule::quiet}, workspace, monitor, log, console);

    const long before = allocations.load();
    run_iteration_loop(field, params, solid, settings, workspace, monitor, log, console);
    EXPECT_EQ(allocations.load() - before, 0);
    EXPECT_EQ(frames.frames(), 10);
}

}  // namespace
}  // namespace veltaro
