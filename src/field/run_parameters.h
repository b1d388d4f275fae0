// run_parameters: the physical parameters of a run, fixed once the dialogue
// is done and read by every later stage. Single precision, SI units.
#pragma once

namespace veltaro {

struct run_parameters {
    float INLET_VELOCITY = 0.0f;   // m/s
    float WIDTH = 0.0f;            // tunnel length, m
    float HEIGHT = 0.0f;           // tunnel height, m
    float MU = 0.0f;               // dynamic viscosity, kg/(m s)
    float RHO = 0.0f;              // density, kg/m^3
    float OUTLET_PRESSURE = 0.0f;  // Pa; pressures are relative to it
};

}  // namespace veltaro
