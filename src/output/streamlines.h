// streamlines: traces a family of streamlines from the inlet through the
// final velocity field and burns each path into the picture mask with
// streamline_pixel, for the speed picture to draw in red. Obstacle pixels
// are never overwritten.
#pragma once

#include <cstdint>
#include <vector>

#include "field/grid.h"
#include "field/run_parameters.h"
#include "geometry/obstacle_masks.h"

namespace veltaro {

// Traces one line per seed of streamline_seeds(params.HEIGHT).
void streamlines(int nx, int ny, const float_grid& u, const float_grid& v,
                 const run_parameters& params, obstacle_masks& masks);

// Seed heights above the bottom wall: HEIGHT / 10, then each previous seed
// plus HEIGHT / 10 in single precision, while below HEIGHT. Nine or ten
// seeds, depending on how the sums round; none for a HEIGHT that is not
// positive.
std::vector<float> streamline_seeds(float height);

// The constants of every line of a run.
struct streamline_tracer {
    int nx = 0;
    int ny = 0;
    float width = 0.0f;      // tunnel length, m
    float height = 0.0f;     // tunnel height, m
    float h = 0.0f;          // pseudo-time step: 1/100 node spacing at the inlet velocity
    std::int64_t limit = 0;  // a line ends once its step counter passes this
};

streamline_tracer make_streamline_tracer(int nx, int ny, const run_parameters& params);

// Where a line ended, and how many positions it marked.
struct streamline_end {
    float x = 0.0f;
    float y = 0.0f;
    std::int64_t passes = 0;
};

// Traces the line that starts on the inlet at height y0. Each pass marks
// the pixel under the position, then moves with the velocity interpolated
// there. The line ends after limit + 2 passes, or when a move leaves the
// closed tunnel rectangle or yields a position that is not finite. Needs
// nx, ny >= 2, a positive tunnel size and a non-empty mask.
streamline_end trace_streamline(const streamline_tracer& tracer, const float_grid& u,
                                const float_grid& v, obstacle_masks& masks, float y0);

}  // namespace veltaro
