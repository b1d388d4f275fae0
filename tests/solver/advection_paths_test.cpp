// Each advection's two builds, for any x86-64 and for AVX2, give the same
// bits on random fields: the wider lanes must not change a sum's order or
// fuse a multiply-add. Both run whatever the processor running the test;
// the AVX2 one is skipped, with a message, where the processor lacks it.
// Random velocities include moves beyond the time step's tenth of a
// spacing, so that sources fall in and out of range, and NaNs, which must
// never count; the second-order scheme gets random solid nodes too.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "field/flow_field.h"
#include "solver/advection_kernels.h"
#include "solver/advection_step.h"

namespace veltaro {
namespace {

// The largest move in spacings; a NaN velocity in the middle, or none.
struct random_case { int nx, ny; float spacing; double largest_move; bool with_nan; };

// The four grids both schemes carry q and r into, first order then second.
using carried_result = std::array<float_grid, 4>;

// One build's two kernels, first order and second, on the row's random fields.
carried_result run_kernels(advection_kernels::kernel* kernel,
                           advection_kernels::limited_kernel* limited, const random_case& row,
                           unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    flow_field frame = allocate_flow_field(row.nx, row.ny, row.spacing, row.spacing);
    float_grid u(row.nx, row.ny), v(row.nx, row.ny), q(row.nx, row.ny), r(row.nx, row.ny);
    int_grid solid(row.nx, row.ny);
    for (std::size_t k = 0; k < u.size(); ++k) {
        u.data()[k] = unit(random);
        v.data()[k] = unit(random);
        q.data()[k] = 3.0f * unit(random);
        r.data()[k] = unit(random) * 1e-3f;
        solid.data()[k] = unit(random) > 0.8f ? 1 : 0;
    }
    if (row.with_nan) u[row.nx / 2][row.ny / 2] = std::numeric_limits<float>::quiet_NaN();
    const float dt = static_cast<float>(row.largest_move) * row.spacing;
    carried_result out;
    out.fill(float_grid(row.nx, row.ny));
    moved_nodes moved = make_moved_nodes(row.nx, row.ny);
    kernel(frame, moved, u, v, dt, {q, r, out[0], out[1]});
    advection_work work = make_advection_work(row.nx, row.ny);
    limited(frame, u, v, solid, dt, {q, r, out[2], out[3]}, work);
    return out;
}

bool same_bits(const float_grid& a, const float_grid& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

TEST(AdvectionPaths, PlainAndAvx2GiveTheSameBits) {
    if (!advection_kernels::avx2_available())
        GTEST_SKIP() << "this processor has no AVX2: only the plain build can run here";
#if defined(__x86_64__)
    const random_case rows[] = {
        {200, 100, 0.0201f, 0.1, false}, {37, 131, 1.0f, 1.5, false},
        {5, 3, 0.25f, 0.6, false},       {64, 66, 3e-3f, 0.9, true},
    };
    unsigned seed = 7;
    for (const random_case& row : rows) {
        SCOPED_TRACE(std::to_string(row.nx) + " x " + std::to_string(row.ny));
        const carried_result plain = run_kernels(advection_kernels::any_cpu,
                                                 advection_kernels::limited_any_cpu, row, ++seed);
        const carried_result avx2 =
            run_kernels(advection_kernels::avx2, advection_kernels::limited_avx2, row, seed);
        for (std::size_t k = 0; k < plain.size(); ++k)
            EXPECT_TRUE(same_bits(plain[k], avx2[k])) << "grid " << k;
    }
#endif
}

}  // namespace
}  // namespace veltaro
