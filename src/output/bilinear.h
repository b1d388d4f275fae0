// bilinear: sampling a node field between its nodes, shared by the result
// pictures and the streamline tracer so both read the grid the same way and
// neither can step off it.
#pragma once

#include <algorithm>
#include <cmath>

#include "field/grid.h"

namespace veltaro {

// Nodes lo and hi bracketing a position along one grid direction, and how
// far (0 at lo, 1 at hi) the position lies between them.
struct grid_cell {
    int lo = 0;
    int hi = 0;
    float fraction = 0.0f;
};

// The cell of grid position `position` along a direction of n >= 1 nodes.
// lo is floor(lo_source), kept within 0 ... n-2 so that hi = lo + 1 is a
// node: a position on the last node, or a lo_source that rounding pushed a
// step too far, uses the last cell. With a single node, lo = hi = 0.
// lo_source must be finite.
inline grid_cell clamped_cell(float lo_source, double position, int n) {
    const int last_lo = std::max(n - 2, 0);
    const int lo = std::clamp(static_cast<int>(std::floor(lo_source)), 0, last_lo);
    return {lo, std::min(lo + 1, n - 1), static_cast<float>(position - lo)};
}

// Interpolates first along i on node rows ja and jb, then across from ja
// towards jb; fraction_j = 0 gives row ja.
inline float bilinear(const float_grid& f, const grid_cell& i, int ja, int jb, float fraction_j) {
    const float a = f[i.lo][ja] - (f[i.lo][ja] - f[i.hi][ja]) * i.fraction;
    const float b = f[i.lo][jb] - (f[i.lo][jb] - f[i.hi][jb]) * i.fraction;
    return a - (a - b) * fraction_j;
}

}  // namespace veltaro
