// flow_field: the grid coordinates and the velocity and pressure fields,
// with the grid's size and spacing. (The stages' work arrays are theirs, in
// the solver's workspace.)
// Node (i, j): i = 0 the inlet column ... nx-1 the outlet column,
// j = 0 the bottom wall row ... ny-1 the top wall row.
#pragma once

#include "field/grid.h"

namespace veltaro {

struct flow_field {
    float_grid x;        // i * dx, metres from the inlet
    float_grid y;        // j * dy, metres from the bottom wall
    float_grid u;        // x velocity, m/s
    float_grid v;        // y velocity, m/s
    float_grid p;        // pressure relative to the outlet, Pa
    float_grid u_adv;    // x velocity after the advection stage
    float_grid v_adv;    // y velocity after the advection stage
    int nx = 0;
    int ny = 0;
    float dx = 0.0f;
    float dy = 0.0f;
};

// Every array starts at zero, so a run that does no iteration still reports
// and writes defined values. Throws run_error when the grid cannot be had.
flow_field allocate_flow_field(int nx, int ny, float dx, float dy);

// Still fluid, with the inlet velocity over the whole inlet column, in u and
// in the advected u_adv alike: the field is ready for its first iteration.
void initial_conditions(flow_field& field, float inlet_velocity);

}  // namespace veltaro
