// run_summary: "summary.json", the whole run in one machine-readable file:
// what was asked, the grid it led to, how the iteration ended and the
// forces on the obstacle.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace veltaro {

// The fields appear in the file in this order, under these names.
struct run_summary {
    std::string picture;
    int picture_width = 0;
    int picture_height = 0;
    double reynolds_number = 0.0;
    double kinematic_viscosity = 0.0;
    double density = 0.0;
    double tunnel_height = 0.0;
    double tunnel_length = 0.0;
    int mesh_choice = 0;
    int max_iterations = 0;
    double inlet_velocity = 0.0;
    int nx = 0;
    int ny = 0;
    double dx = 0.0;
    int iterations = 0;
    std::string stop;  // "settled", "steady", "flow time", "iteration limit" or "at rest"
    double change_u = 0.0;
    double change_v = 0.0;
    double change_p = 0.0;
    double lift = 0.0;
    double drag = 0.0;
    double frontal_height = 0.0;  // 0 without an obstacle
    double chord = 0.0;           // the obstacle's longest extent
    // Empty where undefined: without an obstacle, or Re_D without viscosity.
    std::optional<double> reynolds_frontal;
    std::optional<double> lift_coefficient;
    std::optional<double> drag_coefficient;
    double seconds = 0.0;
    std::optional<double> lift_coefficient_chord;
    std::optional<double> drag_coefficient_chord;
    // What the run knows makes its results doubtful, each a code and a
    // sentence; empty when all is well.
    struct warning {
        std::string code;
        std::string message;
    };
    std::vector<warning> warnings;
    // The solid-node rule chosen on the command line, by its option value.
    std::string solid_nodes = "sampled";
    // The steady residual of the last iteration, in units of U^2/c; empty
    // when no iteration ran.
    std::optional<double> steady_residual;
    // The stop rule and the pressure solve in force, by their option values.
    std::string stop_rule = "quiet";
    std::string pressure_solver = "lu";
    // A time-accurate run's (--unsteady=T): T and the flow time reached, s;
    // the Strouhal number f D / U with its uncertainty, the periodic cycles
    // counted and the mean and half swings of the coefficients over them.
    // Empty in a steady run, and where the shedding measure has no value.
    std::optional<double> unsteady;
    std::optional<double> flow_time;
    std::optional<double> strouhal;
    std::optional<double> strouhal_uncertainty;
    std::optional<int> cycles;
    std::optional<double> mean_drag_coefficient;
    std::optional<double> drag_coefficient_amplitude;
    std::optional<double> lift_coefficient_amplitude;
    // The advection in force, by its option value.
    std::string advection = "first-order";
    // A time-accurate run's animation: the frames it holds, and whether they
    // were written as a ParaView series as well (--frames-vtk). Empty in a
    // steady run.
    std::optional<int> frames;
    std::optional<bool> frames_vtk;
    // The time step's Courant number (--courant).
    double courant = 0.1;
    // The projection in force (--projection), by its option value.
    std::string projection = "nodes";
    std::optional<int> nodes_across;  // --nodes-across's N, when given
};

// One JSON object, indented by 2, with a final newline. Empty and
// non-finite numbers are written as null; bytes of the picture name that
// are not UTF-8 become U+FFFD, so the file always parses. Throws run_error
// naming the file when it cannot be written.
void write_summary(const std::string& file_name, const run_summary& summary);

}  // namespace veltaro
