// The second-order advection (limited_advection.h): van Leer's limited
// slopes along each direction, then the upwind face values' difference at
// every node. docs/method.md derives it.
#include "solver/limited_advection.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "solver/advection_kernels.h"
#include "common/threads.h"
#include "solver/limited_slopes.h"
#include "solver/select.h"

namespace veltaro {

advection_work make_advection_work(int nx, int ny) {
    return {float_grid(nx, ny), float_grid(nx, ny), float_grid(nx, ny), float_grid(nx, ny)};
}

namespace {


// The upwind face values' difference along one direction at a node whose
// neighbours on both sides exist: for a carrier >= 0
//   q(k) - q(k-1) + (s(k) - s(k-1)) / 2,
// for a carrier < 0
//   q(k+1) - q(k) - (s(k+1) - s(k)) / 2.
inline float face_difference(float carrier, float q_behind, float q_here, float q_ahead,
                             float s_behind, float s_here, float s_ahead) {
    const float from_behind = (q_here - q_behind) + 0.5f * (s_here - s_behind);
    const float from_ahead = (q_ahead - q_here) - 0.5f * (s_ahead - s_here);
    return pick(carrier >= 0.0f, from_behind, from_ahead);
}

// The same at any node, k along a line of n nodes `stride` apart: with no
// neighbour upwind nothing is carried in.
float face_difference_at(float carrier, const float* q, const float* s, int k, int n, int stride) {
    const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(k) * stride;
    if (carrier >= 0.0f) {
        if (k == 0) return 0.0f;
        return (q[at] - q[at - stride]) + 0.5f * (s[at] - s[at - stride]);
    }
    if (k == n - 1) return 0.0f;
    return (q[at + stride] - q[at]) - 0.5f * (s[at + stride] - s[at]);
}

// Everything a node's update reads, with the field's spacings folded into
// the Courant factors dt/dx and dt/dy.
struct step_view {
    int nx;
    int ny;
    float courant_x;
    float courant_y;
    const float_grid& u;
    const float_grid& v;
    const int_grid& solid;
    float_grid& slope_x;
    float_grid& slope_y;
};

// q_adv = q - (u dt/dx Dx q + v dt/dy Dy q) at a fluid node; a solid node
// keeps q.
inline float carried_value(float q, float u_rate, float v_rate, int is_solid) {
    const float moved = q - (u_rate + v_rate);
    return pick(is_solid != 0, q, moved);
}

// Any node, with every neighbour checked; used on the tunnel's boundary.
void update_boundary_node(const step_view& g, const carried_field& f, int i, int j) {
    const float_grid& q = *f.q;
    const float u = g.u[i][j];
    const float v = g.v[i][j];
    const float along_x = face_difference_at(u, q.data() + j, g.slope_x.data() + j, i, g.nx, g.ny);
    const float along_y = face_difference_at(v, q[i], g.slope_y[i], j, g.ny, 1);
    (*f.q_adv)[i][j] =
        carried_value(q[i][j], u * g.courant_x * along_x, v * g.courant_y * along_y, g.solid[i][j]);
}

// The nodes j = 1 ... ny-2 of an interior column i: no branch, so that the
// loop vectorises.
void update_interior_column(const step_view& g, const carried_field& f, int i) {
    const float_grid& q = *f.q;
    const float* q_left = q[i - 1];
    const float* q_here = q[i];
    const float* q_right = q[i + 1];
    const float* sx_left = g.slope_x[i - 1];
    const float* sx_here = g.slope_x[i];
    const float* sx_right = g.slope_x[i + 1];
    const float* sy = g.slope_y[i];
    const float* u = g.u[i];
    const float* v = g.v[i];
    const int* solid = g.solid[i];
    float* out = (*f.q_adv)[i];
    for (int j = 1; j <= g.ny - 2; ++j) {
        const float along_x = face_difference(u[j], q_left[j], q_here[j], q_right[j], sx_left[j],
                                              sx_here[j], sx_right[j]);
        const float along_y = face_difference(v[j], q_here[j - 1], q_here[j], q_here[j + 1],
                                              sy[j - 1], sy[j], sy[j + 1]);
        out[j] = carried_value(q_here[j], u[j] * g.courant_x * along_x,
                               v[j] * g.courant_y * along_y, solid[j]);
    }
}

void update(const step_view& g, const carried_field& f) {
    VELTARO_PARALLEL_FOR
    for (int i = 0; i < g.nx; ++i) {
        if (i == 0 || i == g.nx - 1) {
            for (int j = 0; j < g.ny; ++j) update_boundary_node(g, f, i, j);
            continue;
        }
        update_boundary_node(g, f, i, 0);
        update_interior_column(g, f, i);
        if (g.ny > 1) update_boundary_node(g, f, i, g.ny - 1);
    }
}

// One forward-Euler stage of both fields, one after the other (they share
// the slope arrays): slopes, then q - dt L(q) into the stage's results.
void euler_stage(const step_view& g, const std::array<carried_field, 2>& stage) {
    for (const carried_field& f : stage) {
        limited_slopes(*f.q, g.solid, g.slope_x, g.slope_y);
        update(g, f);
    }
}

// q_adv = (q + q_adv) / 2.
void average_with_start(const float_grid& q, float_grid& q_adv) {
    const float* start = q.data();
    float* out = q_adv.data();
    const auto nodes = static_cast<std::ptrdiff_t>(q.size());
    VELTARO_PARALLEL_FOR
    for (std::ptrdiff_t k = 0; k < nodes; ++k) out[k] = 0.5f * (start[k] + out[k]);
}

// Heun's two stages (strong-stability preserving: each stage keeps the
// forward step's bounds, and so does their mean), with the carrier frozen
// at the start of the step:
//   q1 = q - dt L(q),   q_adv = (q + q1 - dt L(q1)) / 2.
// A single forward stage would be first order in time, its error an
// anti-diffusion u^2 dt / 2, of the order of the spacing at a fixed Courant
// number.
inline void limited(const flow_field& frame, const float_grid& u, const float_grid& v,
                    const int_grid& solid, float dt, const carried_pair& fields,
                    advection_work& work) {
    const step_view g{frame.nx, frame.ny, dt / frame.dx, dt / frame.dy, u,
                      v,        solid,    work.slope_x,  work.slope_y};
    euler_stage(g, {carried_field{&fields.first, &work.stage_first},
                    carried_field{&fields.second, &work.stage_second}});
    euler_stage(g, {carried_field{&work.stage_first, &fields.first_adv},
                    carried_field{&work.stage_second, &fields.second_adv}});
    average_with_start(fields.first, fields.first_adv);
    average_with_start(fields.second, fields.second_adv);
}

}  // namespace

namespace advection_kernels {

[[gnu::flatten]] void limited_any_cpu(const flow_field& frame, const float_grid& u,
                                      const float_grid& v, const int_grid& solid, float dt,
                                      const carried_pair& fields, advection_work& work) {
    limited(frame, u, v, solid, dt, fields, work);
}

#if defined(__x86_64__)
// As the first-order kernels: the same IEEE operations on wider lanes, no
// multiply-add, so the same bits.
[[gnu::target("avx2"), gnu::flatten]] void limited_avx2(const flow_field& frame,
                                                        const float_grid& u, const float_grid& v,
                                                        const int_grid& solid, float dt,
                                                        const carried_pair& fields,
                                                        advection_work& work) {
    limited(frame, u, v, solid, dt, fields, work);
}
#endif

}  // namespace advection_kernels

namespace {

advection_kernels::limited_kernel* best_limited_kernel() {
#if defined(__x86_64__)
    if (advection_kernels::avx2_available()) return advection_kernels::limited_avx2;
#endif
    return advection_kernels::limited_any_cpu;
}

}  // namespace

void advect_limited(const flow_field& frame, const float_grid& u, const float_grid& v,
                    const int_grid& solid_nodes, float dt, const carried_pair& fields,
                    advection_work& work) {
    static advection_kernels::limited_kernel* const kernel = best_limited_kernel();
    if (frame.nx <= 0 || frame.ny <= 0) return;
    kernel(frame, u, v, solid_nodes, dt, fields, work);
}

void limited_advection_step(flow_field& field, float dt, const int_grid& solid_nodes,
                            advection_work& work) {
    advect_limited(field, field.u, field.v, solid_nodes, dt,
                   {field.u, field.v, field.u_adv, field.v_adv}, work);
}

}  // namespace veltaro
