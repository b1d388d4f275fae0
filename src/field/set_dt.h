// The time step of one iteration: a Courant number of 0.1 on the largest
// node speed, capped by the explicit diffusion limit of the viscous update.
#pragma once

#include <optional>

#include "field/flow_field.h"
#include "field/run_parameters.h"

namespace veltaro {

// The largest node speed, boundaries included (a NaN speed never wins).
float largest_speed(const flow_field& field);

// dt = 0.1 dx / vmax. With a viscosity mu > 0 and density rho it is capped at
// 0.4 rho / (mu (1/dx^2 + 1/dy^2)): the momentum update treats viscosity
// explicitly, and without the cap slow flows grow a checkerboard. Where the
// cap does not bite the result is exactly 0.1 dx / vmax rounded to float.
// No time step exists when every speed is zero: then nullopt.
std::optional<float> set_dt(const flow_field& field, const run_parameters& params);

}  // namespace veltaro
