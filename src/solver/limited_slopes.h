// The limited slopes of the second-order advection (limited_advection.h),
// shared by the node advection and the face projection's flux form
// (face_advection.h). Inline and free of branches in their loops, so that
// each caller's AVX2 build vectorises them with its own code.
#pragma once

#include <algorithm>

#include "common/threads.h"
#include "field/grid.h"
#include "solver/select.h"

namespace veltaro {

// The slope with which face values are reconstructed from node k, from
// the one-sided differences behind = q(k) - q(k-1) and ahead = q(k+1) -
// q(k). At a fluid node, van Leer's: where the two agree in sign their
// harmonic mean (at most twice the smaller), at an extremum zero. At a
// solid node with fluid on one side only, the difference toward that side:
// the solid node holds the wall's velocity (or, under the outline rule, its
// linear continuation across the outline), so the profile runs straight
// from it to the fluid, and the face between them is reconstructed on that
// line. Other solid nodes: zero.
inline float limited_slope(float behind, float ahead, int solid_behind, int solid_here,
                           int solid_ahead) {
    const float product = behind * ahead;
    // The sum is zero only where the product is not positive; the select
    // keeps the quotient's infinity or NaN out of the result.
    const float mean = 2.0f * product / (behind + ahead);
    const float fluid = pick(product > 0.0f, mean, 0.0f);
    const float wall = pick(solid_behind == 0 && solid_ahead != 0, behind,
                            pick(solid_ahead == 0 && solid_behind != 0, ahead, 0.0f));
    return pick(solid_here != 0, wall, fluid);
}

// Limited slopes of q along i (slope_x) and j (slope_y); zero where a
// neighbour in that direction is missing.
inline void limited_slopes(const float_grid& q, const int_grid& solid, float_grid& slope_x,
                           float_grid& slope_y) {
    const int nx = q.nx();
    const int ny = q.ny();
    VELTARO_PARALLEL_FOR
    for (int i = 0; i < nx; ++i) {
        const float* here = q[i];
        const int* solid_here = solid[i];
        float* sx = slope_x[i];
        float* sy = slope_y[i];
        if (i == 0 || i == nx - 1) {
            std::fill(sx, sx + ny, 0.0f);
        } else {
            const float* behind = q[i - 1];
            const float* ahead = q[i + 1];
            const int* solid_behind = solid[i - 1];
            const int* solid_ahead = solid[i + 1];
            for (int j = 0; j < ny; ++j) {
                sx[j] = limited_slope(here[j] - behind[j], ahead[j] - here[j], solid_behind[j],
                                      solid_here[j], solid_ahead[j]);
            }
        }
        sy[0] = 0.0f;
        for (int j = 1; j <= ny - 2; ++j) {
            sy[j] = limited_slope(here[j] - here[j - 1], here[j + 1] - here[j], solid_here[j - 1],
                                  solid_here[j], solid_here[j + 1]);
        }
        if (ny > 1) sy[ny - 1] = 0.0f;
    }
}

}  // namespace veltaro
