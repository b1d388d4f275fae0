// The iteration loop allocates nothing on the heap: everything it needs is
// made once per run. Counted by replacing the global allocation functions
// of this test program.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <streambuf>

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
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace veltaro {
namespace {

// A console that discards what it is given, without allocating.
class discard : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

using NoAllocation = test::scratch_dir_test;

TEST_F(NoAllocation, IterationLoopAllocatesNothing) {
    const int nx = 60;
    const int ny = 25;
    const float dx = 2.4f / (nx - 1);
    run_parameters params;
    params.inlet_velocity = 0.2f;
    params.density = 1.0f;
    params.dynamic_viscosity = 0.01f;
    int_grid solid(nx, ny);
    for (int i = 13; i <= 16; ++i) {
        for (int j = 11; j <= 13; ++j) solid[i][j] = 1;
    }
    flow_field field = allocate_flow_field(nx, ny, dx, dx);
    initial_conditions(field, params.inlet_velocity);
    solver_workspace workspace = make_solver_workspace(nx, ny, dx, dx);
    convergence_log log(path("convergence.txt"));
    discard sink;
    std::ostream console(&sink);
    // The first iteration factorises the pressure matrix.
    run_iteration_loop(field, params, solid, 1, workspace, log, console);

    const long before = allocations.load();
    const loop_result result =
        run_iteration_loop(field, params, solid, 50, workspace, log, console);
    EXPECT_EQ(allocations.load() - before, 0);
    EXPECT_EQ(result.iterations, 50);
}

}  // namespace
}  // namespace veltaro
