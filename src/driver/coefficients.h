// The force coefficients, on the obstacle's own size. The frontal height D
// (the height of the picture rows it fills, scaled to the tunnel) is the
// reference length of bluff bodies; the chord c (its longest extent) that of
// airfoils and plates along the flow, whose D grows with incidence.
//   Re_D = U D / nu,   C_L = Lift / (1/2 rho U^2 D),   C_D = Drag / (1/2 rho U^2 D)
//   C_L,c = Lift / (1/2 rho U^2 c),   C_D,c = Drag / (1/2 rho U^2 c)
#pragma once

#include <iosfwd>
#include <optional>

#include "driver/forces.h"
#include "field/run_parameters.h"
#include "geometry/obstacle_extent.h"

namespace veltaro {

struct force_coefficients {
    bool has_obstacle = false;
    double frontal_height = 0.0;  // D, m
    double chord = 0.0;           // c, the obstacle's longest extent, m
    // Empty where undefined: without an obstacle, or Re_D without viscosity.
    std::optional<double> reynolds_frontal;
    std::optional<double> lift_coefficient;
    std::optional<double> drag_coefficient;
    std::optional<double> lift_coefficient_chord;
    std::optional<double> drag_coefficient_chord;
};

// picture: the picture mask, stretched over the whole tunnel.
force_coefficients coefficients_of(const forces& force, const int_grid& picture,
                                   const run_parameters& params, float kinematic_viscosity);

// The lines that follow lift and drag on the console: an empty line, then
// D (with Re_D where it is defined), C_L and C_D, then c, C_L,c and C_D,c;
// or only the line that says the picture holds no obstacle.
void print_coefficients(std::ostream& out, const force_coefficients& coefficients);

}  // namespace veltaro
