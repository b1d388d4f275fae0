#include "analysis/convergence_measures.h"

#include <cmath>

namespace veltaro {

mean_magnitudes measure_field(const flow_field& field) {
    double sum_u = 0.0;
    double sum_v = 0.0;
    double sum_p = 0.0;
    for (int i = 1; i <= field.nx - 2; ++i) {
        const float* u = field.u[i];
        const float* v = field.v[i];
        const float* p = field.p[i];
        for (int j = 1; j <= field.ny - 2; ++j) {
            sum_u += std::fabs(u[j]);
            sum_v += std::fabs(v[j]);
            sum_p += std::fabs(p[j]);
        }
    }
    const double nodes = static_cast<double>(field.nx) * field.ny;
    return {static_cast<float>(sum_u / nodes), static_cast<float>(sum_v / nodes),
            static_cast<float>(sum_p / nodes)};
}

double relative_change(float now, float before) {
    const double change = std::fabs(static_cast<double>(now) - before);
    if (now == 0.0f) return change == 0.0 ? 0.0 : 1.0;
    return change / now;
}

}  // namespace veltaro
