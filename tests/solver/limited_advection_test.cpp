// The second-order advection's promises besides its order
// (advection_order_test.cpp): where the field is steep it makes no new
// extremum, whatever the velocity, at the time step's moves; a uniform
// field stays exactly uniform under any velocity; solid nodes keep their
// values.
#include "solver/limited_advection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <utility>

namespace veltaro {
namespace {

using profile = std::function<float(int i, int j)>;

constexpr int n = 40;

// Carries q by (u, v) for `steps` steps, each moving at most a tenth of a
// spacing, and returns the largest excursion beyond the starting range.
// With a block, the nodes 18 <= i, j <= 21 are solid (and keep their q),
// so that the wall's one-sided slopes are read.
float largest_new_extremum(const profile& q0, const profile& u0, const profile& v0, int steps,
                           bool with_block) {
    flow_field frame = allocate_flow_field(n, n, 0.1f, 0.1f);
    float_grid u(n, n), v(n, n), q(n, n), q_adv(n, n), unused(n, n);
    int_grid solid(n, n);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            u[i][j] = u0(i, j);
            v[i][j] = v0(i, j);
            q[i][j] = q0(i, j);
            solid[i][j] = with_block && i >= 18 && i <= 21 && j >= 18 && j <= 21 ? 1 : 0;
        }
    }
    const auto [low, high] = std::minmax_element(q.data(), q.data() + q.size());
    const float lowest = *low;
    const float highest = *high;
    advection_work work = make_advection_work(n, n);
    const float dt = 0.1f * 0.1f;  // speeds up to 1: a tenth of a spacing
    float excursion = 0.0f;
    for (int step = 0; step < steps; ++step) {
        advect_limited(frame, u, v, solid, dt, {q, q, q_adv, unused}, work);
        std::swap(q, q_adv);
        for (std::size_t k = 0; k < q.size(); ++k) {
            excursion = std::max({excursion, q.data()[k] - highest, lowest - q.data()[k]});
        }
    }
    return excursion;
}

TEST(LimitedAdvection, SteepProfilesGainNoNewExtremum) {
    const profile step = [](int i, int) { return i < 12 ? 1.0f : 0.0f; };
    const profile spike = [](int i, int j) { return i == 10 && j == 20 ? 1.0f : 0.0f; };
    const profile odd_even = [](int i, int j) { return static_cast<float>((i + j) % 2); };
    const profile square = [](int i, int j) {
        return i > 8 && i < 14 && j > 15 && j < 25 ? 2.0f : -1.0f;
    };
    const profile diagonal = [](int, int) { return 0.7f; };
    const profile slow = [](int, int) { return 0.3f; };
    // A vortex: the speed changes sign across the grid.
    const profile swirl_u = [](int, int j) { return (j - 19.5f) / 20.0f; };
    const profile swirl_v = [](int i, int) { return (19.5f - i) / 20.0f; };
    const struct {
        const char* name;
        profile q, u, v;
        bool with_block = false;
    } rows[] = {
        {"step, diagonal flow", step, diagonal, slow},
        {"spike, diagonal flow", spike, diagonal, slow},
        {"odd-even, diagonal flow", odd_even, diagonal, slow},
        {"square, vortex", square, swirl_u, swirl_v},
        {"step, vortex", step, swirl_u, swirl_v},
        {"step onto a solid block", step, diagonal, slow, true},
        {"odd-even around a solid block", odd_even, swirl_u, swirl_v, true},
    };
    for (const auto& row : rows) {
        EXPECT_LE(largest_new_extremum(row.q, row.u, row.v, 150, row.with_block), 1e-6f)
            << row.name;
    }
}

// Random velocities up to a tenth of a spacing per step, random solid nodes.
TEST(LimitedAdvection, UniformStaysUniformAndSolidNodesKeepTheirValues) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    flow_field frame = allocate_flow_field(n, n, 0.1f, 0.1f);
    float_grid u(n, n), v(n, n), uniform(n, n, 0.35f), rough(n, n);
    int_grid solid(n, n);
    for (std::size_t k = 0; k < u.size(); ++k) {
        u.data()[k] = unit(random);
        v.data()[k] = unit(random);
        rough.data()[k] = unit(random);
        solid.data()[k] = unit(random) > 0.7f ? 1 : 0;
    }
    float_grid uniform_adv(n, n), rough_adv(n, n);
    advection_work work = make_advection_work(n, n);
    advect_limited(frame, u, v, solid, 0.01f, {uniform, rough, uniform_adv, rough_adv}, work);
    EXPECT_EQ(uniform_adv, uniform);
    for (std::size_t k = 0; k < u.size(); ++k) {
        if (solid.data()[k] != 0) {
            EXPECT_EQ(rough_adv.data()[k], rough.data()[k]) << k;
        }
    }
}

}  // namespace
}  // namespace veltaro
