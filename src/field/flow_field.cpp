#include "field/flow_field.h"

#include <new>
#include <string>

#include "common/run_error.h"

namespace veltaro {

flow_field allocate_flow_field(int nx, int ny, float dx, float dy) {
    flow_field field;
    try {
        for (float_grid* array :
             {&field.x, &field.y, &field.u, &field.v, &field.p, &field.u_adv, &field.v_adv}) {
            *array = float_grid(nx, ny);
        }
    } catch (const std::bad_alloc&) {
        throw run_error("Not enough memory for a mesh of " + std::to_string(nx) + " x " +
                        std::to_string(ny) + " nodes; choose a coarser mesh or a shorter tunnel.");
    }
    field.nx = nx;
    field.ny = ny;
    field.dx = dx;
    field.dy = dy;
    // Repeated addition in double is exact here, and rounds to the same float
    // as the product i * dx.
    double xi = 0.0;
    for (int i = 0; i < nx; ++i, xi += dx) {
        double yj = 0.0;
        for (int j = 0; j < ny; ++j, yj += dy) {
            field.x[i][j] = static_cast<float>(xi);
            field.y[i][j] = static_cast<float>(yj);
        }
    }
    return field;
}

void initial_conditions(flow_field& field, float inlet_velocity) {
    field.u.fill(0.0f);
    field.v.fill(0.0f);
    if (field.nx > 0) {
        for (int j = 0; j < field.ny; ++j) field.u[0][j] = inlet_velocity;
    }
    // Before any iteration the advected velocity is the initial one: a run
    // stopped before its first pass reports and writes that.
    field.u_adv = field.u;
    field.v_adv = field.v;
}

}  // namespace veltaro
