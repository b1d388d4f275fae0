#include "analysis/convergence_measures.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "common/threads.h"

namespace veltaro {

namespace {

// The sums are taken over blocks of columns fixed by the grid, each on one
// thread, and the blocks' sums added in order: the same bytes at any number
// of threads, and the chains of adds shared out instead of one over every
// node.
constexpr int sum_blocks = 16;

struct magnitude_sums {
    double u = 0.0;
    double v = 0.0;
    double p = 0.0;
};

magnitude_sums block_sums(const flow_field& field, int first_column, int last_column) {
    magnitude_sums sums;
    for (int i = first_column; i < last_column; ++i) {
        const float* u = field.u[i];
        const float* v = field.v[i];
        const float* p = field.p[i];
        for (int j = 1; j <= field.ny - 2; ++j) {
            sums.u += std::fabs(u[j]);
            sums.v += std::fabs(v[j]);
            sums.p += std::fabs(p[j]);
        }
    }
    return sums;
}

}  // namespace

mean_magnitudes measure_field(const flow_field& field) {
    std::array<magnitude_sums, sum_blocks> blocks{};
    const int columns = std::max(field.nx - 2, 0);
    VELTARO_PARALLEL_FOR
    for (int block = 0; block < sum_blocks; ++block) {
        const auto [first, last] = share_of(columns, block, sum_blocks);
        blocks[static_cast<std::size_t>(block)] = block_sums(field, first + 1, last + 1);
    }
    magnitude_sums total;
    for (const magnitude_sums& block : blocks) {
        total.u += block.u;
        total.v += block.v;
        total.p += block.p;
    }
    const double nodes = static_cast<double>(field.nx) * field.ny;
    return {static_cast<float>(total.u / nodes), static_cast<float>(total.v / nodes),
            static_cast<float>(total.p / nodes)};
}

double relative_change(float now, float before) {
    const double change = std::fabs(static_cast<double>(now) - before);
    if (now == 0.0f) return change == 0.0 ? 0.0 : 1.0;
    return change / now;
}

}  // namespace veltaro
