// The force coefficients, on the obstacle's own size. The frontal height D
// (the height of the picture rows it fills) is the reference length of bluff
// bodies; the chord c (its longest extent) that of airfoils and plates along
// the flow, whose D grows with incidence. Both are measured on the body as
// computed: the picture is stretched over the grid's span, (nx - 1) dx by
// (ny - 1) dx, which is a little short of the tunnel's answers whenever
// L / dx or H / dx is not a whole number.
//   Re_D = U D / nu,   C_L = Lift / (1/2 rho U^2 D),   C_D = Drag / (1/2 rho U^2 D)
//   C_L,c = Lift / (1/2 rho U^2 c),   C_D,c = Drag / (1/2 rho U^2 c)
#pragma once

#include <iosfwd>
#include <optional>

#include "analysis/forces.h"
#include "field/mesh_size.h"
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

struct obstacle_size {
    bool has_obstacle = false;
    double frontal_height = 0.0;  // D, m
    double chord = 0.0;           // c, m
};

// picture: the picture mask, stretched over the grid's span. The set-up
// measures it once (a scan of the whole picture and a convex hull).
obstacle_size size_on_grid(const int_grid& picture, const mesh_size& mesh);

// 1/2 rho U^2, the dynamic pressure of the inflow.
double dynamic_pressure(const run_parameters& params);

// 1/2 rho U^2 length, the divisor that turns a force on this length into
// its coefficient; 0 without an obstacle.
double coefficient_scale(const obstacle_size& size, const run_parameters& params);

force_coefficients coefficients_of(const forces& force, const obstacle_size& size,
                                   const run_parameters& params, float kinematic_viscosity);

// The lines that follow lift and drag on the console: an empty line, then
// D (with Re_D where it is defined), C_L and C_D, then c, C_L,c and C_D,c;
// or only the line that says the picture holds no obstacle.
void print_coefficients(std::ostream& out, const force_coefficients& coefficients);

}  // namespace veltaro
