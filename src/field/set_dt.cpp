#include "field/set_dt.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace veltaro {

float largest_speed(const flow_field& field) {
    const float* u = field.u.data();
    const float* v = field.v.data();
    const auto nodes = static_cast<std::ptrdiff_t>(field.u.size());
    // The square root is monotonic, so the root of the largest square is the
    // largest root: one root instead of one per node. A maximum is the same
    // whichever thread finds it.
    float largest_square = 0.0f;
#if defined(_OPENMP)
#pragma omp parallel for schedule(static) reduction(max : largest_square)
#endif
    for (std::ptrdiff_t k = 0; k < nodes; ++k) {
        const float square = u[k] * u[k] + v[k] * v[k];
        if (square > largest_square) largest_square = square;
    }
    return std::sqrt(largest_square);
}

// dt = min(C dx / vmax, 0.4 rho / (mu (1/dx^2 + 1/dy^2))) (docs/method.md,
// "Time step"), C the run's Courant number. The default 0.1 keeps every
// moved node within a tenth of a spacing; up to 1 the advection's 3 x 3
// window still finds every node that can land near a receiving one. The
// explicit viscous term is stable for nu dt (1/dx^2 + 1/dy^2) <= 1/2; the
// cap keeps a margin below that.
std::optional<float> set_dt(const flow_field& field, const run_parameters& params, double courant) {
    const float vmax = largest_speed(field);
    if (!(vmax > 0.0f)) return std::nullopt;
    double dt = (courant * field.dx) / vmax;
    if (params.dynamic_viscosity > 0.0f) {
        const double dx2 = static_cast<double>(field.dx) * field.dx;
        const double dy2 = static_cast<double>(field.dy) * field.dy;
        const double diffusion_limit =
            0.4 * params.density / (params.dynamic_viscosity * (1.0 / dx2 + 1.0 / dy2));
        dt = std::min(dt, diffusion_limit);
    }
    return static_cast<float>(dt);
}

}  // namespace veltaro
