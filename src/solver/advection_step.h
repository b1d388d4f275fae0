// Advection of the velocity over one time step: every node moves forward
// along its own velocity (into x_moved, y_moved), and u and v are rebuilt on
// the fixed grid (into u_adv, v_adv) as the tent-weighted mean of the moved
// nodes that land within one spacing of each receiving node:
//
//   q_adv(i,j) = sum_ab q(a,b) w_ab / sum_ab w_ab,
//   w_ab = (dx - |x_moved(a,b) - x(i,j)|) (dy - |y_moved(a,b) - y(i,j)|)
//
// over the 3 x 3 nodes (a,b) around (i,j) that land within dx and dy of it.
// In a uniform flow moving s = u dt / dx of a spacing this is the upwind
// interpolation s q(i-1) + (1 - s) q(i): first order, with the numerical
// viscosity (1 - s) u dx / 2, as large as the physical one on the fine mesh
// at Re_D 20 (docs/method.md).
//
// A second-order correction around this operator was tried and left out: it
// lengthened the wake but pulled the drag more than 3% below the reference
// (docs/lift-experiments.md).
#pragma once

#include "field/flow_field.h"

namespace veltaro {

// The stage of a run: u and v carried by themselves into u_adv and v_adv.
void advection_step(flow_field& field, float dt);

// The two fields a pass carries and where their results go; in a run, u and
// v into u_adv and v_adv.
struct carried_pair {
    const float_grid& first;
    const float_grid& second;
    float_grid& first_adv;
    float_grid& second_adv;
};

// The same operator carrying any pair by the velocity (u, v) over dt on the
// grid of `frame`, whose x_moved and y_moved are the work arrays; the tests
// carry a smooth field by a uniform flow with it. The results must be
// arrays of their own.
void advect(flow_field& frame, const float_grid& u, const float_grid& v, float dt,
            const carried_pair& fields);

}  // namespace veltaro
