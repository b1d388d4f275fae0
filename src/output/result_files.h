// The names of everything a complete run writes into its folder, and the
// keys of "summary.json" in their order: the one list that --help, the
// studio's file routes and the tests work from. Each writer keeps its own
// name where it is called; tests/output/result_files_test.cpp checks that
// a run writes exactly these files and that the summary has exactly these
// keys.
#pragma once

#include <array>
#include <string_view>

namespace veltaro {

inline constexpr std::array<std::string_view, 12> result_file_names = {
    "convergence.txt", "residual.txt", "U.dat",    "V.dat",           "P.dat",
    "U.jpg",           "V.jpg",        "pressure.jpg", "velocity.jpg", "flow.vtk",
    "convergence.svg", "summary.json"};

// Written besides by a time-accurate run (--unsteady=T) only.
inline constexpr std::array<std::string_view, 2> unsteady_result_file_names = {"forces.csv",
                                                                              "vorticity.webp"};
// Written besides by --frames-vtk, with the folder "frames" of the frame files.
inline constexpr std::array<std::string_view, 1> series_result_file_names = {"frames.pvd"};

// clang-format off
inline constexpr std::array<std::string_view, 49> summary_keys = {
    "picture", "picture_width", "picture_height", "reynolds_number", "kinematic_viscosity",
    "density", "tunnel_height", "tunnel_length", "mesh_choice", "max_iterations",
    "inlet_velocity", "nx", "ny", "dx", "iterations", "stop", "change_u", "change_v", "change_p",
    "lift", "drag", "frontal_height", "chord", "reynolds_frontal", "lift_coefficient",
    "drag_coefficient", "seconds", "lift_coefficient_chord", "drag_coefficient_chord", "warnings",
    "solid_nodes", "steady_residual", "stop_rule", "pressure_solver", "unsteady", "flow_time",
    "strouhal", "strouhal_uncertainty", "cycles", "mean_drag_coefficient",
    "drag_coefficient_amplitude", "lift_coefficient_amplitude", "advection", "frames",
    "frames_vtk", "courant", "projection", "nodes_across", "grid_study"};
// clang-format on

}  // namespace veltaro
