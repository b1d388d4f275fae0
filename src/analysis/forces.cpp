#include "analysis/forces.h"

namespace veltaro {

namespace {

// The forces come from the steady momentum balance over the whole tunnel
// as control volume (docs/method.md, "Lift and drag"): the force of the flow
// on the obstacle, per metre of span, is what enters through the tunnel's
// boundary less what leaves it,
//   F = -oint (p n + rho u (u . n)) ds   (viscous stresses neglected),
// with n the outward normal. Each integral is the trapezoid rule on the
// boundary nodes, the end nodes weighted one half.

// Lift, the y component: only the walls carry y momentum out (rho u v at the
// outlet is neglected), and on the walls v = 0, so
//   L = int_0^length (p(x, 0) - p(x, height)) dx.
double tunnel_lift(const flow_field& field) {
    const int nx = field.nx;
    const int top = field.ny - 1;
    const float_grid& p = field.p;
    double sum = 0.5 * (static_cast<double>(p[0][0]) - p[0][top]) +
                 0.5 * (static_cast<double>(p[nx - 1][0]) - p[nx - 1][top]);
    for (int i = 1; i <= nx - 2; ++i) sum += static_cast<double>(p[i][0]) - p[i][top];
    return sum * field.dx;
}

// Drag, the x component: the walls are frictionless and carry no x
// momentum, so
//   D = int_0^height (p + rho u^2)|inlet - (p + rho u^2)|outlet dy.
double tunnel_drag(const flow_field& field, double rho) {
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
    return {tunnel_lift(field), tunnel_drag(field, rho)};
}

}  // namespace veltaro
