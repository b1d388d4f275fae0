#include "driver/forces.h"

namespace veltaro {

namespace {

// Pressure difference between the bottom and the top wall, along the tunnel.
double lift_of(const flow_field& field) {
    const int nx = field.nx;
    const int top = field.ny - 1;
    const float_grid& p = field.p;
    double sum = 0.5 * (static_cast<double>(p[0][0]) - p[0][top]) +
                 0.5 * (static_cast<double>(p[nx - 1][0]) - p[nx - 1][top]);
    for (int i = 1; i <= nx - 2; ++i) sum += static_cast<double>(p[i][0]) - p[i][top];
    return sum * field.dx;
}

// Pressure plus momentum flux, inlet minus outlet, across the tunnel.
double drag_of(const flow_field& field, double rho) {
    const int out = field.nx - 1;
    const int top = field.ny - 1;
    const float_grid& p = field.p;
    const float_grid& u = field.u;
    auto square = [](float value) { return static_cast<double>(value) * value; };
    double sum = 0.5 * (static_cast<double>(p[0][0]) - p[out][0]) +
                 0.5 * (static_cast<double>(p[0][top]) - p[out][top]) +
                 0.5 * rho * (square(u[0][0]) - square(u[out][0])) +
                 0.5 * rho * (square(u[0][top]) - square(u[out][top]));
    for (int j = 1; j <= top - 1; ++j) {
        sum += (static_cast<double>(p[0][j]) - p[out][j]) +
               rho * (square(u[0][j]) - square(u[out][j]));
    }
    return sum * field.dy;
}

}  // namespace

forces lift_and_drag(const flow_field& field, float rho) {
    if (field.nx < 1 || field.ny < 1) return {};
    return {lift_of(field), drag_of(field, rho)};
}

}  // namespace veltaro
