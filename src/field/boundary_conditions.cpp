#include "field/boundary_conditions.h"

#include <cmath>
#include <numbers>

namespace veltaro {

namespace {

// Inlet (i = 0): u = U_in, v = 0, a uniform plug of fluid entering.
// Outlet (i = nx-1): du/dx = 0 as u(nx-1,j) = u(nx-2,j), and v = 0, so the
// flow leaves straight along the tunnel. (docs/method.md, "Boundary
// conditions and the obstacle".)
void impose_inlet_and_outlet(flow_field& field, float inlet_velocity) {
    const int nx = field.nx;
    const int ny = field.ny;
    if (ny < 3 || nx < 2) return;
    for (int j = 1; j <= ny - 2; ++j) {
        field.u[0][j] = inlet_velocity;
        field.v[0][j] = 0.0f;
    }
    for (int j = 1; j <= ny - 2; ++j) {
        field.u[nx - 1][j] = field.u[nx - 2][j];
        field.v[nx - 1][j] = 0.0f;
    }
}

// Frictionless walls: no flow through them, v = 0, and no shear at them,
// du/dy = 0 as u(i,0) = u(i,1) and u(i,ny-1) = u(i,ny-2). The corners take
// their u from the node above or below them in the same column.
void impose_walls(flow_field& field) {
    const int ny = field.ny;
    if (ny < 2) return;
    for (int i = 0; i < field.nx; ++i) {
        field.u[i][0] = field.u[i][1];
        field.u[i][ny - 1] = field.u[i][ny - 2];
        field.v[i][0] = 0.0f;
        field.v[i][ny - 1] = 0.0f;
    }
}

// The obstacle is the set of solid nodes held at u = v = 0 after every
// update: a no-slip, no-penetration body on the grid's staircase. Neither
// the pressure equation nor the momentum update sees it otherwise.
void impose_obstacle(flow_field& field, const int_grid& solid_nodes) {
    const int* solid = solid_nodes.data();
    float* u = field.u.data();
    float* v = field.v.data();
    const std::size_t nodes = field.u.size();
    for (std::size_t k = 0; k < nodes; ++k) {
        if (solid[k] != 0) {
            u[k] = 0.0f;
            v[k] = 0.0f;
        }
    }
}

}  // namespace

void boundary_conditions(flow_field& field, float inlet_velocity, const int_grid& solid_nodes) {
    impose_inlet_and_outlet(field, inlet_velocity);
    impose_walls(field);
    impose_obstacle(field, solid_nodes);
}

void tilt_inlet(flow_field& field, float cross_velocity, const int_grid& solid_nodes) {
    if (field.nx < 2) return;
    for (int j = 1; j <= field.ny - 2; ++j) {
        if (solid_nodes[0][j] == 0) field.v[0][j] = cross_velocity;
    }
}

start_up_tilt start_up_tilt_for(float length, float inlet_velocity) {
    const double flow_through = static_cast<double>(length) / inlet_velocity;
    return {std::tan(start_up_tilt_degrees * std::numbers::pi / 180.0),
            tilt_held_flow_throughs * flow_through, tilt_gone_flow_throughs * flow_through};
}

float inlet_cross_velocity(const start_up_tilt& tilt, float inlet_velocity, double time) {
    if (time >= tilt.gone_at) return 0.0f;
    const double share =
        time <= tilt.hold_until ? 1.0 : (tilt.gone_at - time) / (tilt.gone_at - tilt.hold_until);
    return static_cast<float>(inlet_velocity * tilt.tangent * share);
}

}  // namespace veltaro
