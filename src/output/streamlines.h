// streamlines: traces a family of streamlines from the inlet through the
// final velocity field and marks each path on a grid of the picture's size,
// for the speed picture to draw in red.
#pragma once

#include <cstdint>
#include <vector>

#include "field/flow_field.h"
#include "field/grid.h"
#include "field/run_parameters.h"

namespace veltaro {

// A mark of the picture's pixels: [pixel column][pixel row counted from the
// bottom], like the picture mask; 1 where a streamline passes, 0 elsewhere.
// One byte a pixel: a picture may have tens of millions of them.
using streamline_marks = grid<unsigned char>;

// Traces one line per seed of streamline_seeds(params.height) through u, v
// onto marks of picture_width by picture_height pixels.
streamline_marks streamlines(const flow_field& field, const run_parameters& params,
                             int picture_width, int picture_height);

// Seed heights above the bottom wall: height / 10, then each previous seed
// plus height / 10 in single precision, while below height. Nine or ten
// seeds, depending on how the sums round; none for a height that is not
// positive.
std::vector<float> streamline_seeds(float height);

// The constants of every line of a run.
struct streamline_tracer {
    int nx = 0;
    int ny = 0;
    float width = 0.0f;             // tunnel length, m
    float height = 0.0f;            // tunnel height, m
    float pseudo_time_step = 0.0f;  // s: 1/100 node spacing at the inlet velocity
    std::int64_t limit = 0;         // a line ends once its step counter passes this
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
// nx, ny >= 2, a positive tunnel size and non-empty marks.
streamline_end trace_streamline(const streamline_tracer& tracer, const float_grid& u,
                                const float_grid& v, streamline_marks& marks, float y0);

}  // namespace veltaro
