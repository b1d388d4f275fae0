// Discrete Laplacians of the current velocity. The pressure and momentum
// equations read the same u and v, so one computation per iteration serves
// both.
#pragma once

#include "field/grid.h"

namespace veltaro {

// Five-point Laplacian of q at the interior nodes; edges are left alone.
void laplacian(int nx, int ny, float dx, float dy, const float_grid& q, float_grid& lap_q);

// Each edge entry takes its inward neighbour's value (corners untouched):
// the pressure source reads the Laplacian one node beyond the interior.
void copy_laplacian_edges(int nx, int ny, float_grid& lap_q);

// lap_u and lap_v of the current velocity, edges included.
void velocity_laplacians(int nx, int ny, float dx, float dy, const float_grid& u,
                         const float_grid& v, float_grid& lap_u, float_grid& lap_v);

}  // namespace veltaro
