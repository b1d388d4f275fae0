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
// The corrected scheme (MacCormack's predictor and corrector around the same
// operator A, written A(q; u dt)):
//
//   q^ = A(q; +u dt),   q~ = A(q^; -u dt),   q_adv = q^ + (q - q~) / 2.
//
// In uniform flow A(q) = q - s dx q' + s dx^2/2 q'' + ..., so q~ = q +
// s (1 - s) dx^2 q'' + ...: carried back, the prediction returns with twice
// its own diffusive error, and half the difference removes it. Second order
// in smooth flow, at about twice the stage's cost. It is not limited: a
// clamp to the extrema of the forward sources (tried, with a reversion to q^
// as well) switches on and off from one iteration to the next, and the
// pseudo-time march then stops settling on the coarse mesh; the viscous
// term damps the small overshoots the correction makes at the obstacle's
// edge (docs/lift-experiments.md).
#pragma once

#include "field/flow_field.h"

namespace veltaro {

enum class advection_scheme {
    first_order,  // one rebuild (the default)
    corrected,    // forward, back, and half the difference as a correction
};

// "first-order" or "corrected": the names the command line and the summary
// use.
const char* advection_scheme_name(advection_scheme scheme);

// What the stage keeps for the whole run: the scheme, and for the corrected
// one the prediction carried back, so that no iteration allocates.
struct advection_workspace {
    advection_scheme scheme = advection_scheme::first_order;
    float_grid first_back;
    float_grid second_back;
};

// Sized for an nx by ny grid. Throws std::bad_alloc when the memory is missing.
advection_workspace make_advection_workspace(int nx, int ny, advection_scheme scheme);

// The first-order stage.
void advection_step(flow_field& field, float dt);

// The stage with the workspace's scheme.
void advection_step(flow_field& field, float dt, advection_workspace& workspace);

// The two fields a pass carries and where their results go; in a run, u and
// v into u_adv and v_adv.
struct carried_pair {
    const float_grid& first;
    const float_grid& second;
    float_grid& first_adv;
    float_grid& second_adv;
};

// The general form: the pair carried by the velocity (u, v) over dt on the
// grid of `frame`, whose x_moved and y_moved are the work arrays. The
// results must be arrays of their own.
void advect(flow_field& frame, const float_grid& u, const float_grid& v, float dt,
            const carried_pair& fields, advection_workspace& workspace);

}  // namespace veltaro
