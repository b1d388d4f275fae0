#include "driver/command_line.h"

#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <ostream>
#include <string>
#include <string_view>
#include <system_error>

#include "common/run_error.h"
#include "driver/derived_parameters.h"
#include "driver/dialogue.h"
#include "driver/frame_capture.h"

namespace veltaro {
namespace {

constexpr std::string_view usage = R"(Usage: veltaro [--help | -h | --version]
       veltaro [--solid-nodes=RULE] [--stop-rule=RULE] [--pressure-solver=SOLVE]
               [--advection=ORDER] [--projection=SCHEME] [--courant=C]
               [--nodes-across=N] [--threads=N] [--grid-study]
               [--unsteady=T [--frames=N] [--frames-vtk]] < answers
       veltaro serve [options]   the studio in the browser (veltaro serve --help)

Computes the steady, slow, incompressible 2D flow through a tunnel around an
obstacle drawn in a JPEG or PNG picture (dark pixels are solid, the picture is
stretched over the whole tunnel), and its lift and drag.

The questions are answered on standard input, one word each, in this order:
  Input JPG image                 the picture's file name
  Reynold's No.                   Re = U H / nu (a warning above 200)
  Kinematic viscosity [m^2/s]     nu, zero or positive
  Density [kg/m^3]                rho, positive
  Wind tunnel height [m]          H, positive
  Wind tunnel length [m]          L, positive
  Mesh spacing                    0 coarse, 1 standard, 2 fine (25, 50, 100 nodes across)
  Maximum number of iterations
  Inlet Velocity                  asked only when Re or nu is 0
For example:  echo "cylinder.jpg 20 0.01 1 1 4 1 5000" | veltaro

Options (each default is the method of earlier results):
  --solid-nodes=RULE   sampled (default): a node is solid when the last pixel mapped to it
                       is dark; covered: when dark pixels cover half its cell (symmetric);
                       outline: inside the drawn outline, no-slip on it (ghost nodes)
  --stop-rule=RULE     quiet (default): stop when the mean |u|, |v| change by < 2e-6 for 10
                       iterations; steady: when the flow itself stops changing; limit: never
  --pressure-solver=SOLVE  lu (default): sparse LU factors; fft: a cosine transform and
                       tridiagonal solves, the same pressure about four times faster
  --advection=ORDER    first-order (default): upwind, numerically viscous on coarse meshes;
                       second-order: limited upwind slopes, a longer, truer wake
  --projection=SCHEME  nodes (default): the node velocities are made divergence-free, to
                       within a remainder that moves the answer with the time step; faces:
                       the velocities on the faces between nodes, exactly divergence-free,
                       whose steady answer does not move with it; they carry the flow in
                       the second-order advection (the first-order one keeps the nodes')
  --courant=C          the time step's Courant number, dt = C dx / (largest speed): above
                       0 and at most 1 (default 0.1, and 0.5 for a steady run with
                       --projection=faces --advection=second-order); a larger step takes
                       fewer iterations, and with --projection=nodes it moves the answer
  --nodes-across=N     N nodes across the tunnel (3 or more) instead of the mesh answer's
                       25, 50 or 100, and as many along it as that spacing gives; a mesh
                       too large for the memory available is refused before the run
  --grid-study         the case on its mesh and on two coarser ones (nodes across N,
                       about N / 1.41 and N / 2; N at least 50), each in grid/<N>-across/, and
                       from the three the error band of each coefficient (Richardson's
                       extrapolation, the grid-convergence index); the results are the
                       finest mesh's, with the study in summary.json
  --threads=N          the threads each iteration is split over (default: the machine's
                       cores, or OMP_NUM_THREADS); the results are the same bytes at any N
  --unsteady=T         a time-accurate run to the flow time T seconds (or the iteration
                       limit), for flows that shed vortices: the Strouhal number and the
                       forces in time (forces.csv); it takes no stop rule
  --frames=N           --unsteady only: the animation of the vorticity (vorticity.webp) has
                       N frames (default 120), evenly spaced over the last quarter of T
  --frames-vtk         --unsteady only: the same frames as a ParaView time series
                       (frames.pvd and frames/frame_NNNN.vti)

Files written into the current folder (replacing those of an earlier run):
  convergence.txt, convergence.svg   the relative changes per iteration
  residual.txt                       the steady residual per iteration (max and rms)
  U.dat, V.dat, P.dat                velocity and pressure tables, top wall first
  U.jpg, V.jpg, pressure.jpg, velocity.jpg
                                     pictures at the obstacle picture's size
  flow.vtk                           the final flow on the grid (VTK, for ParaView)
  summary.json                       the answers, the grid and the results
  forces.csv                         --unsteady only: lift and drag at every iteration
  vorticity.webp                     --unsteady only: the animation of the vorticity
  grid/<N>-across/                   --grid-study only: each mesh's own results

Exit status: 1 after a complete run; 2 when the run is refused or a result
could not be written (the reason is on standard error); 0 for --help and
--version. Lines starting "Warning: " on standard error after a complete run
say why its results may not be trusted (summary.json lists them too).
)";

// The example pictures and answers: installed beside the program under
// share/veltaro/examples, or in the source tree next to a build folder.
std::string examples_folder() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return "share/veltaro/examples, beside the program's bin folder";
    const std::filesystem::path prefix = program.parent_path().parent_path();
    for (const std::filesystem::path& folder :
         {prefix / "share" / "veltaro" / "examples", prefix / "examples"}) {
        if (std::filesystem::is_directory(folder, error)) return folder.string();
    }
    return (prefix / "share" / "veltaro" / "examples").string() + " (not installed)";
}

bool is_help(std::string_view argument) { return argument == "--help" || argument == "-h"; }

// An option of the form --name=value, and the values it allows, the
// default first.
template <typename Choice, std::size_t count>
struct option {
    std::string_view name;
    std::array<Choice, count> choices;
    const char* (*name_of)(Choice);
};

constexpr option<solid_node_rule, 3> solid_nodes_option{
    "--solid-nodes",
    {solid_node_rule::sampled, solid_node_rule::covered, solid_node_rule::outline},
    solid_node_rule_name};
constexpr option<stop_rule, 3> stop_rule_option{
    "--stop-rule", {stop_rule::quiet, stop_rule::steady, stop_rule::limit}, stop_rule_name};
constexpr option<advection_scheme, 2> advection_option{
    "--advection", {advection_scheme::first_order, advection_scheme::second_order},
    advection_scheme_name};
constexpr option<projection_scheme, 2> projection_option{
    "--projection", {projection_scheme::nodes, projection_scheme::faces}, projection_scheme_name};
constexpr option<pressure_solver_kind, 2> pressure_solver_option{
    "--pressure-solver", {pressure_solver_kind::lu, pressure_solver_kind::fft},
    pressure_solver_name};

template <typename Choice, std::size_t count>
std::string allowed_values(const option<Choice, count>& opt) {
    std::string text;
    for (std::size_t k = 0; k < count; ++k) {
        text += k == 0 ? "" : k + 1 == count ? " or " : ", ";
        text += std::string(opt.name) + "=" + opt.name_of(opt.choices[k]);
        if (k == 0) text += " (the default)";
    }
    return text;
}

// --name=first|second
template <typename Choice, std::size_t count>
std::string forms(const option<Choice, count>& opt) {
    std::string text = std::string(opt.name) + "=";
    for (std::size_t k = 0; k < count; ++k)
        text += (k == 0 ? "" : "|") + std::string(opt.name_of(opt.choices[k]));
    return text;
}

// Reads `argument` into `choice` when it is this option. Returns false when
// the argument is another one; throws run_error for a value not allowed.
template <typename Choice, std::size_t count>
bool read_option(std::string_view argument, const option<Choice, count>& opt, Choice& choice) {
    if (!argument.starts_with(opt.name)) return false;
    const std::string_view rest = argument.substr(opt.name.size());
    if (rest.empty()) {
        throw run_error("The option " + std::string(opt.name) +
                        " needs a value: " + allowed_values(opt) + ".");
    }
    if (rest.front() != '=') return false;
    const std::string_view value = rest.substr(1);
    for (const Choice candidate : opt.choices) {
        if (value == opt.name_of(candidate)) {
            choice = candidate;
            return true;
        }
    }
    throw run_error("Unknown value \"" + std::string(value) + "\" for " + std::string(opt.name) +
                    ": the allowed values are " + allowed_values(opt) + ".");
}

[[noreturn]] void refuse_argument(std::string_view argument) {
    throw run_error("Unknown argument \"" + std::string(argument) +
                    "\": veltaro takes --help (-h) or --version alone, or the options " +
                    forms(solid_nodes_option) + ", " + forms(stop_rule_option) + ", " +
                    forms(pressure_solver_option) + ", " + forms(advection_option) + ", " +
                    forms(projection_option) +
                    ", --courant=C, --nodes-across=N, --threads=N, --grid-study, "
                    "--unsteady=T, --frames=N and --frames-vtk, and asks its questions on "
                    "standard input (veltaro < answers.txt).");
}

// An option --name=X whose X is a finite number above 0 and at most
// `highest`, and the words of its refusals.
struct number_option {
    std::string_view name;
    double highest;
    const char* value_needed;  // what the value is, when it is missing
    const char* what;          // what the value is called in a refusal
    const char* refused;       // and what the refusal asks for
};

constexpr number_option unsteady_option{
    "--unsteady", std::numeric_limits<double>::infinity(),
    "the flow time in seconds, a positive number such as --unsteady=8.", "The flow time",
    "is not a positive number of seconds; give one such as --unsteady=8."};
// Read as a double: 0.1 is then the very number of the default rule, and
// gives its bits.
constexpr number_option courant_option{
    "--courant", max_courant,
    "the time step's Courant number, above 0 and at most 1, such as --courant=0.4.",
    "The Courant number",
    "is not a number above 0 and at most 1; give one such as --courant=0.4."};

// Reads `argument` into `number` when it is this option. Returns false when
// the argument is another one; throws run_error for a value not allowed.
bool read_number(std::string_view argument, const number_option& opt,
                 std::optional<double>& number) {
    if (!argument.starts_with(opt.name)) return false;
    const std::string_view rest = argument.substr(opt.name.size());
    if (rest.empty()) {
        throw run_error("The option " + std::string(opt.name) + " needs a value: " +
                        opt.value_needed);
    }
    if (rest.front() != '=') return false;
    const std::string value(rest.substr(1));
    char* end = nullptr;
    // strtod would skip a leading space.
    const bool spaced = value.empty() || std::isspace(static_cast<unsigned char>(value.front()));
    const double read = spaced ? 0.0 : std::strtod(value.c_str(), &end);
    if (spaced || end != value.c_str() + value.size() || !std::isfinite(read) || !(read > 0.0) ||
        !(read <= opt.highest)) {
        throw run_error(std::string(opt.what) + " \"" + value + "\" of " + std::string(opt.name) +
                        " " + opt.refused);
    }
    number = read;
    return true;
}

// No highest value but what an int holds.
constexpr long unbounded = 2'147'483'647;
// More threads than this is a typing mistake on any machine of today.
constexpr long max_threads = 1024;

// An option --name=N whose N is a whole number from lowest to highest; what
// the refusal calls it, and an example.
struct count_option {
    std::string_view name;  // with its "="
    long lowest;
    long highest;  // or unbounded
    const char* what;
    const char* example;
};

constexpr count_option frames_option{"--frames=", 1, max_frames, "frame count", "--frames=120"};
constexpr count_option threads_option{"--threads=", 1, max_threads, "thread count",
                                      "--threads=2"};
constexpr count_option nodes_across_option{"--nodes-across=", min_nodes_across, unbounded,
                                           "node count", "--nodes-across=200"};

std::string range_of(const count_option& opt) {
    if (opt.highest == unbounded) return "of at least " + std::to_string(opt.lowest);
    return "from " + std::to_string(opt.lowest) + " to " + std::to_string(opt.highest);
}

// Reads `argument` into `count` when it is this option. Returns false when
// the argument is another one.
bool read_count(std::string_view argument, const count_option& opt, std::optional<int>& count) {
    if (!argument.starts_with(opt.name)) return false;
    const std::string value(argument.substr(opt.name.size()));
    char* end = nullptr;
    const long number = value.empty() || !std::isdigit(static_cast<unsigned char>(value.front()))
                            ? 0
                            : std::strtol(value.c_str(), &end, 10);
    if (end != value.c_str() + value.size() || number < opt.lowest || number > opt.highest) {
        throw run_error("The " + std::string(opt.what) + " \"" + value + "\" of " +
                        std::string(opt.name.substr(0, opt.name.size() - 1)) +
                        " is not a whole number " + range_of(opt) + "; give one such as " +
                        opt.example + ".");
    }
    count = static_cast<int>(number);
    return true;
}

// The animation is made of a time-accurate run's frames: without one, its
// options are refused rather than ignored.
void check_frame_options(const run_options& options) {
    if (options.unsteady || (!options.frames && !options.frames_vtk)) return;
    throw run_error(std::string("The option ") + (options.frames ? "--frames" : "--frames-vtk") +
                    " makes the animation of a time-accurate run and needs --unsteady=T as well.");
}

// A time-accurate run ends at its flow time: a stop rule that would end it
// sooner is refused, and the limit rule is implied.
void settle_stop_rule(run_options& options, bool stop_rule_given) {
    if (!options.unsteady) return;
    if (stop_rule_given && options.stop != stop_rule::limit) {
        throw run_error(std::string("The option --unsteady=T runs to the flow time T and takes no "
                                    "stop rule: leave out --stop-rule=") +
                        stop_rule_name(options.stop) + ".");
    }
    options.stop = stop_rule::limit;
}

run_options read_options(int argc, const char* const* argv) {
    run_options options;
    bool stop_rule_given = false;
    for (int k = 1; k < argc; ++k) {
        const std::string_view argument = argv[k];
        if (read_option(argument, stop_rule_option, options.stop)) {
            stop_rule_given = true;
            continue;
        }
        if (read_option(argument, solid_nodes_option, options.solid_nodes) ||
            read_option(argument, pressure_solver_option, options.pressure_solver) ||
            read_option(argument, advection_option, options.advection) ||
            read_option(argument, projection_option, options.projection) ||
            read_number(argument, unsteady_option, options.unsteady) ||
            read_number(argument, courant_option, options.courant) ||
            read_count(argument, frames_option, options.frames) ||
            read_count(argument, nodes_across_option, options.nodes_across) ||
            read_count(argument, threads_option, options.threads)) {
            continue;
        }
        if (argument == "--frames-vtk") {
            options.frames_vtk = true;
            continue;
        }
        if (argument == "--grid-study") {
            options.grid_study = true;
            continue;
        }
        // --help or --version with other arguments: the others are refused.
        const bool alone_only = is_help(argument) || argument == "--version";
        if (!alone_only || k > 1) refuse_argument(argument);
    }
    const std::string_view first = argc > 1 ? argv[1] : "";
    if (is_help(first) || first == "--version") refuse_argument(first);
    settle_stop_rule(options, stop_rule_given);
    check_frame_options(options);
    return options;
}

}  // namespace

bool asks_for_studio(int argc, const char* const* argv) {
    return argc >= 2 && std::string_view(argv[1]) == "serve";
}

command_line handle_command_line(int argc, const char* const* argv, std::ostream& out,
                                 std::ostream& err) {
    command_line result;
    if (argc == 2 && is_help(argv[1])) {
        out << usage << "\nExamples (pictures and answers files): " << examples_folder() << '\n';
        result.exit_status = 0;
        return result;
    }
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        out << "veltaro " << veltaro_version << '\n';
        result.exit_status = 0;
        return result;
    }
    try {
        result.options = read_options(argc, argv);
    } catch (const run_error& error) {
        err << error.what() << '\n';
        result.exit_status = error.status();
    }
    return result;
}

}  // namespace veltaro
