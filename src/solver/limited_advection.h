// The second-order advection: at every fluid node, in two stages (Heun's),
//
//   q1 = q - dt L(q),   q_adv = (q + q1 - dt L(q1)) / 2,
//   L(q) = u Dx q / dx + v Dy q / dy,
//
// where, for u >= 0 (the mirror image for u < 0),
//
//   Dx q(i) = q(i+1/2) - q(i-1/2),   q(k+1/2) = q(k) + s(k) / 2,
//   s(k) = vanleer(q(k) - q(k-1), q(k+1) - q(k)),
//   vanleer(a, b) = 2ab / (a + b) where ab > 0, else 0:
//
// each face takes the value reconstructed from the node upwind of it with
// van Leer's limited slope. In smooth flow the slope is the central one to
// within O(dx^3) and the scheme is second order in space and time; at an
// extremum the slope is zero and it falls back to first-order upwinding.
// Each stage is a convex mix of q(i) and its upwind neighbours whenever the
// move per step is below a quarter of a spacing in each direction (the time
// step keeps it below a tenth), and so is their mean: no new extremum.
// docs/method.md derives it.
//
// Solid nodes keep their value (a ghost node's is set by the boundary
// conditions). A solid node's slope toward the fluid is the difference
// between them: the wall's velocity (or, under the outline rule, its linear
// continuation across the drawn outline) and the fluid's lie on one line,
// so the face between them is second order too. Read as first order
// instead, the wall's faces alone visibly spoil the drag and the wake
// (docs/method.md, section 4.1, has the figures). A node on the tunnel's
// boundary with no neighbour upwind of it in one direction is not carried
// along it.
#pragma once

#include "field/flow_field.h"
#include "field/grid.h"
#include "solver/advection_step.h"

namespace veltaro {

// The first stage's results, and the limited slopes along each direction
// of the field being carried, kept for the whole run so that the loop
// allocates nothing.
struct advection_work {
    float_grid stage_first;
    float_grid stage_second;
    float_grid slope_x;
    float_grid slope_y;
};

advection_work make_advection_work(int nx, int ny);

// The stage of a run: u and v carried by themselves into u_adv and v_adv.
void limited_advection_step(flow_field& field, float dt, const int_grid& solid_nodes,
                            advection_work& work);

// The same scheme carrying any pair by (u, v) over dt on the grid of
// `frame` (its spacings only); the tests carry smooth and steep fields with it.
void advect_limited(const flow_field& frame, const float_grid& u, const float_grid& v,
                    const int_grid& solid_nodes, float dt, const carried_pair& fields,
                    advection_work& work);

}  // namespace veltaro
