#include "solver/face_advection.h"

#include <algorithm>
#include <utility>

#include "common/threads.h"
#include "solver/advection_kernels.h"
#include "solver/limited_slopes.h"

namespace veltaro {
namespace {

// The flux U q_f through a face between the nodes behind and ahead of it,
// with the face value reconstructed from the upwind one.
inline float face_flux(float velocity, float q_behind, float q_ahead, float s_behind,
                       float s_ahead) {
    return velocity * pick(velocity >= 0.0f, q_behind + 0.5f * s_behind, q_ahead - 0.5f * s_ahead);
}

// Which component is carried: the pressure gradient of f is along x for u,
// along y for v.
enum class component { u, v };

// What the stages of one component read.
struct stage_view {
    const flow_field& field;
    const face_field& faces;
    const int_grid& solid;
    const float_grid& lap;  // of the component
    advection_work& work;
    face_projection& projection;
    float dt;
    float nu;       // mu / rho
    float inv_rho;  // 1 / rho
};

// f = mu/rho lap q - G_h p / rho at the nodes j = 1 ... ny-2 of the
// interior column i, with the pressure of the last iteration, into `out`.
template <component c>
void other_tendency(const stage_view& g, int i, float* __restrict out) {
    const flow_field& field = g.field;
    const float* lap = g.lap[i];
    const float* p_west = field.p[i - 1];
    const float* p_here = field.p[i];
    const float* p_east = field.p[i + 1];
    const float two_dx = 2 * field.dx;
    const float two_dy = 2 * field.dy;
    for (int j = 1; j + 1 < field.ny; ++j) {
        const float gradient = c == component::u ? (p_east[j] - p_west[j]) / two_dx
                                                 : (p_here[j + 1] - p_here[j - 1]) / two_dy;
        out[j] = g.nu * lap[j] - g.inv_rho * gradient;
    }
}

// The fluxes through the faces (i+1/2, j), j = 1 ... ny-2, into `out`.
void fluxes_along(const stage_view& g, const float_grid& q, int i, float* __restrict out) {
    const float* velocity = g.faces.u[i];
    const float* q_behind = q[i];
    const float* q_ahead = q[i + 1];
    const float* s_behind = g.work.slope_x[i];
    const float* s_ahead = g.work.slope_x[i + 1];
    for (int j = 1; j + 1 < g.field.ny; ++j) {
        out[j] = face_flux(velocity[j], q_behind[j], q_ahead[j], s_behind[j], s_ahead[j]);
    }
}

// The fluxes through the faces (i, j+1/2), j = 0 ... ny-2, into `out`.
void fluxes_across(const stage_view& g, const float_grid& q, int i, float* __restrict out) {
    const float* velocity = g.faces.v[i];
    const float* here = q[i];
    const float* slope = g.work.slope_y[i];
    for (int j = 0; j + 1 < g.field.ny; ++j) {
        out[j] = face_flux(velocity[j], here[j], here[j + 1], slope[j], slope[j + 1]);
    }
}

// One forward stage on the interior columns [from, to), with one share's
// work buffers; the fluxes behind the first column are the share's own.
template <component c, bool first>
void euler_columns(const stage_view& g, const float_grid& q, float_grid& out, int from, int to,
                   face_projection::column_work& work) {
    const int ny = g.field.ny;
    const float rate_x = g.dt / g.field.dx;
    const float rate_y = g.dt / g.field.dy;
    fluxes_along(g, q, from - 1, work.flux_behind.data());
    for (int i = from; i < to; ++i) {
        fluxes_along(g, q, i, work.flux_ahead.data());
        fluxes_across(g, q, i, work.flux_across.data());
        if constexpr (first) other_tendency<c>(g, i, work.tendency.data());
        const float* __restrict behind = work.flux_behind.data();
        const float* __restrict ahead = work.flux_ahead.data();
        const float* __restrict across = work.flux_across.data();
        const float* __restrict tendency = work.tendency.data();
        const float* __restrict here = q[i];
        const int* __restrict solid = g.solid[i];
        float* __restrict result = out[i];
        result[0] = here[0];
        result[ny - 1] = here[ny - 1];
        for (int j = 1; j + 1 < ny; ++j) {
            float moved =
                here[j] - (rate_x * (ahead[j] - behind[j]) + rate_y * (across[j] - across[j - 1]));
            if constexpr (first) moved += g.dt * tendency[j];
            result[j] = pick(solid[j] != 0, here[j], moved);
        }
        std::swap(work.flux_behind, work.flux_ahead);
    }
}

// One forward stage, out = q - dt L(q), plus dt f in the first one, at the
// interior fluid nodes; the other nodes keep q. The slopes must be q's.
// Each thread takes a share of the columns: a flux is the same whichever
// share computes it, so the bytes do not depend on the threads.
template <component c, bool first>
void euler_stage(const stage_view& g, const float_grid& q, float_grid& out) {
    const int nx = g.field.nx;
    const int ny = g.field.ny;
    std::copy(q[0], q[0] + ny, out[0]);
    std::copy(q[nx - 1], q[nx - 1] + ny, out[nx - 1]);
    auto& shares = g.projection.shares;
    const auto parts = static_cast<int>(shares.size());
    VELTARO_PARALLEL_FOR
    for (int part = 0; part < parts; ++part) {
        const auto [from, to] = share_of(nx - 2, part, parts);
        if (from == to) continue;
        euler_columns<c, first>(g, q, out, from + 1, to + 1,
                                shares[static_cast<std::size_t>(part)]);
    }
}

// q_adv = (q + q_adv) / 2 - dt/2 f at the interior fluid nodes, the mean of
// the two stages without the f the first one took; the other nodes kept q.
template <component c>
void average_stages(const stage_view& g, const float_grid& q, float_grid& q_adv) {
    const float half_dt = 0.5f * g.dt;
    auto& shares = g.projection.shares;
    const auto parts = static_cast<int>(shares.size());
    VELTARO_PARALLEL_FOR
    for (int part = 0; part < parts; ++part) {
        const auto [from, to] = share_of(g.field.nx - 2, part, parts);
        float* __restrict tendency = shares[static_cast<std::size_t>(part)].tendency.data();
        for (int i = from + 1; i < to + 1; ++i) {
            other_tendency<c>(g, i, tendency);
            const float* __restrict start = q[i];
            const int* __restrict solid = g.solid[i];
            float* __restrict out = q_adv[i];
            for (int j = 1; j + 1 < g.field.ny; ++j) {
                const float mean = 0.5f * (start[j] + out[j]) - half_dt * tendency[j];
                out[j] = pick(solid[j] != 0, start[j], mean);
            }
        }
    }
}

template <component c>
void carry(const stage_view& g, const float_grid& q, float_grid& q_adv) {
    limited_slopes(q, g.solid, g.work.slope_x, g.work.slope_y);
    euler_stage<c, true>(g, q, g.work.stage_first);
    limited_slopes(g.work.stage_first, g.solid, g.work.slope_x, g.work.slope_y);
    euler_stage<c, false>(g, g.work.stage_first, q_adv);
    average_stages<c>(g, q, q_adv);
}

inline void carry_both(flow_field& field, const int_grid& solid_nodes, float dt,
                       const run_parameters& params, const float_grid& lap_u,
                       const float_grid& lap_v, advection_work& work, face_projection& projection) {
    const float nu = params.dynamic_viscosity / params.density;
    const float inv_rho = 1.0f / params.density;
    const face_field& faces = projection.faces;
    carry<component::u>({field, faces, solid_nodes, lap_u, work, projection, dt, nu, inv_rho},
                        field.u, field.u_adv);
    carry<component::v>({field, faces, solid_nodes, lap_v, work, projection, dt, nu, inv_rho},
                        field.v, field.v_adv);
}

using face_kernel = void(flow_field&, const int_grid&, float, const run_parameters&,
                         const float_grid&, const float_grid&, advection_work&, face_projection&);

// Two builds, as the node advection's: the same IEEE operations (no
// multiply-add), on wider lanes where the processor has AVX2.
[[gnu::flatten]] void carry_any_cpu(flow_field& field, const int_grid& solid_nodes, float dt,
                                    const run_parameters& params, const float_grid& lap_u,
                                    const float_grid& lap_v, advection_work& work,
                                    face_projection& projection) {
    carry_both(field, solid_nodes, dt, params, lap_u, lap_v, work, projection);
}

#if defined(__x86_64__)
[[gnu::target("avx2"), gnu::flatten]] void carry_avx2(flow_field& field,
                                                      const int_grid& solid_nodes, float dt,
                                                      const run_parameters& params,
                                                      const float_grid& lap_u,
                                                      const float_grid& lap_v, advection_work& work,
                                                      face_projection& projection) {
    carry_both(field, solid_nodes, dt, params, lap_u, lap_v, work, projection);
}
#endif

face_kernel* best_face_kernel() {
#if defined(__x86_64__)
    if (advection_kernels::avx2_available()) return carry_avx2;
#endif
    return carry_any_cpu;
}

}  // namespace

void face_flux_advection(flow_field& field, const int_grid& solid_nodes, float dt,
                         const run_parameters& params, const float_grid& lap_u,
                         const float_grid& lap_v, advection_work& work,
                         face_projection& projection) {
    if (field.nx < 3 || field.ny < 3) {
        field.u_adv = field.u;
        field.v_adv = field.v;
        return;
    }
    static face_kernel* const kernel = best_face_kernel();
    kernel(field, solid_nodes, dt, params, lap_u, lap_v, work, projection);
}

}  // namespace veltaro
