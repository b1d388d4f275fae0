#include "analysis/coefficients.h"

#include <ostream>

#include "common/text_format.h"
#include "geometry/obstacle_chord.h"

namespace veltaro {

obstacle_size size_on_grid(const int_grid& picture, const mesh_size& mesh) {
    obstacle_size size;
    const obstacle_extent extent = measure_obstacle(picture);
    if (extent.rows < 1) return size;
    const double span_length = static_cast<double>(mesh.nx - 1) * mesh.dx;
    const double span_height = static_cast<double>(mesh.ny - 1) * mesh.dx;
    size.has_obstacle = true;
    size.frontal_height = static_cast<double>(extent.rows) * span_height / picture.ny();
    size.chord = obstacle_chord(picture, span_length, span_height);
    return size;
}

double dynamic_pressure(const run_parameters& params) {
    const double velocity = params.inlet_velocity;
    return 0.5 * params.density * velocity * velocity;
}

double coefficient_scale(const obstacle_size& size, const run_parameters& params) {
    return size.has_obstacle ? dynamic_pressure(params) * size.frontal_height : 0.0;
}

force_coefficients coefficients_of(const forces& force, const obstacle_size& size,
                                   const run_parameters& params, float kinematic_viscosity) {
    force_coefficients result;
    if (!size.has_obstacle) return result;
    result.has_obstacle = true;
    result.frontal_height = size.frontal_height;
    result.chord = size.chord;
    if (kinematic_viscosity > 0.0f) {
        const double velocity = params.inlet_velocity;
        result.reynolds_frontal = velocity * result.frontal_height / kinematic_viscosity;
    }
    const double scale = coefficient_scale(size, params);
    const double chord_scale = dynamic_pressure(params) * result.chord;
    result.lift_coefficient = force.lift / scale;
    result.drag_coefficient = force.drag / scale;
    result.lift_coefficient_chord = force.lift / chord_scale;
    result.drag_coefficient_chord = force.drag / chord_scale;
    return result;
}

void print_coefficients(std::ostream& out, const force_coefficients& coefficients) {
    if (!coefficients.has_obstacle) {
        out << "No obstacle in the picture: no coefficients.\n";
        return;
    }
    out << '\n' << format_text("D = %e [m] (frontal height)", coefficients.frontal_height);
    if (coefficients.reynolds_frontal) {
        out << format_text("   Re_D = %e", *coefficients.reynolds_frontal);
    }
    out << '\n'
        << format_text("C_L = %e\n", coefficients.lift_coefficient.value_or(0.0))
        << format_text("C_D = %e\n", coefficients.drag_coefficient.value_or(0.0))
        << format_text("c = %e [m] (chord)\n", coefficients.chord)
        << format_text("C_L,c = %e\n", coefficients.lift_coefficient_chord.value_or(0.0))
        << format_text("C_D,c = %e\n", coefficients.drag_coefficient_chord.value_or(0.0));
}

}  // namespace veltaro
