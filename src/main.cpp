// veltaro: slow incompressible 2D flow through a tunnel, around an obstacle
// drawn as a JPEG or PNG picture (dark pixels are solid).
//
// Answers the questions on standard input, marches the flow to a steady
// state, prints lift, drag and their coefficients, and writes "U.dat",
// "V.dat", "P.dat", "convergence.txt", "residual.txt", four pictures,
// "flow.vtk", "convergence.svg" and "summary.json" into the current folder:
//     veltaro < examples/cylinder.answers
//     veltaro --solid-nodes=covered < answers
//     veltaro --unsteady=8 --pressure-solver=fft < answers   (in time, with
//         the Strouhal number of the vortex street, "forces.csv" and the
//         animation "vorticity.webp")
//     veltaro --grid-study < answers   (the same on two coarser meshes as
//         well, in grid/, with an error band on each coefficient)
//     veltaro --help
//     veltaro serve          (the studio in the browser: src/server)
//
// Exit status: 1 after a complete run, 2 when the run is refused or a
// result could not be written.
#include <chrono>
#include <iostream>
#include <new>

#include "common/run_error.h"
#include "common/threads.h"
#include "driver/command_line.h"
#include "driver/grid_study.h"
#include "driver/run_case.h"
#include "driver/run_warnings.h"
#include "driver/set_up_run.h"
#include "server/serve.h"

namespace veltaro {
namespace {

int run(const run_options& options) {
    const auto started = std::chrono::steady_clock::now();
    // The dialogue, the mesh and the obstacle; then the threads, for which
    // the pressure solve is planned.
    const run_setup setup = set_up_run(std::cin, std::cout, options);
    if (options.threads) use_threads(*options.threads);
    if (options.grid_study) return run_grid_study(setup, started);
    const case_result result = run_case(setup, started, std::cout, std::cerr);
    // The warnings, once the results are there; a failed write is the run's
    // one line instead.
    if (result.status == completed_status) print_warnings(std::cerr, result.summary.warnings);
    return result.status;
}

}  // namespace
}  // namespace veltaro

int main(int argc, char** argv) {
    if (veltaro::asks_for_studio(argc, argv)) return veltaro::server::serve(argc, argv);
    const veltaro::command_line command =
        veltaro::handle_command_line(argc, argv, std::cout, std::cerr);
    if (command.exit_status) return *command.exit_status;
    try {
        return veltaro::run(command.options);
    } catch (const veltaro::run_error& error) {
        std::cout << std::flush;
        std::cerr << error.what() << '\n';
        return error.status();
    } catch (const std::bad_alloc&) {
        std::cout << std::flush;
        std::cerr << "Not enough memory for this run; choose a coarser mesh or a shorter tunnel.\n";
        return veltaro::refusal_status;
    }
}
