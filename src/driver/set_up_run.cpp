#include "driver/set_up_run.h"

#include <ostream>
#include <utility>

#include "driver/grid_study.h"
#include "driver/run_memory.h"
#include "geometry/ghost_node_rule.h"

namespace veltaro {

double courant_of(const run_options& options) {
    if (options.courant) return *options.courant;
    const bool steady_faces = options.projection == projection_scheme::faces &&
                              options.advection == advection_scheme::second_order &&
                              !options.unsteady;
    return steady_faces ? steady_faces_courant : default_courant;
}

run_setup plan_run(std::istream& in, std::ostream& out, const run_options& options) {
    run_setup setup;
    setup.options = options;
    print_banner(out);
    setup.answers = ask_questions(in, out);
    float typed_inlet_velocity = 0.0f;
    if (inlet_velocity_is_asked(setup.answers)) {
        typed_inlet_velocity = ask_inlet_velocity(in, out);
    }
    setup.params = derive_parameters(setup.answers, typed_inlet_velocity);
    check_parameters(setup.answers, setup.params);
    setup.mesh = size_mesh(setup.answers, options.nodes_across);
    check_run_memory(setup.mesh, options);
    if (options.grid_study) check_grid_study(setup);
    return setup;
}

namespace {

// The masks from the picture named in the answers, the node mask by the
// chosen rule, and the obstacle measured on them.
void make_masks(run_setup& setup) {
    const run_options& options = setup.options;
    setup.masks = make_outlines(setup.mesh.nx, setup.mesh.ny, setup.answers.filename);
    // The picture mask is the same under every rule; only the nodes differ.
    if (options.solid_nodes == solid_node_rule::covered) {
        setup.masks.solid_nodes = covered_nodes(setup.masks.picture, setup.mesh.nx, setup.mesh.ny);
    } else if (options.solid_nodes == solid_node_rule::outline) {
        ghost_rule_masks ghost_rule =
            ghost_node_rule(setup.masks.picture, setup.mesh.nx, setup.mesh.ny);
        setup.masks.solid_nodes = std::move(ghost_rule.solid_nodes);
        setup.masks.ghosts = std::move(ghost_rule.ghosts);
    }
    setup.obstacle = size_on_grid(setup.masks.picture, setup.mesh);
}

}  // namespace

run_setup set_up_run(std::istream& in, std::ostream& out, const run_options& options) {
    run_setup setup = plan_run(in, out, options);
    try {
        make_masks(setup);
    } catch (const unrecognised_components&) {
        out << "Number of color components in JPG image not recognized" << std::endl;
        throw;
    }
    return setup;
}

run_setup set_up_on_mesh(const run_setup& planned, int nodes_across) {
    run_setup setup;
    setup.options = planned.options;
    setup.options.nodes_across = nodes_across;
    setup.answers = planned.answers;
    setup.params = planned.params;
    setup.mesh = size_mesh_across(nodes_across, setup.answers.length, setup.answers.height);
    make_masks(setup);
    return setup;
}

}  // namespace veltaro
