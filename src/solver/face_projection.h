// The face projection (--projection=faces): the normal velocities on the
// faces between nodes are a state of their own, and each iteration projects
// them exactly. With D_f the compact divergence of the faces around a node
// and G_f the compact gradient on a face, D_f G_f is the five-point
// Laplacian L_h that the pressure solves already solve, so
//
//   L_h p = rho/dt D_f U~,   U = U~ - dt/rho G_f p   gives   D_f U = 0
//
// to the solve's rounding at every interior node, the body's included. The
// node velocities take the same pressure through the face gradients
// averaged to the nodes, which at an interior node is the wide gradient of
// the momentum update: that stage is unchanged.
//
// The predicted faces U~ follow the nodes' tendency without pressure and
// are tied to the nodes with a time scale tau fixed per run, so that the
// steady state does not depend on dt:
//
//   dt <= tau:  U~ = U + A(u~ - u) - dt/tau (U - A u)            (a state, relaxed)
//   dt >  tau:  U~ = A u + tau/dt A(u~ - u) + (dt - tau)/rho G_f p_old
//
// with A the mean of a face's two nodes, u the nodes at the start of the
// iteration and u~ = u_adv + mu dt/rho lap u their prediction without
// pressure. Either way a steady state has
//
//   U = A u - tau/rho (G_f p - A G_h p)   (at faces between fluid nodes),
//
// the remainder that ties the pressure's odd and even nodes to the
// velocity, now with tau in place of dt. docs/method.md, section 6.3,
// derives both and why each is stable where it is used.
//
// The faces of a solid node are held at zero as hold_solid_nodes holds the
// nodes: U~ = dt/rho G_f p_old, so the projection leaves them
// dt/rho G_f (p_old - p_new), which vanishes at a steady state. The inlet's
// faces carry the inlet velocity and the walls' none; the pressure's ties
// make their gradients zero, so the projection does not move them.
#pragma once

#include <vector>

#include "field/face_field.h"
#include "field/flow_field.h"
#include "field/run_parameters.h"

namespace veltaro {

// tau = relaxation_courant dx / U, the time step of the default Courant
// number on the inlet velocity: the steady remainder is then that of a run
// of today's projection at about that Courant number.
inline constexpr double relaxation_courant = 0.1;

struct face_projection {
    face_field faces;
    float relaxation_time = 0.0f;  // tau, s
    float inlet_velocity = 0.0f;   // the inlet faces', m/s
    // Work of the flux-form advection (face_advection.h), one set for each
    // thread's share of the columns: the fluxes through one column of faces
    // along the tunnel, the one behind and the one ahead, and through the
    // faces across one column; and the nodes' other tendencies on one column.
    struct column_work {
        std::vector<float> flux_behind;
        std::vector<float> flux_ahead;
        std::vector<float> flux_across;
        std::vector<float> tendency;
    };
    std::vector<column_work> shares;
    // The pressure of a refinement, nx by ny.
    float_grid correction;
};

// The faces of the field as it stands (initial_face_velocities) and tau.
// Throws run_error when the memory cannot be had.
face_projection make_face_projection(const flow_field& field, float inlet_velocity);

// U~ at every face around an interior node, from the field before the
// momentum update (u, p of the last iteration, u_adv), and lap_u, lap_v the
// Laplacians of u and v with their edges.
void predict_faces(const flow_field& field, const int_grid& solid_nodes, const float_grid& lap_u,
                   const float_grid& lap_v, float dt, const run_parameters& params,
                   face_projection& projection);

// The right-hand side in the pressure matrix's row order:
//   rho/dt D_f U   at the interior rows (less outlet_pressure/dx^2 on the
//                  last interior column), zero at the boundary rows.
// rhs holds (nx-1) ny values.
void face_pressure_rhs(const face_field& faces, float dx, float dy, float dt, float density,
                       float outlet_pressure, std::vector<float>& rhs);

// U = U - dt/rho G_f p at every face around an interior node.
void project_faces(const float_grid& p, float dx, float dy, float dt, float density,
                   face_field& faces);

// What is left of D_f U after the projection is the solve's rounding, and
// that is of the size of the pressure's: after an impulsive start the
// pressure is of the order of rho U L / dt, and its single-precision digits
// leave up to 3e-4 U/dx. Above this (in U/dx) the projection is repeated on
// the remainder, whose pressure is small: its rounding is not.
inline constexpr double refined_above = 1e-6;
inline constexpr int most_refinements = 2;

// Whether D_f U exceeds `limit` (1/s) at some interior node: the check of
// every iteration, in single precision, which is exact to 1e-7 U/dx.
bool faces_diverge_above(const face_field& faces, float dx, float dy, float limit);

}  // namespace veltaro
