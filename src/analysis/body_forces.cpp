#include "analysis/body_forces.h"

#include <algorithm>

#include "field/central_difference.h"

namespace veltaro {

force_box box_around(const int_grid& solid_nodes, int margin) {
    force_box box{solid_nodes.nx(), -1, solid_nodes.ny(), -1, false};
    for (int i = 0; i < solid_nodes.nx(); ++i) {
        for (int j = 0; j < solid_nodes.ny(); ++j) {
            if (solid_nodes[i][j] == 0) continue;
            box.first_i = std::min(box.first_i, i - margin);
            box.last_i = std::max(box.last_i, i + margin);
            box.first_j = std::min(box.first_j, j - margin);
            box.last_j = std::max(box.last_j, j + margin);
        }
    }
    box.valid = box.last_i >= 0 && box.first_i >= 1 && box.first_j >= 1 &&
                box.last_i <= solid_nodes.nx() - 2 && box.last_j <= solid_nodes.ny() - 2;
    return box;
}

namespace {

// The stresses and momentum fluxes at one node, central differences for the
// velocity gradients.
struct node_flux {
    double xx, xy, yy;  // sigma - rho u u, symmetric
};

node_flux flux_at(const flow_field& f, int i, int j, double rho, double mu) {
    const double u = f.u[i][j];
    const double v = f.v[i][j];
    const double p = f.p[i][j];
    const double u_x = difference_along_x<double>(f.u[i - 1], f.u[i + 1], j) / (2.0 * f.dx);
    const double u_y = difference_along_y<double>(f.u[i], j) / (2.0 * f.dy);
    const double v_x = difference_along_x<double>(f.v[i - 1], f.v[i + 1], j) / (2.0 * f.dx);
    const double v_y = difference_along_y<double>(f.v[i], j) / (2.0 * f.dy);
    return {-p + 2.0 * mu * u_x - rho * u * u, mu * (u_y + v_x) - rho * u * v,
            -p + 2.0 * mu * v_y - rho * v * v};
}

// Trapezoid weight along a side: the corners count one half.
double end_weight(int k, int first, int last) { return k == first || k == last ? 0.5 : 1.0; }

}  // namespace

forces box_forces(const flow_field& field, const previous_velocity& before, const force_box& box,
                  const int_grid& solid_nodes, double rho, double mu) {
    double fx = 0.0;
    double fy = 0.0;
    // The sides x = const: n = (+-1, 0), traction (xx, xy) n_x.
    for (int j = box.first_j; j <= box.last_j; ++j) {
        const double w = end_weight(j, box.first_j, box.last_j) * field.dy;
        const node_flux out = flux_at(field, box.last_i, j, rho, mu);
        const node_flux in = flux_at(field, box.first_i, j, rho, mu);
        fx += w * (out.xx - in.xx);
        fy += w * (out.xy - in.xy);
    }
    // The sides y = const: n = (0, +-1), traction (xy, yy) n_y.
    for (int i = box.first_i; i <= box.last_i; ++i) {
        const double w = end_weight(i, box.first_i, box.last_i) * field.dx;
        const node_flux top = flux_at(field, i, box.last_j, rho, mu);
        const node_flux bottom = flux_at(field, i, box.first_j, rho, mu);
        fx += w * (top.xy - bottom.xy);
        fy += w * (top.yy - bottom.yy);
    }
    // d/dt int rho u dV over the fluid nodes, the same trapezoid weights.
    if (before.dt > 0.0) {
        double du = 0.0;
        double dv = 0.0;
        for (int i = box.first_i; i <= box.last_i; ++i) {
            const double wi = end_weight(i, box.first_i, box.last_i);
            for (int j = box.first_j; j <= box.last_j; ++j) {
                if (solid_nodes[i][j] != 0) continue;
                const double w = wi * end_weight(j, box.first_j, box.last_j);
                du += w * (static_cast<double>(field.u[i][j]) - before.u[i][j]);
                dv += w * (static_cast<double>(field.v[i][j]) - before.v[i][j]);
            }
        }
        const double scale = rho * field.dx * field.dy / before.dt;
        fx -= scale * du;
        fy -= scale * dv;
    }
    return {fy, fx};
}

}  // namespace veltaro
