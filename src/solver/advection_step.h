// Advection of the velocity over one time step: every node moves forward
// along its own velocity (into x_moved, y_moved), and u and v are rebuilt on
// the fixed grid (into u_adv, v_adv) as the tent-weighted mean of the moved
// nodes that land within one spacing of each receiving node:
//
//   q_adv(i,j) = sum_ab q(a,b) w_ab / sum_ab w_ab,
//   w_ab = (dx - |x_moved(a,b) - x(i,j)|) (dy - |y_moved(a,b) - y(i,j)|)
//
// over the 3 x 3 nodes (a,b) around (i,j) that land within dx and dy of it.
#pragma once

#include "field/flow_field.h"

namespace veltaro {

void advection_step(flow_field& field, float dt);

}  // namespace veltaro
