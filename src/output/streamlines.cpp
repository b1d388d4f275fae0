#include "output/streamlines.h"

#include <algorithm>
#include <cmath>

#include "output/bilinear.h"

namespace veltaro {
namespace {

// floor(scale * fraction), kept on the mask: rounding must not put a
// position on the far edge one pixel past it.
int pixel_index(int pixels, float position, float length) {
    const float scaled = static_cast<float>(pixels - 1) * position / length;
    return std::clamp(static_cast<int>(std::floor(scaled)), 0, pixels - 1);
}

void mark(streamline_marks& marks, const streamline_tracer& tracer, float x, float y) {
    const int px = pixel_index(marks.nx(), x, tracer.width);
    const int py = pixel_index(marks.ny(), y, tracer.height);
    marks[px][py] = 1;
}

// Written as "inside" so that a NaN position, for which every comparison is
// false, counts as outside and is never turned into an index.
bool inside(const streamline_tracer& tracer, float x, float y) {
    return x >= 0.0f && x <= tracer.width && y >= 0.0f && y <= tracer.height;
}

bool traceable(const streamline_tracer& tracer, const float_grid& u, const float_grid& v,
               const streamline_marks& marks) {
    const bool grid_fits =
        u.nx() == tracer.nx && u.ny() == tracer.ny && v.nx() == tracer.nx && v.ny() == tracer.ny;
    return tracer.nx >= 2 && tracer.ny >= 2 && grid_fits && tracer.width > 0.0f &&
           std::isfinite(tracer.width) && marks.nx() > 0 && marks.ny() > 0;
}

}  // namespace

std::vector<float> streamline_seeds(float height) {
    std::vector<float> seeds;
    const float spacing = height / 10.0f;
    // A spacing that underflows to zero would never reach the top.
    if (!(spacing > 0.0f)) return seeds;
    // The seeds are the running single-precision sums themselves, so the
    // loop counts in float on purpose.
    // NOLINTNEXTLINE(clang-analyzer-security.FloatLoopCounter)
    for (float seed = spacing; seed < height; seed += spacing) seeds.push_back(seed);
    return seeds;
}

streamline_tracer make_streamline_tracer(int nx, int ny, const run_parameters& params) {
    streamline_tracer tracer;
    tracer.nx = nx;
    tracer.ny = ny;
    tracer.width = params.length;
    tracer.height = params.height;
    const float spacing = params.length / static_cast<float>(nx - 1);
    tracer.pseudo_time_step =
        static_cast<float>(static_cast<double>(spacing) * 0.01 / params.inlet_velocity);
    tracer.limit = (static_cast<std::int64_t>(nx) + ny) * 1000;
    return tracer;
}

streamline_end trace_streamline(const streamline_tracer& tracer, const float_grid& u,
                                const float_grid& v, streamline_marks& marks, float y0) {
    float x = 0.0f;
    float y = y0;
    for (std::int64_t k = 0;; ++k) {
        mark(marks, tracer, x, y);
        const float gx = (x / tracer.width) * static_cast<float>(tracer.nx - 1);
        const float gy = (y / tracer.height) * static_cast<float>(tracer.ny - 1);
        // On the outlet plane or the top wall the last cell is used.
        const grid_cell column = clamped_cell(gx, gx, tracer.nx);
        const grid_cell row = clamped_cell(gy, gy, tracer.ny);
        const float u_here = bilinear(u, column, row.lo, row.hi, row.fraction);
        const float v_here = bilinear(v, column, row.lo, row.hi, row.fraction);
        x = x + u_here * tracer.pseudo_time_step;
        y = y + v_here * tracer.pseudo_time_step;
        if (k > tracer.limit || !inside(tracer, x, y)) return {x, y, k + 1};
    }
}

streamline_marks streamlines(const flow_field& field, const run_parameters& params,
                             int picture_width, int picture_height) {
    streamline_marks marks(picture_width, picture_height, 0);
    const streamline_tracer tracer = make_streamline_tracer(field.nx, field.ny, params);
    if (!traceable(tracer, field.u, field.v, marks)) return marks;
    for (const float seed : streamline_seeds(params.height))
        trace_streamline(tracer, field.u, field.v, marks, seed);
    return marks;
}

}  // namespace veltaro
