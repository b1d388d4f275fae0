#include "output/vorticity.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace veltaro {
namespace {

// d/dk of f along one direction at index k of n values spaced h apart:
// central inside, one-sided at the two ends. at(k) reads the value.
template <typename At>
float derivative(At at, int k, int n, float h) {
    if (n < 2) return 0.0f;
    const int lo = k > 0 ? k - 1 : 0;
    const int hi = k < n - 1 ? k + 1 : n - 1;
    return (at(hi) - at(lo)) / (static_cast<float>(hi - lo) * h);
}

}  // namespace

void vorticity(const flow_field& field, float_grid& omega) {
    if (omega.nx() != field.nx || omega.ny() != field.ny) omega = float_grid(field.nx, field.ny);
    for (int i = 0; i < field.nx; ++i) {
        const float* u = field.u[i];
        for (int j = 0; j < field.ny; ++j) {
            const float dv_dx =
                derivative([&](int k) { return field.v[k][j]; }, i, field.nx, field.dx);
            const float du_dy = derivative([&](int k) { return u[k]; }, j, field.ny, field.dy);
            omega[i][j] = dv_dx - du_dy;
        }
    }
}

float vorticity_bound(const float_grid& omega, const int_grid& solid_nodes,
                      std::vector<float>& scratch) {
    scratch.clear();
    for (int i = 0; i < omega.nx(); ++i) {
        for (int j = 0; j < omega.ny(); ++j) {
            const bool solid = i < solid_nodes.nx() && j < solid_nodes.ny() && solid_nodes[i][j];
            if (!solid && std::isfinite(omega[i][j])) scratch.push_back(std::fabs(omega[i][j]));
        }
    }
    if (scratch.empty()) return 1.0f;
    const auto rank = static_cast<std::ptrdiff_t>(0.98 * static_cast<double>(scratch.size() - 1));
    std::nth_element(scratch.begin(), scratch.begin() + rank, scratch.end());
    const float bound = scratch[static_cast<std::size_t>(rank)];
    return bound > 0.0f ? bound : 1.0f;
}

}  // namespace veltaro
