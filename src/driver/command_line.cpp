#include "driver/command_line.h"

#include <ostream>
#include <string_view>

#include "common/run_error.h"
#include "driver/dialogue.h"

namespace veltaro {
namespace {

constexpr std::string_view usage = R"(Usage: veltaro [--help | --version]
       veltaro serve [options]     the studio in the browser (veltaro serve --help)

Computes the steady, slow, incompressible 2D flow through a tunnel around an
obstacle drawn in a JPEG picture (dark pixels are solid, the picture is
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

Files written into the current folder (replacing those of an earlier run):
  convergence.txt, convergence.svg   the relative changes per iteration
  U.dat, V.dat, P.dat                velocity and pressure tables, top wall first
  U.jpg, V.jpg, pressure.jpg, velocity.jpg
                                     pictures at the obstacle picture's size
  flow.vtk                           the final flow on the grid (VTK, for ParaView)
  summary.json                       the answers, the grid and the results

Exit status: 1 after a complete run; 2 when the run is refused or a result
could not be written (the reason is on standard error); 0 for --help and
--version.
)";

}  // namespace

bool asks_for_studio(int argc, const char* const* argv) {
    return argc >= 2 && std::string_view(argv[1]) == "serve";
}

std::optional<int> handle_command_line(int argc, const char* const* argv, std::ostream& out,
                                       std::ostream& err) {
    if (argc <= 1) return std::nullopt;
    const std::string_view argument = argv[1];
    if (argc == 2 && argument == "--help") {
        out << usage;
        return 0;
    }
    if (argc == 2 && argument == "--version") {
        out << "veltaro " << veltaro_version << '\n';
        return 0;
    }
    const std::string_view refused =
        argument == "--help" || argument == "--version" ? std::string_view(argv[2]) : argument;
    err << "Unknown argument \"" << refused
        << "\": veltaro takes only --help or --version, and asks its questions on standard "
           "input (veltaro < answers.txt).\n";
    return refusal_status;
}

}  // namespace veltaro
