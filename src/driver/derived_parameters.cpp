#include "driver/derived_parameters.h"

#include <cmath>
#include <string>

#include "common/text_format.h"
#include "common/run_error.h"

namespace veltaro {

namespace {

bool positive_finite(float value) { return std::isfinite(value) && value > 0.0f; }

void require(bool condition, const std::string& message) {
    if (!condition) throw run_error(message);
}

std::string shown(float value) { return format_text("%g", static_cast<double>(value)); }

// nx = trunc(L / H ny), in single precision as the answers are; refused
// from `most` nodes along on.
int nodes_along(int ny, float length, float height, long long most) {
    const float along = length / height * static_cast<float>(ny);
    if (!(along < static_cast<float>(most))) {
        throw run_error("The tunnel is too long for its height: the mesh would need " +
                        shown(along) + " nodes along it; choose a shorter tunnel.");
    }
    // A negative length never gets here in a run, but must not be cast
    // from a float no int can hold.
    return along > 0.0f ? static_cast<int>(along) : 0;
}

// The spacing dx = L / (nx - 1), once nx and ny are known and within `most`
// nodes, with the checks every mesh passes.
mesh_size finish_mesh(mesh_size mesh, float length, long long most, const char* advice) {
    if (mesh.nx < 3) {
        throw run_error("The tunnel is too short for its height: the mesh has " +
                        std::to_string(mesh.nx) +
                        " nodes along it and needs at least 3; make it longer.");
    }
    const long long nodes = static_cast<long long>(mesh.nx) * mesh.ny;
    if (nodes > most) {
        throw run_error("The mesh of " + std::to_string(mesh.nx) + " x " + std::to_string(mesh.ny) +
                        " nodes is too large (at most " + std::to_string(most) + " nodes); " +
                        advice);
    }
    mesh.dx = length / static_cast<float>(mesh.nx - 1);
    // Shown in double precision: in single precision it may have become 0.
    const std::string spacing = format_text("%g", static_cast<double>(length) / (mesh.nx - 1));
    if (!(mesh.dx >= min_node_spacing)) {
        throw run_error("The tunnel is too small to compute: its nodes would be " + spacing +
                        " m apart, and single precision needs at least " + shown(min_node_spacing) +
                        " m; make the tunnel larger.");
    }
    if (!(mesh.dx <= max_node_spacing)) {
        throw run_error("The tunnel is too large to compute: its nodes would be " + spacing +
                        " m apart, and single precision allows at most " + shown(max_node_spacing) +
                        " m; make the tunnel smaller.");
    }
    return mesh;
}

}  // namespace

mesh_size size_mesh(int mesh_choice, float length, float height) {
    mesh_size mesh;
    if (mesh_choice == 0 || mesh_choice == 1 || mesh_choice == 2) {
        mesh.ny = 25 << mesh_choice;
        mesh.nx = nodes_along(mesh.ny, length, height, max_mesh_nodes);
    } else {
        mesh.nx = 100;
        mesh.ny = 100;
    }
    return finish_mesh(mesh, length, max_mesh_nodes,
                       "choose a coarser mesh or a shorter tunnel.");
}

mesh_size size_mesh_across(int nodes_across, float length, float height) {
    if (nodes_across < min_nodes_across) {
        throw run_error("The mesh needs at least " + std::to_string(min_nodes_across) +
                        " nodes across the tunnel, not " + std::to_string(nodes_across) + ".");
    }
    mesh_size mesh;
    mesh.ny = nodes_across;
    mesh.nx = nodes_along(mesh.ny, length, height, max_indexed_nodes);
    return finish_mesh(mesh, length, max_indexed_nodes,
                       "choose fewer nodes across or a shorter tunnel.");
}

mesh_size size_mesh(const dialogue_answers& answers, std::optional<int> nodes_across) {
    return nodes_across ? size_mesh_across(*nodes_across, answers.length, answers.height)
                        : size_mesh(answers.mesh_choice, answers.length, answers.height);
}

bool inlet_velocity_is_asked(const dialogue_answers& answers) {
    return answers.kinematic_viscosity == 0.0f || answers.reynolds == 0.0f;
}

run_parameters derive_parameters(const dialogue_answers& answers, float typed_inlet_velocity) {
    run_parameters params;
    params.inlet_velocity = inlet_velocity_is_asked(answers)
                                ? typed_inlet_velocity
                                : answers.reynolds * answers.kinematic_viscosity / answers.height;
    params.length = answers.length;
    params.height = answers.height;
    params.density = answers.density;
    params.dynamic_viscosity = answers.kinematic_viscosity * answers.density;
    params.outlet_pressure = 0.0f;
    return params;
}

void check_parameters(const dialogue_answers& answers, const run_parameters& params) {
    require(positive_finite(answers.height),
            "The tunnel height must be a positive number of metres, not " + shown(answers.height) +
                ".");
    require(positive_finite(answers.length),
            "The tunnel length must be a positive number of metres, not " + shown(answers.length) +
                ".");
    require(positive_finite(answers.density),
            "The density must be a positive number of kg/m^3, not " + shown(answers.density) + ".");
    require(std::isfinite(answers.kinematic_viscosity) && answers.kinematic_viscosity >= 0.0f,
            "The kinematic viscosity must be zero or a positive number of m^2/s, not " +
                shown(answers.kinematic_viscosity) + ".");
    require(std::isfinite(answers.reynolds),
            "The Reynolds number must be a finite number, not " + shown(answers.reynolds) + ".");
    require(positive_finite(params.inlet_velocity),
            "The inlet velocity must be a positive number of m/s, not " +
                shown(params.inlet_velocity) +
                " (a negative Reynolds number gives a negative one).");
    require(std::isfinite(params.dynamic_viscosity),
            "The dynamic viscosity (kinematic viscosity x density) is too large to compute with.");
}

}  // namespace veltaro
