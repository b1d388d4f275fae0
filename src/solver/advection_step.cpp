// The advection stage: every node moved to x + u dt, and
//
//   q_adv(i,j) = sum_ab q(a,b) w_ab / sum_ab w_ab,
//   w_ab = (dx - |x_moved(a,b) - x(i,j)|) (dy - |y_moved(a,b) - y(i,j)|),
//
// over the nodes of the 3 x 3 window that land within a spacing.
// docs/method.md derives it and its error.
#include "solver/advection_step.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "solver/advection_kernels.h"
#include "solver/select.h"

namespace veltaro {

namespace {

// The grid and its moved positions, as the rebuild reads them.
struct frame_view {
    int nx;
    int ny;
    float dx;
    float dy;
    const float_grid& x;
    const float_grid& y;
    const float_grid& x_moved;
    const float_grid& y_moved;
};

// Receiving node (i, j) in full, window clipped to the grid. Used where the
// window is clipped across the tunnel (the wall rows).
template <std::size_t fields>
void rebuild_node(int i, int j, const frame_view& g,
                  const std::array<carried_field, fields>& carry) {
    const float cell = g.dx * g.dy;
    const float xi = g.x[i][j];
    const float yj = g.y[i][j];
    std::array<float, fields> weighted_sum{};
    float weight_sum = 0.0f;
    for (int a = std::max(i - 1, 0); a <= std::min(i + 1, g.nx - 1); ++a) {
        for (int b = std::max(j - 1, 0); b <= std::min(j + 1, g.ny - 1); ++b) {
            // Written as "within range" so that a NaN position never counts.
            const float ax = std::fabs(g.x_moved[a][b] - xi);
            if (!(ax < g.dx)) continue;
            const float ay = std::fabs(g.y_moved[a][b] - yj);
            if (!(ay < g.dy)) continue;
            const float w = (g.dx - ax) * (g.dy - ay);
            for (std::size_t f = 0; f < fields; ++f)
                weighted_sum[f] += (*carry[f].q)[a][b] * w / cell;
            weight_sum += w / cell;
        }
    }
    for (std::size_t f = 0; f < fields; ++f) {
        // No source in range happens only for a non-finite time step, which
        // the loop never takes; keep the value rather than make a NaN.
        (*carry[f].q_adv)[i][j] =
            weight_sum > 0.0f ? weighted_sum[f] / weight_sum : (*carry[f].q)[i][j];
    }
}

// The receiving nodes j = first ... last of column i, whose windows are not
// clipped across the tunnel, a block at a time. Each source adds in the same
// order as in rebuild_node (a outer, b inner); a source out of range adds
// +0, which leaves every sum exactly as skipping it would (a sum that starts
// at +0 is never -0). Without branches the loop over j vectorises.
constexpr int block = 64;

template <std::size_t fields>
void rebuild_block(int i, int first, int last, const frame_view& g,
                   const std::array<carried_field, fields>& carry) {
    const float dx = g.dx;
    const float dy = g.dy;
    const float cell = dx * dy;
    const int count = last - first + 1;
    const float xi = g.x[i][first];  // the same for every j of the column
    const float* yj = g.y[i] + first;
    float weighted_sum[fields][block] = {};
    float weight_sum[block] = {};
    for (int a = std::max(i - 1, 0); a <= std::min(i + 1, g.nx - 1); ++a) {
        for (int db = -1; db <= 1; ++db) {
            const float* xm = g.x_moved[a] + first + db;
            const float* ym = g.y_moved[a] + first + db;
            std::array<const float*, fields> q{};
            for (std::size_t f = 0; f < fields; ++f) q[f] = (*carry[f].q)[a] + first + db;
            for (int k = 0; k < count; ++k) {
                const float ax = std::fabs(xm[k] - xi);
                const float ay = std::fabs(ym[k] - yj[k]);
                // Out of range, a source adds +0, and its NaN or infinite
                // terms vanish too.
                const bool counts = (ax < dx) & (ay < dy);
                const float w = (dx - ax) * (dy - ay);
                for (std::size_t f = 0; f < fields; ++f) {
                    weighted_sum[f][k] += pick(counts, q[f][k] * w / cell, 0.0f);
                }
                weight_sum[k] += pick(counts, w / cell, 0.0f);
            }
        }
    }
    for (std::size_t f = 0; f < fields; ++f) {
        float* out = (*carry[f].q_adv)[i] + first;
        const float* own = (*carry[f].q)[i] + first;
        for (int k = 0; k < count; ++k) {
            out[k] = weight_sum[k] > 0.0f ? weighted_sum[f][k] / weight_sum[k] : own[k];
        }
    }
}

template <std::size_t fields>
void rebuild(const frame_view& g, const std::array<carried_field, fields>& carry) {
    for (int i = 0; i < g.nx; ++i) {
        rebuild_node(i, 0, g, carry);
        for (int first = 1; first <= g.ny - 2; first += block) {
            const int last = std::min(first + block - 1, g.ny - 2);
            rebuild_block(i, first, last, g, carry);
        }
        if (g.ny > 1) rebuild_node(i, g.ny - 1, g, carry);
    }
}

// Every node moved along (u, v) over dt.
void move_nodes(const flow_field& frame, moved_nodes& moved, const float_grid& u,
                const float_grid& v, float dt) {
    const std::size_t nodes = u.size();
    const float* x = frame.x.data();
    const float* y = frame.y.data();
    float* x_moved = moved.x.data();
    float* y_moved = moved.y.data();
    for (std::size_t k = 0; k < nodes; ++k) {
        x_moved[k] = u.data()[k] * dt + x[k];
        y_moved[k] = v.data()[k] * dt + y[k];
    }
}

frame_view view_of(const flow_field& frame, const moved_nodes& moved) {
    return {frame.nx, frame.ny, frame.dx, frame.dy, frame.x, frame.y, moved.x, moved.y};
}

// Both fields are carried by the same moved nodes: they share every weight.
inline void first_order(const flow_field& frame, moved_nodes& moved, const float_grid& u,
                        const float_grid& v, float dt, const carried_pair& fields) {
    move_nodes(frame, moved, u, v, dt);
    rebuild<2>(view_of(frame, moved), {carried_field{&fields.first, &fields.first_adv},
                                       carried_field{&fields.second, &fields.second_adv}});
}

}  // namespace

namespace advection_kernels {

[[gnu::flatten]] void any_cpu(const flow_field& frame, moved_nodes& moved, const float_grid& u,
                              const float_grid& v, float dt, const carried_pair& fields) {
    first_order(frame, moved, u, v, dt, fields);
}

#if defined(__x86_64__)
// The same code with twice the lanes, for processors that have AVX2. It
// gives the same bits: every operation is IEEE single precision, and
// nothing is fused into a multiply-add.
[[gnu::target("avx2"), gnu::flatten]] void avx2(const flow_field& frame, moved_nodes& moved,
                                                const float_grid& u, const float_grid& v, float dt,
                                                const carried_pair& fields) {
    first_order(frame, moved, u, v, dt, fields);
}
#endif

bool avx2_available() {
#if defined(__x86_64__)
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

}  // namespace advection_kernels

namespace {

advection_kernels::kernel* best_kernel() {
#if defined(__x86_64__)
    if (advection_kernels::avx2_available()) return advection_kernels::avx2;
#endif
    return advection_kernels::any_cpu;
}

}  // namespace

moved_nodes make_moved_nodes(int nx, int ny) { return {float_grid(nx, ny), float_grid(nx, ny)}; }

void advect(const flow_field& frame, moved_nodes& moved, const float_grid& u, const float_grid& v,
            float dt, const carried_pair& fields) {
    static advection_kernels::kernel* const kernel = best_kernel();
    if (frame.nx <= 0 || frame.ny <= 0) return;
    kernel(frame, moved, u, v, dt, fields);
}

void advection_step(flow_field& field, float dt, moved_nodes& moved) {
    advect(field, moved, field.u, field.v, dt, {field.u, field.v, field.u_adv, field.v_adv});
}

}  // namespace veltaro
