// The iteration loop allocates nothing on the heap: everything it needs is
// made once per run. Counted by replacing the global allocation functions
// of this test program.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <ostream>

#include "driver/iteration_loop.h"
#include "solver/projection_scheme.h"
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

// The block in the 60 x 25 tunnel.
int_grid body_nodes() {
    int_grid solid(60, 25);
    for (int i = 13; i <= 16; ++i) solid[i][11] = solid[i][12] = solid[i][13] = 1;
    return solid;
}

// A 60 x 25 tunnel with a block, run once so that what is made on first use
// is not counted, then with `settings`: the allocations of that second run.
long allocations_of(pressure_solver_kind kind, advection_scheme advection,
                    projection_scheme projection, const loop_settings& settings,
                    loop_result& result) {
    const run_parameters fluid{.inlet_velocity = 0.2f, .dynamic_viscosity = 0.01f, .density = 1.0f};
    const int_grid solid = body_nodes();
    flow_field field = allocate_flow_field(60, 25, 2.4f / 59, 2.4f / 59);
    initial_conditions(field, fluid.inlet_velocity);
    solver_workspace workspace = make_solver_workspace(field, kind, advection);
    if (projection == projection_scheme::faces)
        workspace.faces = make_face_projection(field, fluid.inlet_velocity);
    steady_monitor monitor(field.nx, field.ny, 1.0);
    convergence_log log;
    std::ostream console(nullptr);  // discards everything, without allocating
    run_iteration_loop(field, fluid, solid, {1}, workspace, monitor, log, console);
    const long before = allocations.load();
    result = run_iteration_loop(field, fluid, solid, settings, workspace, monitor, log, console);
    return allocations.load() - before;
}

TEST(NoAllocation, IterationLoopAllocatesNothing) {
    const test::scratch_dir folder;
    // One ghost node at the body's front, reading the fluid node before it.
    ghost_nodes ghosts;
    const int a = 12 * 25 + 12, b = 11 * 25 + 12;  // the nodes (12, 12) and (11, 12)
    ghosts.nodes.push_back({a + 25, {a, b, a, b}, {0.5, 0.5, 0, 0}, -0.5});
    // A time-accurate run's forces on the body's box, tilted inflow and
    // forces.csv included.
    const int_grid body = body_nodes();
    force_record history({50, 1.0, 1.0, true, &body, 0.01});
    forces_file csv("forces.csv");
    const loop_settings unsteady{50,       stop_rule::limit, {&ghosts, true}, 10.0,
                                 {0.1, 0.05, 0.1}, &history, &csv};
    // The animation's frames (without --frames-vtk's files) are rendered into
    // the buffer made at the start; every frame's time is passed at once.
    const obstacle_masks masks{{}, int_grid(240, 100)};
    frame_capture frames({10, false, 1e-9}, masks, 60, 25);
    const loop_settings steady{50, stop_rule::limit};
    const loop_settings animated{20, stop_rule::limit, {}, std::nullopt, {}, {}, {}, &frames};
    // clang-format off
    const struct {
        pressure_solver_kind kind; advection_scheme advection; const loop_settings& settings;
        int iterations, frames; projection_scheme projection = projection_scheme::nodes; } rows[] = {
        {pressure_solver_kind::lu, advection_scheme::first_order, unsteady, 50, 0},
        {pressure_solver_kind::fft, advection_scheme::second_order, unsteady, 50, 0},
        {pressure_solver_kind::fft, advection_scheme::second_order, unsteady, 50, 0, projection_scheme::faces},
        {pressure_solver_kind::lu, advection_scheme::first_order, steady, 50, 0, projection_scheme::faces},
        {pressure_solver_kind::fft, advection_scheme::first_order, animated, 20, 10},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << pressure_solver_name(row.kind) << ", "
                     << advection_scheme_name(row.advection) << ", " << row.frames << ", "
                     << projection_scheme_name(row.projection));
        loop_result result;
        EXPECT_EQ(allocations_of(row.kind, row.advection, row.projection, row.settings, result), 0);
        EXPECT_EQ(result.iterations, row.iterations);
        EXPECT_EQ(frames.frames(), row.frames);
    }
}

}  // namespace
}  // namespace veltaro
