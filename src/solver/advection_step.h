// Advection of one velocity component over one time step: every node moves
// forward along its own velocity, and the field is rebuilt on the fixed grid
// as the tent-weighted mean of the moved neighbours that land within one
// spacing of each receiving node.
#pragma once

#include "field/grid.h"

namespace veltaro {

// Step 1 alone: x_moved = u dt + x, y_moved = v dt + y at every node.
void move_nodes(int nx, int ny, float dt, const float_grid& x, const float_grid& y,
                float_grid& x_moved, float_grid& y_moved, const float_grid& u, const float_grid& v);

// Step 2 alone: rebuilds q on the grid into q_adv from positions already moved.
void rebuild_on_grid(int nx, int ny, float dx, float dy, const float_grid& x, const float_grid& y,
                     const float_grid& x_moved, const float_grid& y_moved, const float_grid& q,
                     float_grid& q_adv);

// Step 2 for both velocity components at once: they are carried by the same
// moved nodes, so they share every weight. Exactly what two calls of
// rebuild_on_grid give.
void rebuild_velocity_on_grid(int nx, int ny, float dx, float dy, const float_grid& x,
                              const float_grid& y, const float_grid& x_moved,
                              const float_grid& y_moved, const float_grid& u, const float_grid& v,
                              float_grid& u_adv, float_grid& v_adv);

// Both steps, as one call. q_adv must be a different array from all others.
void advection_step(int nx, int ny, float dx, float dy, float dt, const float_grid& x,
                    const float_grid& y, float_grid& x_moved, float_grid& y_moved,
                    const float_grid& u, const float_grid& v, const float_grid& q,
                    float_grid& q_adv);

}  // namespace veltaro
