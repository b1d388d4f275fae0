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

// The start-up tilt of a time-accurate run. A symmetric body in a symmetric
// tunnel sheds only once round-off has grown, which can take many cycles.
// So the run tilts the inflow by 0.05 degrees (v = U tan 0.05deg on the
// inlet, u = U as always, so the inflow's flux is unchanged) for its first
// half flow-through time L/U, then turns it back linearly to straight by
// 0.6 L/U: the wake starts a little lopsided, and above the onset the
// shedding grows from there. The tilt is small on purpose. Below the onset
// the lopsided wake's lift dies away slowly (in the validation tunnel at
// Re_D 40 by about a quarter a second), so what the start leaves must be
// small for a run to show that the flow settles; above it, a seed a hundred
// times smaller costs only a few more periods of growth. In a 4 m tunnel at
// 5 m/s the inflow is straight from 0.48 s on; at 2 m/s (Re_D 40 in the
// validation tunnel), from 1.2 s. An empty tunnel has nothing to shed, and
// its inflow stays straight; so does a steady run's.
inline constexpr double start_up_tilt_degrees = 0.05;
inline constexpr double tilt_held_flow_throughs = 0.5;
inline constexpr double tilt_gone_flow_throughs = 0.6;

struct start_up_tilt {
    double tangent = 0.0;     // tan of the inflow's angle while it is held
    double hold_until = 0.0;  // s
    double gone_at = 0.0;     // s: straight inflow from here on
};

// The tilt of a run through a tunnel of this length at this inlet velocity.
start_up_tilt start_up_tilt_for(float length, float inlet_velocity);

// v on the inlet at flow time t: U tan(angle) until hold_until, then
// falling linearly to 0 at gone_at.
float inlet_cross_velocity(const start_up_tilt& tilt, float inlet_velocity, double time);

}  // namespace veltaro
