#include "solver/momentum_equation.h"

namespace veltaro {

void momentum_equation(flow_field& field, float dt, const run_parameters& params,
                       const float_grid& lap_u, const float_grid& lap_v) {
    const int nx = field.nx;
    const int ny = field.ny;
    const float rho = params.RHO;
    const float mu = params.MU;
    const float two_dx_rho = 2 * field.dx * rho;
    const float two_dy_rho = 2 * field.dy * rho;
    for (int i = 1; i <= nx - 2; ++i) {
        const float* p_west = field.p[i - 1];
        const float* p_here = field.p[i];
        const float* p_east = field.p[i + 1];
        const float* u_adv = field.u_adv[i];
        const float* v_adv = field.v_adv[i];
        const float* lap_u_i = lap_u[i];
        const float* lap_v_i = lap_v[i];
        float* u = field.u[i];
        float* v = field.v[i];
        for (int j = 1; j <= ny - 2; ++j) {
            u[j] = (-dt * (p_east[j] - p_west[j])) / two_dx_rho + (mu * dt * lap_u_i[j]) / rho +
                   u_adv[j];
            v[j] = (-dt * (p_here[j + 1] - p_here[j - 1])) / two_dy_rho +
                   (mu * dt * lap_v_i[j]) / rho + v_adv[j];
        }
    }
}

}  // namespace veltaro
