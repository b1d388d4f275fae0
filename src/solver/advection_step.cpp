#include "solver/advection_step.h"

#include <algorithm>
#include <cmath>

namespace veltaro {

void move_nodes(int nx, int ny, float dt, const float_grid& x, const float_grid& y,
                float_grid& x_moved, float_grid& y_moved, const float_grid& u,
                const float_grid& v) {
    if (nx <= 0 || ny <= 0) return;
    const std::size_t nodes = static_cast<std::size_t>(nx) * ny;
    for (std::size_t k = 0; k < nodes; ++k) {
        x_moved.data()[k] = u.data()[k] * dt + x.data()[k];
        y_moved.data()[k] = v.data()[k] * dt + y.data()[k];
    }
}

void rebuild_on_grid(int nx, int ny, float dx, float dy, const float_grid& x, const float_grid& y,
                     const float_grid& x_moved, const float_grid& y_moved, const float_grid& q,
                     float_grid& q_adv) {
    const float cell = dx * dy;
    for (int i = 0; i < nx; ++i) {
        const int a_first = std::max(i - 1, 0);
        const int a_last = std::min(i + 1, nx - 1);
        for (int j = 0; j < ny; ++j) {
            const int b_first = std::max(j - 1, 0);
            const int b_last = std::min(j + 1, ny - 1);
            const float xi = x[i][j];
            const float yj = y[i][j];
            float weighted_sum = 0.0f;
            float weight_sum = 0.0f;
            for (int a = a_first; a <= a_last; ++a) {
                for (int b = b_first; b <= b_last; ++b) {
                    // Written as "within range" so that a NaN position never counts.
                    const float ax = std::fabs(x_moved[a][b] - xi);
                    if (!(ax < dx)) continue;
                    const float ay = std::fabs(y_moved[a][b] - yj);
                    if (!(ay < dy)) continue;
                    const float w = (dx - ax) * (dy - ay);
                    weighted_sum += q[a][b] * w / cell;
                    weight_sum += w / cell;
                }
            }
            // No source in range happens only for a non-finite time step, which
            // the loop never takes; keep the value rather than make a NaN.
            q_adv[i][j] = weight_sum > 0.0f ? weighted_sum / weight_sum : q[i][j];
        }
    }
}

void advection_step(int nx, int ny, float dx, float dy, float dt, const float_grid& x,
                    const float_grid& y, float_grid& x_moved, float_grid& y_moved,
                    const float_grid& u, const float_grid& v, const float_grid& q,
                    float_grid& q_adv) {
    move_nodes(nx, ny, dt, x, y, x_moved, y_moved, u, v);
    rebuild_on_grid(nx, ny, dx, dy, x, y, x_moved, y_moved, q, q_adv);
}

}  // namespace veltaro
