#include "solver/momentum_equation.h"

#include "field/central_difference.h"

namespace veltaro {

namespace {

struct momentum_constants {
    float dt;
    float mu;
    float rho;
    float two_dx_rho;
    float two_dy_rho;
};

// One column i, j = 1 ... ny-2 of the explicit update (docs/method.md,
// "Momentum update"):
//   u = -dt (p(i+1,j) - p(i-1,j)) / (2 dx rho) + mu dt lap_u / rho + u*
//   v = -dt (p(i,j+1) - p(i,j-1)) / (2 dy rho) + mu dt lap_v / rho + v*
// The three terms are added in this order. The arrays are distinct; saying
// so lets the compiler vectorise.
void update_column(int ny, const momentum_constants& c, const float* __restrict p_west,
                   const float* __restrict p_here, const float* __restrict p_east,
                   const float* __restrict u_adv, const float* __restrict v_adv,
                   const float* __restrict lap_u, const float* __restrict lap_v,
                   float* __restrict u, float* __restrict v) {
    const float dt = c.dt;
    const float mu = c.mu;
    const float rho = c.rho;
    for (int j = 1; j <= ny - 2; ++j) {
        u[j] = (-dt * difference_along_x(p_west, p_east, j)) / c.two_dx_rho +
               (mu * dt * lap_u[j]) / rho + u_adv[j];
        v[j] = (-dt * difference_along_y(p_here, j)) / c.two_dy_rho + (mu * dt * lap_v[j]) / rho +
               v_adv[j];
    }
}

}  // namespace

void momentum_equation(flow_field& field, float dt, const run_parameters& params,
                       const solver_workspace& workspace) {
    const float_grid& lap_u = workspace.lap_u;
    const float_grid& lap_v = workspace.lap_v;
    const momentum_constants c{dt, params.dynamic_viscosity, params.density,
                               2 * field.dx * params.density, 2 * field.dy * params.density};
    for (int i = 1; i <= field.nx - 2; ++i) {
        update_column(field.ny, c, field.p[i - 1], field.p[i], field.p[i + 1], field.u_adv[i],
                      field.v_adv[i], lap_u[i], lap_v[i], field.u[i], field.v[i]);
    }
}

void hold_solid_nodes(flow_field& field, const int_grid& solid_nodes, float dt,
                      const run_parameters& params, const solver_workspace& workspace) {
    const float push = dt / params.density;
    const float diffuse = params.dynamic_viscosity * dt / params.density;
    for (int i = 1; i <= field.nx - 2; ++i) {
        const int* solid = solid_nodes[i];
        const float* p_west = field.p[i - 1];
        const float* p_here = field.p[i];
        const float* p_east = field.p[i + 1];
        for (int j = 1; j <= field.ny - 2; ++j) {
            if (solid[j] == 0) continue;
            field.u_adv[i][j] = field.u[i][j] +
                                push * difference_along_x(p_west, p_east, j) / (2 * field.dx) -
                                diffuse * workspace.lap_u[i][j];
            field.v_adv[i][j] = field.v[i][j] +
                                push * difference_along_y(p_here, j) / (2 * field.dy) -
                                diffuse * workspace.lap_v[i][j];
        }
    }
}

}  // namespace veltaro
