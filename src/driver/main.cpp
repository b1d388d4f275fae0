// veltaro: slow incompressible 2D flow through a tunnel, around an obstacle
// drawn as a JPEG picture (dark pixels are solid).
//
// Answers the questions on standard input, marches the flow to a steady
// state, prints lift and drag, and writes "U.dat", "V.dat", "P.dat",
// "convergence.txt" and four pictures into the current folder:
//     veltaro < examples/cylinder.answers
//
// Exit status: 1 after a complete run (as it always has been), 2 when the
// run is refused or a result could not be written.
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "driver/convergence_log.h"
#include "driver/dialogue.h"
#include "driver/forces.h"
#include "driver/iteration_loop.h"
#include "driver/run_setup.h"
#include "common/text_format.h"
#include "field/flow_field.h"
#include "common/run_error.h"
#include "geometry/obstacle_masks.h"
#include "output/atomic_file.h"
#include "output/data_files.h"
#include "output/field_images.h"
#include "output/streamlines.h"
#include "solver/solver_workspace.h"

namespace veltaro {
namespace {

constexpr int completed_status = 1;

// A result that could not be written does not stop the others; it is
// reported, and the run ends as a failure.
class result_writer {
public:
    template <typename Writer>
    void operator()(Writer writer) {
        try {
            writer();
        } catch (const run_error& error) {
            std::cerr << error.what() << '\n';
            status_ = error.status();
        }
    }
    [[nodiscard]] int status() const { return status_; }

private:
    int status_ = completed_status;
};

int run() {
    // 1. The dialogue and what follows from it.
    print_banner(std::cout);
    const dialogue_answers answers = ask_questions(std::cin, std::cout);
    float typed_inlet_velocity = 0.0f;
    if (inlet_velocity_is_asked(answers)) {
        typed_inlet_velocity = ask_inlet_velocity(std::cin, std::cout);
    }
    const run_parameters params = derive_parameters(answers, typed_inlet_velocity);
    check_parameters(answers, params);
    const mesh_size mesh = size_mesh(answers.mesh_choice, answers.length, answers.height);

    // 2. The obstacle.
    obstacle_masks masks = make_outlines(mesh.nx, mesh.ny, answers.filename);

    // 3. The flow field in its initial state; before any iteration the
    // advected velocity is the initial one and the pressure is zero.
    flow_field field = allocate_flow_field(mesh.nx, mesh.ny, mesh.dx, mesh.dx);
    initial_conditions(field, params.INLET_VELOCITY);
    field.u_adv = field.u;
    field.v_adv = field.v;
    solver_workspace workspace = make_solver_workspace(field.nx, field.ny, field.dx, field.dy);

    // 4. The iteration loop, once it is sure that its results can be kept.
    check_results_can_be_written();
    convergence_log log;
    run_iteration_loop(field, params, masks.outline_large, answers.max_iterations, workspace, log,
                       std::cout);

    // 5. Lift and drag.
    const forces force = lift_and_drag(field, params.RHO);
    std::cout << format_text("Lift = %e [N/m]\n", force.lift)
              << format_text("Drag = %e [N/m]\n", force.drag) << std::flush;

    // 6-8. The data files, the streamlines and the four pictures.
    result_writer write;
    const flow_field& f = field;
    write([&] { output_results(f); });
    streamlines(f.nx, f.ny, f.u, f.v, params, masks);
    write([&] { output_image_U(f.nx, f.ny, f.p, f.u, f.v, masks); });
    write([&] { output_image_V(f.nx, f.ny, f.p, f.u, f.v, masks); });
    write([&] { output_image_P(f.nx, f.ny, f.p, f.u, f.v, masks); });
    write([&] { output_image_UV(f.nx, f.ny, f.p, f.u, f.v, masks); });
    return write.status();
}

}  // namespace
}  // namespace veltaro

int main() {
    try {
        return veltaro::run();
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
