// The forces on the body of a time-accurate run, from a momentum balance
// over a box a few nodes around it (docs/method.md, "Lift and drag in
// time"). The balance over the whole tunnel (forces.h) leaves out the rate
// of change of the fluid's momentum, which is zero at a steady state but of
// the order of the lift itself while vortices are shed and leave through
// the outlet. Over a small box that term is measured directly, from two
// successive velocity fields, and the vortices far downstream do not count.
#pragma once

#include "analysis/forces.h"
#include "field/flow_field.h"

namespace veltaro {

// Nodes of fluid between the body's extent and each side of its box.
inline constexpr int body_box_margin = 5;

// The box's corner nodes, inclusive; `valid` when it lies inside the
// tunnel's interior with a node to spare on every side for the derivatives.
struct force_box {
    int first_i = 0;
    int last_i = 0;
    int first_j = 0;
    int last_j = 0;
    bool valid = false;
};

// The solid nodes' extent, widened by `margin` nodes each way; not valid
// when there is no solid node or the box reaches a boundary.
force_box box_around(const int_grid& solid_nodes, int margin);

// The velocity of the iteration before: the time term's other end.
struct previous_velocity {
    const float_grid& u;
    const float_grid& v;
    double dt = 0.0;  // s, the step from it to the field now
};

// The force of the flow on what the box holds, per metre of span:
//   F = oint (sigma . n - rho u (u . n)) ds - d/dt int rho u dV,
//   sigma = -p I + mu (grad u + grad u^T),
// n the box's outward normal, the volume integral over its fluid nodes.
forces box_forces(const flow_field& field, const previous_velocity& before, const force_box& box,
                  const int_grid& solid_nodes, double rho, double mu);

}  // namespace veltaro
