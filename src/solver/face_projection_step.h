// One iteration with the face projection (--projection=faces): the
// counterpart of projection_step's stages for a workspace that holds faces.
#pragma once

#include "field/flow_field.h"
#include "field/ghost_nodes.h"
#include "field/run_parameters.h"
#include "solver/solver_workspace.h"

namespace veltaro {

// With u, v, p the last iteration's and U, V its projected faces:
//   lap u, lap v                                         (velocity_laplacians)
//   u* = A(u) with the faces as carrier                  (face_flux_advection;
//        the first-order advection keeps the nodes')
//   u* at the solid nodes, if hold_body                  (hold_solid_nodes)
//   U~ from the nodes and the faces                      (predict_faces)
//   L_h p = rho/dt D_f U~                                (face_pressure_rhs, the run's solve)
//   u_new = u* - dt/rho G_h p + mu dt/rho lap u          (momentum_equation)
//   U = U~ - dt/rho G_f p                                (project_faces)
// then the tunnel's and the obstacle's conditions on u_new. workspace.faces
// must be made.
void advance_with_faces(flow_field& field, const run_parameters& params,
                        const int_grid& solid_nodes, solver_workspace& workspace, float dt,
                        const ghost_nodes* ghosts, bool hold_body);

}  // namespace veltaro
