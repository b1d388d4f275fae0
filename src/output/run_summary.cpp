#include "output/run_summary.h"

#include <cmath>
#include <utility>

#include <nlohmann/json.hpp>

#include "output/atomic_file.h"

namespace veltaro {
namespace {

using json = nlohmann::ordered_json;

json number(double value) { return std::isfinite(value) ? json(value) : json(nullptr); }

json number(const std::optional<double>& value) { return value ? number(*value) : json(nullptr); }

json to_json(const std::vector<run_summary::warning>& warnings) {
    json list = json::array();
    for (const run_summary::warning& w : warnings) {
        list.push_back(json{{"code", w.code}, {"message", w.message}});
    }
    return list;
}

json optional_text(const std::optional<std::string>& text) {
    return text ? json(*text) : json(nullptr);
}

json grid_meshes_json(const std::vector<grid_mesh_summary>& meshes) {
    json list = json::array();
    for (const grid_mesh_summary& m : meshes) {
        json mesh;
        mesh["nodes_across"] = m.nodes_across;
        mesh["nx"] = m.nx;
        mesh["ny"] = m.ny;
        mesh["spacing"] = number(m.spacing);
        mesh["frontal_height"] = number(m.frontal_height);
        mesh["reynolds_frontal"] = number(m.reynolds_frontal);
        mesh["folder"] = m.folder;
        mesh["iterations"] = m.iterations;
        mesh["seconds"] = number(m.seconds);
        list.push_back(std::move(mesh));
    }
    return list;
}

json grid_coefficients_json(const std::vector<grid_coefficient_summary>& coefficients) {
    json all = json::object();
    for (const grid_coefficient_summary& c : coefficients) {
        json values = json::array();
        for (const std::optional<double>& value : c.values) values.push_back(number(value));
        json entry;
        entry["values"] = std::move(values);
        entry["order"] = number(c.order);
        entry["extrapolated"] = number(c.extrapolated);
        entry["band_relative"] = number(c.band_relative);
        entry["band_absolute"] = number(c.band_absolute);
        entry["reason"] = optional_text(c.reason);
        all[c.name] = std::move(entry);
    }
    return all;
}

json grid_study_json(const std::optional<grid_study_summary>& study) {
    if (!study) return nullptr;
    json record;
    record["ratio"] = number(study->ratio);
    record["meshes"] = grid_meshes_json(study->meshes);
    record["coefficients"] = grid_coefficients_json(study->coefficients);
    record["cost_factor"] = number(study->cost_factor);
    record["complete"] = study->complete;
    return record;
}

json to_json(const run_summary& s) {
    return json{{"picture", s.picture},
                {"picture_width", s.picture_width},
                {"picture_height", s.picture_height},
                {"reynolds_number", number(s.reynolds_number)},
                {"kinematic_viscosity", number(s.kinematic_viscosity)},
                {"density", number(s.density)},
                {"tunnel_height", number(s.tunnel_height)},
                {"tunnel_length", number(s.tunnel_length)},
                {"mesh_choice", s.mesh_choice},
                {"max_iterations", s.max_iterations},
                {"inlet_velocity", number(s.inlet_velocity)},
                {"nx", s.nx},
                {"ny", s.ny},
                {"dx", number(s.dx)},
                {"iterations", s.iterations},
                {"stop", s.stop},
                {"change_u", number(s.change_u)},
                {"change_v", number(s.change_v)},
                {"change_p", number(s.change_p)},
                {"lift", number(s.lift)},
                {"drag", number(s.drag)},
                {"frontal_height", number(s.frontal_height)},
                {"chord", number(s.chord)},
                {"reynolds_frontal", number(s.reynolds_frontal)},
                {"lift_coefficient", number(s.lift_coefficient)},
                {"drag_coefficient", number(s.drag_coefficient)},
                {"seconds", number(s.seconds)},
                {"lift_coefficient_chord", number(s.lift_coefficient_chord)},
                {"drag_coefficient_chord", number(s.drag_coefficient_chord)},
                {"warnings", to_json(s.warnings)},
                {"solid_nodes", s.solid_nodes},
                {"steady_residual", number(s.steady_residual)},
                {"stop_rule", s.stop_rule},
                {"pressure_solver", s.pressure_solver},
                {"unsteady", number(s.unsteady)},
                {"flow_time", number(s.flow_time)},
                {"strouhal", number(s.strouhal)},
                {"strouhal_uncertainty", number(s.strouhal_uncertainty)},
                {"cycles", s.cycles ? json(*s.cycles) : json(nullptr)},
                {"mean_drag_coefficient", number(s.mean_drag_coefficient)},
                {"drag_coefficient_amplitude", number(s.drag_coefficient_amplitude)},
                {"lift_coefficient_amplitude", number(s.lift_coefficient_amplitude)},
                {"advection", s.advection},
                {"frames", s.frames ? json(*s.frames) : json(nullptr)},
                {"frames_vtk", s.frames_vtk ? json(*s.frames_vtk) : json(nullptr)},
                {"courant", number(s.courant)},
                {"projection", s.projection},
                {"nodes_across", s.nodes_across ? json(*s.nodes_across) : json(nullptr)},
                {"grid_study", grid_study_json(s.grid_study)}};
}

}  // namespace

void write_summary(const std::string& file_name, const run_summary& summary) {
    const std::string text =
        to_json(summary).dump(2, ' ', false, json::error_handler_t::replace) + "\n";
    atomic_file file(file_name, file_kind::text);
    file.write(text);
    file.commit();
}

}  // namespace veltaro
