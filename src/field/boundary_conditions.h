// The tunnel's boundary conditions: fixed-velocity inlet, zero-gradient
// outlet, frictionless walls, and zero velocity at solid nodes.
#pragma once

#include "field/flow_field.h"

namespace veltaro {

// Imposed on u and v in place. Later steps overwrite earlier ones where they
// meet, so the corners follow their wall neighbour and the obstacle wins.
void boundary_conditions(flow_field& field, float inlet_velocity, const int_grid& solid_nodes);

// An inflow tilted across the tunnel: v = cross_velocity on the inlet
// column between the walls, where it is not solid. Imposed after
// boundary_conditions, it is the same as an inlet condition (U, v).
void tilt_inlet(flow_field& field, float cross_velocity, const int_grid& solid_nodes);

}  // namespace veltaro
