#include "analysis/steady_residual.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/threads.h"

namespace veltaro {

steady_monitor::steady_monitor(int nx, int ny, double unit)
    : u_before_(nx, ny), v_before_(nx, ny), column_sums_(static_cast<std::size_t>(nx > 0 ? nx : 0), 0.0), unit_(unit) {}

void steady_monitor::remember(const flow_field& field) {
    VELTARO_PARALLEL_FOR
    for (int i = 0; i < field.nx; ++i) {
        std::copy(field.u[i], field.u[i] + field.ny, u_before_[i]);
        std::copy(field.v[i], field.v[i] + field.ny, v_before_[i]);
    }
}

double residual_unit(const obstacle_size& size, float inlet_velocity, float height) {
    const double length = size.has_obstacle ? size.chord : height;
    const double velocity = inlet_velocity;
    return velocity * velocity / length;
}

float unit_in_last_place(float value) {
    const float magnitude = std::fabs(value);
    return std::nextafter(magnitude, std::numeric_limits<float>::infinity()) - magnitude;
}

steady_measure steady_monitor::measure(const flow_field& field, const int_grid& solid_nodes,
                                       float dt) {
    double largest_change2 = 0.0;
    double largest_component = 0.0;  // of |du| and |dv|, for the rounding floor
    double largest_speed2 = 0.0;
    long fluid_nodes = 0;
    // The maxima and the count are the same whichever thread finds them.
    // The sum is taken column by column, each column's on the thread that
    // measures it, and the columns' sums are added on one thread in the
    // order of the grid: a partition fixed by the grid, so its rounding
    // never depends on the threads, and the column's adds overlap the
    // measuring instead of making one chain over every node afterwards.
#if defined(_OPENMP)
#pragma omp parallel for schedule(static) \
    reduction(max : largest_change2, largest_component, largest_speed2) reduction(+ : fluid_nodes)
#endif
    for (int i = 1; i <= field.nx - 2; ++i) {
        const int* solid = solid_nodes[i];
        double column_sum = 0.0;
        for (int j = 1; j <= field.ny - 2; ++j) {
            if (solid[j] != 0) continue;
            const double u = field.u[i][j];
            const double v = field.v[i][j];
            const double du = u - u_before_[i][j];
            const double dv = v - v_before_[i][j];
            const double change2 = du * du + dv * dv;
            column_sum += change2;
            largest_change2 = std::max(largest_change2, change2);
            largest_component = std::max({largest_component, std::fabs(du), std::fabs(dv)});
            largest_speed2 = std::max(largest_speed2, u * u + v * v);
            ++fluid_nodes;
        }
        column_sums_[static_cast<std::size_t>(i)] = column_sum;
    }
    double sum_change2 = 0.0;
    for (int i = 1; i <= field.nx - 2; ++i) sum_change2 += column_sums_[static_cast<std::size_t>(i)];
    steady_measure result;
    if (fluid_nodes == 0) {
        result.steady = true;
        return result;
    }
    const double scale = 1.0 / (static_cast<double>(dt) * unit_);
    const double largest_change = std::sqrt(largest_change2);
    result.residual = largest_change * scale;
    result.residual_rms = std::sqrt(sum_change2 / static_cast<double>(fluid_nodes)) * scale;
    const float largest_speed = static_cast<float>(std::sqrt(largest_speed2));
    const double floor =
        steady_rounding_units * static_cast<double>(unit_in_last_place(largest_speed));
    result.steady = result.residual < steady_residual_limit || largest_component <= floor;
    return result;
}

}  // namespace veltaro
