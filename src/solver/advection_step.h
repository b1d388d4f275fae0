// The first-order advection of the velocity over one time step: every node
// moves forward along its own velocity (into moved_nodes), and u and v are rebuilt on
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
// It is the default. The second-order advection, --advection=second-order,
// is another scheme (limited_advection.h); a second-order correction around
// this operator was tried and left out (docs/lift-experiments.md).
#pragma once

#include "field/flow_field.h"

namespace veltaro {

// Where every node lands, x + u dt and y + v dt: the scheme's work arrays,
// made once for a run.
struct moved_nodes {
    float_grid x;
    float_grid y;
};

moved_nodes make_moved_nodes(int nx, int ny);

// The stage of a run: u and v carried by themselves into u_adv and v_adv.
void advection_step(flow_field& field, float dt, moved_nodes& moved);

// The two fields a pass carries and where their results go; in a run, u and
// v into u_adv and v_adv.
struct carried_pair {
    const float_grid& first;
    const float_grid& second;
    float_grid& first_adv;
    float_grid& second_adv;
};

// One carried field and where its result goes.
struct carried_field {
    const float_grid* q;
    float_grid* q_adv;
};

// The same operator carrying any pair by the velocity (u, v) over dt on the
// grid of `frame`; the tests carry a smooth field by a uniform flow with it.
// The results must be arrays of their own.
void advect(const flow_field& frame, moved_nodes& moved, const float_grid& u, const float_grid& v,
            float dt, const carried_pair& fields);

}  // namespace veltaro
