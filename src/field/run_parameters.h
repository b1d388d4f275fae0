// run_parameters: the physical parameters of a run, fixed once the dialogue
// is done and read by every later stage. Single precision, SI units.
#pragma once

namespace veltaro {

struct run_parameters {
    float inlet_velocity = 0.0f;     // m/s
    float length = 0.0f;             // tunnel length, m
    float height = 0.0f;             // tunnel height, m
    float dynamic_viscosity = 0.0f;  // kg/(m s)
    float density = 0.0f;            // kg/m^3
    float outlet_pressure = 0.0f;    // Pa; pressures are relative to it
};

}  // namespace veltaro
