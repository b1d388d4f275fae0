// The time step of one iteration: a Courant number (0.1 unless the run
// chose another) on the largest node speed, capped by the explicit
// diffusion limit of the viscous update.
#pragma once

#include <optional>

#include "field/flow_field.h"
#include "field/run_parameters.h"

namespace veltaro {

// The Courant number of every run that chooses none, and the largest a run
// may choose: the advection's 3 x 3 window finds every source only while
// no node moves a whole spacing.
inline constexpr double default_courant = 0.1;
inline constexpr double max_courant = 1.0;

// The largest node speed, boundaries included (a NaN speed never wins).
float largest_speed(const flow_field& field);

// dt = courant dx / vmax. With a viscosity mu > 0 and density rho it is capped at
// 0.4 rho / (mu (1/dx^2 + 1/dy^2)): the momentum update treats viscosity
// explicitly, and without the cap slow flows grow a checkerboard. Where the
// cap does not bite the result is exactly courant dx / vmax rounded to
// float (the product in double precision, so 0.1 gives the bits of every
// earlier run). No time step exists when every speed is zero: then nullopt.
std::optional<float> set_dt(const flow_field& field, const run_parameters& params,
                            double courant = default_courant);

}  // namespace veltaro
