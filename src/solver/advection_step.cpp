#include "solver/advection_step.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cmath>

namespace veltaro {

namespace {

// The fields carried by one set of moved nodes: u and v share the weights.
struct carried {
    const float_grid* q;
    float_grid* q_adv;
};

// Receiving node (i, j) in full, window clipped to the grid. Used where the
// window is clipped across the tunnel (the wall rows).
template <std::size_t fields>
void rebuild_node(int i, int j, int nx, int ny, float dx, float dy, const float_grid& x,
                  const float_grid& y, const float_grid& x_moved, const float_grid& y_moved,
                  const std::array<carried, fields>& carry) {
    const float cell = dx * dy;
    const float xi = x[i][j];
    const float yj = y[i][j];
    std::array<float, fields> weighted_sum{};
    float weight_sum = 0.0f;
    for (int a = std::max(i - 1, 0); a <= std::min(i + 1, nx - 1); ++a) {
        for (int b = std::max(j - 1, 0); b <= std::min(j + 1, ny - 1); ++b) {
            // Written as "within range" so that a NaN position never counts.
            const float ax = std::fabs(x_moved[a][b] - xi);
            if (!(ax < dx)) continue;
            const float ay = std::fabs(y_moved[a][b] - yj);
            if (!(ay < dy)) continue;
            const float w = (dx - ax) * (dy - ay);
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

// value where mask is all ones, +0 where it is zero: a select without a
// branch, so that NaN or infinite terms of sources out of range vanish too.
inline float only_if(std::uint32_t mask, float value) {
    return std::bit_cast<float>(std::bit_cast<std::uint32_t>(value) & mask);
}

template <std::size_t fields>
void rebuild_block(int i, int first, int last, int nx, float dx, float dy, const float_grid& x,
                   const float_grid& y, const float_grid& x_moved, const float_grid& y_moved,
                   const std::array<carried, fields>& carry) {
    const float cell = dx * dy;
    const int count = last - first + 1;
    const float xi = x[i][first];  // the same for every j of the column
    const float* yj = y[i] + first;
    float weighted_sum[fields][block] = {};
    float weight_sum[block] = {};
    for (int a = std::max(i - 1, 0); a <= std::min(i + 1, nx - 1); ++a) {
        for (int db = -1; db <= 1; ++db) {
            const float* xm = x_moved[a] + first + db;
            const float* ym = y_moved[a] + first + db;
            std::array<const float*, fields> q{};
            for (std::size_t f = 0; f < fields; ++f) q[f] = (*carry[f].q)[a] + first + db;
            for (int k = 0; k < count; ++k) {
                const float ax = std::fabs(xm[k] - xi);
                const float ay = std::fabs(ym[k] - yj[k]);
                const std::uint32_t counts = ((ax < dx) & (ay < dy)) ? ~0u : 0u;
                const float w = (dx - ax) * (dy - ay);
                for (std::size_t f = 0; f < fields; ++f) {
                    weighted_sum[f][k] += only_if(counts, q[f][k] * w / cell);
                }
                weight_sum[k] += only_if(counts, w / cell);
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
void rebuild(int nx, int ny, float dx, float dy, const float_grid& x, const float_grid& y,
             const float_grid& x_moved, const float_grid& y_moved,
             const std::array<carried, fields>& carry) {
    for (int i = 0; i < nx; ++i) {
        rebuild_node(i, 0, nx, ny, dx, dy, x, y, x_moved, y_moved, carry);
        for (int first = 1; first <= ny - 2; first += block) {
            const int last = std::min(first + block - 1, ny - 2);
            rebuild_block(i, first, last, nx, dx, dy, x, y, x_moved, y_moved, carry);
        }
        if (ny > 1) rebuild_node(i, ny - 1, nx, ny, dx, dy, x, y, x_moved, y_moved, carry);
    }
}

// Both components are carried by the same moved nodes: the nodes move once.
void move_nodes(flow_field& field, float dt) {
    const std::size_t nodes = field.u.size();
    const float* u = field.u.data();
    const float* v = field.v.data();
    const float* x = field.x.data();
    const float* y = field.y.data();
    float* x_moved = field.x_moved.data();
    float* y_moved = field.y_moved.data();
    for (std::size_t k = 0; k < nodes; ++k) {
        x_moved[k] = u[k] * dt + x[k];
        y_moved[k] = v[k] * dt + y[k];
    }
}

// u and v share every weight, so they are rebuilt together.
[[gnu::flatten]] void rebuild_velocity_any_cpu(flow_field& f) {
    rebuild<2>(f.nx, f.ny, f.dx, f.dy, f.x, f.y, f.x_moved, f.y_moved,
               {carried{&f.u, &f.u_adv}, carried{&f.v, &f.v_adv}});
}

#if defined(__x86_64__)
// The same code with twice the lanes, for processors that have AVX2. It
// gives the same bits: every operation is IEEE single precision, and
// nothing is fused into a multiply-add.
[[gnu::target("avx2"), gnu::flatten]] void rebuild_velocity_avx2(flow_field& f) {
    rebuild<2>(f.nx, f.ny, f.dx, f.dy, f.x, f.y, f.x_moved, f.y_moved,
               {carried{&f.u, &f.u_adv}, carried{&f.v, &f.v_adv}});
}
#endif

using velocity_rebuild = void(flow_field&);

velocity_rebuild* best_velocity_rebuild() {
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx2")) return rebuild_velocity_avx2;
#endif
    return rebuild_velocity_any_cpu;
}

}  // namespace

void advection_step(flow_field& field, float dt) {
    static velocity_rebuild* const rebuild_velocity = best_velocity_rebuild();
    if (field.nx <= 0 || field.ny <= 0) return;
    move_nodes(field, dt);
    rebuild_velocity(field);
}

}  // namespace veltaro
