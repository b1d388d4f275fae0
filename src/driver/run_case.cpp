#include "driver/run_case.h"

#include <optional>
#include <ostream>

#include "analysis/coefficients.h"
#include "analysis/force_record.h"
#include "analysis/forces.h"
#include "analysis/steady_residual.h"
#include "common/run_error.h"
#include "common/text_format.h"
#include "driver/convergence_log.h"
#include "driver/frame_capture.h"
#include "driver/iteration_loop.h"
#include "driver/summarise_run.h"
#include "driver/unsteady_run.h"
#include "field/flow_field.h"
#include "output/atomic_file.h"
#include "output/convergence_plot.h"
#include "output/data_files.h"
#include "output/field_images.h"
#include "output/forces_file.h"
#include "output/streamlines.h"
#include "output/vtk_file.h"
#include "solver/solver_workspace.h"

namespace veltaro {
namespace {

// A result that could not be written does not stop the others; it is
// reported, and the run ends as a failure.
class result_writer {
public:
    explicit result_writer(std::ostream& err) : err_(err) {}
    template <typename Writer>
    void operator()(Writer writer) {
        try {
            writer();
        } catch (const run_error& error) {
            err_ << error.what() << '\n';
            status_ = error.status();
        }
    }
    [[nodiscard]] int status() const { return status_; }

private:
    std::ostream& err_;
    int status_ = completed_status;
};

}  // namespace

case_result run_case(const run_setup& setup, std::chrono::steady_clock::time_point started,
                     std::ostream& out, std::ostream& err) {
    const run_options& options = setup.options;
    const run_parameters& params = setup.params;
    const obstacle_masks& masks = setup.masks;

    // 1. The flow field in its initial state, and the solver's workspace,
    // whose transform solve is planned for the threads.
    flow_field field =
        allocate_flow_field(setup.mesh.nx, setup.mesh.ny, setup.mesh.dx, setup.mesh.dx);
    initial_conditions(field, params.inlet_velocity);
    solver_workspace workspace =
        make_solver_workspace(field, options.pressure_solver, options.advection);
    if (options.projection == projection_scheme::faces) {
        workspace.faces = make_face_projection(field, params.inlet_velocity);
    }
    steady_monitor monitor(field.nx, field.ny,
                           residual_unit(setup.obstacle, params.inlet_velocity, params.height));

    // 2. The iteration loop, once it is sure that its results can be kept.
    check_results_can_be_written();
    convergence_log log;
    force_record history(force_record_settings_of(setup));
    std::optional<forces_file> forces_csv;
    std::optional<frame_capture> frames;
    if (options.unsteady) {
        forces_csv.emplace("forces.csv");
        frames.emplace(frame_plan{options.frames.value_or(default_frames), options.frames_vtk,
                                  *options.unsteady},
                       masks, field.nx, field.ny);
    }
    loop_settings settings{setup.answers.max_iterations,
                           options.stop,
                           {&masks.ghosts, options.unsteady.has_value()},
                           options.unsteady,
                           start_up_tilt_of(setup),
                           &history,
                           forces_csv ? &*forces_csv : nullptr,
                           frames ? &*frames : nullptr};
    settings.courant = courant_of(options);
    const loop_result loop = run_iteration_loop(field, params, masks.solid_nodes, settings,
                                                workspace, monitor, log, out);

    // 3. Lift and drag, and their coefficients; a time-accurate run's
    // shedding.
    const bool time_accurate = options.unsteady.has_value();
    // A time-accurate run's are those of its last iteration, on the body's
    // box, as forces.csv has them.
    const forces force =
        time_accurate && history.last() ? *history.last() : lift_and_drag(field, params.density);
    out << format_text("Lift = %e [N/m]\n", force.lift)
        << format_text("Drag = %e [N/m]\n", force.drag);
    const force_coefficients coefficients =
        coefficients_of(force, setup.obstacle, params, setup.answers.kinematic_viscosity);
    print_coefficients(out, coefficients);
    std::optional<shedding_report> shedding;
    if (time_accurate) {
        shedding = report_shedding(setup, history);
        print_shedding(out, setup, loop.flow_time, *shedding);
    }
    out << std::flush;

    // 4. The result files, with the warnings in the summary.
    const std::vector<run_warning> warnings =
        run_warnings(setup, loop, coefficients, history.samples(), shedding);
    result_writer write(err);
    if (forces_csv) write([&] { forces_csv->finish(); });
    if (frames) write([&] { frames->finish(); });
    write([&] { output_results(field); });
    const streamline_marks marks =
        streamlines(field, params, masks.picture.nx(), masks.picture.ny());
    write([&] { output_image_U(field, masks); });
    write([&] { output_image_V(field, masks); });
    write([&] { output_image_P(field, masks); });
    write([&] { output_image_UV(field, masks, marks); });
    write([&] { write_vtk_file("flow.vtk", field, masks.solid_nodes); });
    write([&] { write_convergence_plot("convergence.svg", log.history(), quiet_change); });
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - started;
    case_result result;
    result.summary =
        summarise_run(setup, loop, force, coefficients, warnings, seconds.count(), shedding);
    write([&] { write_summary("summary.json", result.summary); });
    result.status = write.status();
    return result;
}

}  // namespace veltaro
