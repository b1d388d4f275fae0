#include "solver/face_projection.h"

#include <algorithm>
#include <limits>

#include "common/threads.h"
#include "solver/advection_kernels.h"
#include "solver/limited_slopes.h"

namespace veltaro {

face_projection make_face_projection(const flow_field& field, float inlet_velocity) {
    face_projection projection;
    projection.faces = allocate_face_field(field.nx, field.ny);
    initial_face_velocities(field, inlet_velocity, projection.faces);
    projection.relaxation_time =
        inlet_velocity > 0.0f ? static_cast<float>(relaxation_courant * field.dx / inlet_velocity)
                              : std::numeric_limits<float>::infinity();
    projection.inlet_velocity = inlet_velocity;
    const auto column = static_cast<std::size_t>(field.ny > 0 ? field.ny : 0);
    const std::vector<float> zeros(column, 0.0f);
    projection.shares.assign(static_cast<std::size_t>(threads_in_use()),
                             {zeros, zeros, zeros, zeros});
    projection.correction = float_grid(field.nx, field.ny);
    return projection;
}

namespace {

// The weights of one iteration's prediction (face_projection.h),
//   U~ = keep U + (1 - keep) A u + follow A(u~ - u) + push G_f p_old,
// keep = 1 - dt/tau, follow = 1, push = 0 while dt <= tau (the face field
// relaxed toward the nodes over tau), keep = 0, follow = tau/dt,
// push = (dt - tau)/rho beyond (rebuilt from the nodes with the correction
// weighted by tau). The two agree at dt = tau.
struct prediction_weights {
    float keep;
    float follow;
    float push;
    float diffuse;  // mu dt/rho
};

prediction_weights weights_for(float dt, float tau, const run_parameters& params) {
    const float diffuse = params.dynamic_viscosity * dt / params.density;
    if (dt <= tau) return {1.0f - dt / tau, 1.0f, 0.0f, diffuse};
    return {0.0f, tau / dt, (dt - tau) / params.density, diffuse};
}

// dt/rho/h: the correction of a face of spacing h per unit pressure
// difference, the same in the held faces' prediction and in the projection,
// so that at a steady state the two cancel to the last bit.
float correction_per_pascal(float dt, float density, float spacing) {
    return dt / density / spacing;
}

// One face between nodes a and b, `gradient` = G_f p_old there.
inline float predicted(const prediction_weights& w, float face, float q_a, float q_b, float adv_a,
                       float adv_b, float lap_a, float lap_b, float gradient) {
    const float mean = 0.5f * (q_a + q_b);
    const float tendency =
        0.5f * ((adv_a - q_a) + (adv_b - q_b)) + 0.5f * w.diffuse * (lap_a + lap_b);
    return w.keep * face + (1.0f - w.keep) * mean + w.follow * tendency + w.push * gradient;
}

}  // namespace

namespace {

// The faces (i+1/2, j) of the column i >= 1, between the walls.
void predict_along(const flow_field& field, const int_grid& solid_nodes, const float_grid& lap_u,
                   const prediction_weights& w, float held, int i, float* __restrict face) {
    const float* __restrict q_a = field.u[i];
    const float* __restrict q_b = field.u[i + 1];
    const float* __restrict adv_a = field.u_adv[i];
    const float* __restrict adv_b = field.u_adv[i + 1];
    const float* __restrict lap_a = lap_u[i];
    const float* __restrict lap_b = lap_u[i + 1];
    const float* __restrict p_a = field.p[i];
    const float* __restrict p_b = field.p[i + 1];
    const int* __restrict solid_a = solid_nodes[i];
    const int* __restrict solid_b = solid_nodes[i + 1];
    const float inv_dx = 1.0f / field.dx;
    for (int j = 1; j + 1 < field.ny; ++j) {
        const float difference = p_b[j] - p_a[j];
        const float free = predicted(w, face[j], q_a[j], q_b[j], adv_a[j], adv_b[j], lap_a[j],
                                     lap_b[j], difference * inv_dx);
        face[j] = pick((solid_a[j] | solid_b[j]) != 0, held * difference, free);
    }
}

// The faces (i, j+1/2), j = 0 ... ny-2, of the interior column i; those
// of the walls carry nothing.
void predict_across(const flow_field& field, const int_grid& solid_nodes, const float_grid& lap_v,
                    const prediction_weights& w, float held, int i, float* __restrict face) {
    const int ny = field.ny;
    const float* __restrict q = field.v[i];
    const float* __restrict adv = field.v_adv[i];
    const float* __restrict lap = lap_v[i];
    const float* __restrict p = field.p[i];
    const int* __restrict solid = solid_nodes[i];
    const float inv_dy = 1.0f / field.dy;
    for (int j = 0; j + 1 < ny; ++j) {
        const float difference = p[j + 1] - p[j];
        const float free = predicted(w, face[j], q[j], q[j + 1], adv[j], adv[j + 1], lap[j],
                                     lap[j + 1], difference * inv_dy);
        face[j] = pick((solid[j] | solid[j + 1]) != 0, held * difference, free);
    }
    for (const int wall : {0, ny - 2}) {
        if ((solid[wall] | solid[wall + 1]) == 0) face[wall] = 0.0f;
    }
}

inline void predict_all(const flow_field& field, const int_grid& solid_nodes,
                        const float_grid& lap_u, const float_grid& lap_v, float dt,
                        const run_parameters& params, face_projection& projection) {
    const int nx = field.nx;
    const int ny = field.ny;
    const prediction_weights w = weights_for(dt, projection.relaxation_time, params);
    face_field& faces = projection.faces;
    const float held_along = correction_per_pascal(dt, params.density, field.dx);
    const float held_across = correction_per_pascal(dt, params.density, field.dy);
    // The inlet's faces (1/2, j) carry the inlet velocity.
    for (int j = 1; j + 1 < ny; ++j) {
        const bool held = (solid_nodes[0][j] | solid_nodes[1][j]) != 0;
        faces.u[0][j] =
            held ? held_along * (field.p[1][j] - field.p[0][j]) : projection.inlet_velocity;
    }
    VELTARO_PARALLEL_FOR
    for (int i = 1; i < nx - 1; ++i) {
        predict_along(field, solid_nodes, lap_u, w, held_along, i, faces.u[i]);
        predict_across(field, solid_nodes, lap_v, w, held_across, i, faces.v[i]);
    }
}

using predict_kernel = void(const flow_field&, const int_grid&, const float_grid&,
                            const float_grid&, float, const run_parameters&, face_projection&);

// Two builds, as the advection's: the same operations on wider lanes where
// the processor has AVX2.
[[gnu::flatten]] void predict_any_cpu(const flow_field& field, const int_grid& solid_nodes,
                                      const float_grid& lap_u, const float_grid& lap_v, float dt,
                                      const run_parameters& params, face_projection& projection) {
    predict_all(field, solid_nodes, lap_u, lap_v, dt, params, projection);
}

#if defined(__x86_64__)
[[gnu::target("avx2"), gnu::flatten]] void predict_avx2(
    const flow_field& field, const int_grid& solid_nodes, const float_grid& lap_u,
    const float_grid& lap_v, float dt, const run_parameters& params, face_projection& projection) {
    predict_all(field, solid_nodes, lap_u, lap_v, dt, params, projection);
}
#endif

// The largest (D_f U)^2 over the interior nodes: a reduction of selects,
// which the compiler vectorises.
inline float largest_divergence(const face_field& faces, float dx, float dy) {
    const int nx = faces.u.nx();
    const int ny = faces.u.ny();
    const float inv_dx = 1.0f / dx;
    const float inv_dy = 1.0f / dy;
    float largest = 0.0f;
#if defined(_OPENMP)
#pragma omp parallel for schedule(static) reduction(max : largest)
#endif
    for (int i = 1; i < nx - 1; ++i) {
        const float* __restrict east = faces.u[i];
        const float* __restrict west = faces.u[i - 1];
        const float* __restrict across = faces.v[i];
        for (int j = 1; j + 1 < ny; ++j) {
            const float d = (east[j] - west[j]) * inv_dx + (across[j] - across[j - 1]) * inv_dy;
            const float size = d * d;
            largest = size > largest ? size : largest;
        }
    }
    return largest;
}

using divergence_kernel = float(const face_field&, float, float);

[[gnu::flatten]] float divergence_any_cpu(const face_field& faces, float dx, float dy) {
    return largest_divergence(faces, dx, dy);
}

#if defined(__x86_64__)
[[gnu::target("avx2"), gnu::flatten]] float divergence_avx2(const face_field& faces, float dx,
                                                            float dy) {
    return largest_divergence(faces, dx, dy);
}
#endif

divergence_kernel* best_divergence_kernel() {
#if defined(__x86_64__)
    if (advection_kernels::avx2_available()) return divergence_avx2;
#endif
    return divergence_any_cpu;
}

predict_kernel* best_predict_kernel() {
#if defined(__x86_64__)
    if (advection_kernels::avx2_available()) return predict_avx2;
#endif
    return predict_any_cpu;
}

}  // namespace

void predict_faces(const flow_field& field, const int_grid& solid_nodes, const float_grid& lap_u,
                   const float_grid& lap_v, float dt, const run_parameters& params,
                   face_projection& projection) {
    static predict_kernel* const kernel = best_predict_kernel();
    kernel(field, solid_nodes, lap_u, lap_v, dt, params, projection);
}

bool faces_diverge_above(const face_field& faces, float dx, float dy, float limit) {
    static divergence_kernel* const kernel = best_divergence_kernel();
    // A NaN compares false: the divergence check of the loop reports it.
    return kernel(faces, dx, dy) > limit * limit;
}

void face_pressure_rhs(const face_field& faces, float dx, float dy, float dt, float density,
                       float outlet_pressure, std::vector<float>& rhs) {
    const int nx = faces.u.nx();
    const int ny = faces.u.ny();
    const float rate = density / dt;
    const int rows_per_column = ny - 2;
    VELTARO_PARALLEL_FOR
    for (int i = 1; i <= nx - 2; ++i) {
        const float* east = faces.u[i];
        const float* west = faces.u[i - 1];
        const float* across = faces.v[i];
        float* column = rhs.data() + static_cast<std::size_t>(i - 1) * rows_per_column - 1;
        for (int j = 1; j <= ny - 2; ++j) {
            column[j] = rate * ((east[j] - west[j]) / dx + (across[j] - across[j - 1]) / dy);
        }
    }
    // The outlet's known pressure moves to the right-hand side of the last
    // interior column.
    const float outlet_term = outlet_pressure / (dx * dx);
    float* last = rhs.data() + static_cast<std::size_t>(nx - 3) * rows_per_column;
    for (int j = 0; j < rows_per_column; ++j) last[j] -= outlet_term;
    const std::size_t interior_rows = static_cast<std::size_t>(nx - 2) * rows_per_column;
    std::fill(rhs.begin() + static_cast<std::ptrdiff_t>(interior_rows), rhs.end(), 0.0f);
}

void project_faces(const float_grid& p, float dx, float dy, float dt, float density,
                   face_field& faces) {
    const int nx = p.nx();
    const int ny = p.ny();
    const float along = correction_per_pascal(dt, density, dx);
    const float across = correction_per_pascal(dt, density, dy);
    VELTARO_PARALLEL_FOR
    for (int i = 0; i < nx - 1; ++i) {
        const float* p_a = p[i];
        const float* p_b = p[i + 1];
        float* face = faces.u[i];
        for (int j = 1; j + 1 < ny; ++j) face[j] -= along * (p_b[j] - p_a[j]);
    }
    VELTARO_PARALLEL_FOR
    for (int i = 1; i < nx - 1; ++i) {
        const float* column = p[i];
        float* face = faces.v[i];
        for (int j = 0; j + 1 < ny; ++j) face[j] -= across * (column[j + 1] - column[j]);
    }
}

}  // namespace veltaro
