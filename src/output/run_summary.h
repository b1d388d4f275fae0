// run_summary: "summary.json", the whole run in one machine-readable file:
// what was asked, the grid it led to, how the iteration ended and the
// forces on the obstacle.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace veltaro {

// A grid study's record (--grid-study), under the names of the file.
struct grid_mesh_summary {
    int nodes_across = 0;
    int nx = 0;
    int ny = 0;
    double spacing = 0.0;         // dx, m
    double frontal_height = 0.0;  // D on this mesh, m
    std::optional<double> reynolds_frontal;
    std::string folder;  // "grid/100-across"
    int iterations = 0;
    double seconds = 0.0;
};

struct grid_coefficient_summary {
    std::string name;                           // the summary's key: "drag_coefficient"
    std::vector<std::optional<double>> values;  // finest first
    std::optional<double> order;
    std::optional<double> extrapolated;
    std::optional<double> band_relative;
    std::optional<double> band_absolute;
    std::optional<std::string> reason;  // empty with a band
    // Not written: the warning grid_not_converging says it.
    bool not_converging = false;
};

struct grid_study_summary {
    double ratio = 0.0;
    std::vector<grid_mesh_summary> meshes;               // finest first
    std::vector<grid_coefficient_summary> coefficients;  // none when incomplete
    double cost_factor = 0.0;  // seconds of the runs / seconds of the finest
    bool complete = false;
};

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
    // The grid study's, in the results folder of a --grid-study run only.
    std::optional<grid_study_summary> grid_study;
};

// One JSON object, indented by 2, with a final newline. Empty and
// non-finite numbers are written as null; bytes of the picture name that
// are not UTF-8 become U+FFFD, so the file always parses. Throws run_error
// naming the file when it cannot be written.
void write_summary(const std::string& file_name, const run_summary& summary);

}  // namespace veltaro
