// The second-order advection of the face projection (--projection=faces
// with --advection=second-order): the limited upwind face values of the
// second-order advection (limited_advection.h), carried in flux form by the
// projected face velocities U, V (face_projection.h),
//
//   L(q)(i,j) = (U q_f (i+1/2,j) - U q_f (i-1/2,j)) / dx
//             + (V q_f (i,j+1/2) - V q_f (i,j-1/2)) / dy,
//
// q_f reconstructed from the node upwind of the face. The faces are
// divergence-free to round-off, so this is the advective form u.grad q as
// well, and what one node loses its neighbour gains.
//
// Heun's two stages, the first of which also takes the node's other
// tendencies of the last iteration:
//
//   q1    = q + dt (-L(q) + f),    f = mu/rho lap q - G_h p_old / rho,
//   q_adv = q - dt/2 (L(q) + L(q1)).
//
// At a steady state f = L(q), so q1 = q and q_adv = q - dt L(q): the
// advection's part of the steady state does not depend on dt. The stages
// of the node advection, whose first stage leaves f out, leave
// dt/2 L(L(q)) there instead, a numerical viscosity that grows with the
// step (docs/method.md, section 4.1). In time the stages stay second order:
// q1 is then a better predictor of the step's end, not a worse one.
//
// Solid nodes and the tunnel's boundary nodes keep their values (the
// boundary conditions set the latter).
#pragma once

#include "field/flow_field.h"
#include "field/run_parameters.h"
#include "solver/face_projection.h"
#include "solver/limited_advection.h"

namespace veltaro {

// u and v into u_adv and v_adv. lap_u, lap_v: the Laplacians of u and v; p
// is the last iteration's pressure.
void face_flux_advection(flow_field& field, const int_grid& solid_nodes, float dt,
                         const run_parameters& params, const float_grid& lap_u,
                         const float_grid& lap_v, advection_work& work,
                         face_projection& projection);

}  // namespace veltaro
