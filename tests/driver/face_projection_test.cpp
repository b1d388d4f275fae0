// The face projection (--projection=faces) through the iteration: the faces
// are divergence-free to round-off after every iteration on every grid,
// node rule, solve and advection; a small steady flow past a square reaches
// the same state at two Courant numbers, which the node projection does not,
// with the body's faces at rest.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>

#include "driver/iteration_loop.h"
#include "driver/set_up_run.h"
#include "field/face_field.h"
#include "field/set_dt.h"
#include "support/pictures.h"
#include "support/scratch_dir.h"

namespace veltaro {
namespace {

struct faces_run {
    run_setup setup;
    flow_field field;
    solver_workspace workspace;
};

// A disc in a tunnel of the given length and height at Re = U H / nu = 100
// (U = 1 m/s with H = 1 m), its nodes by `rule`, with the face projection.
faces_run set_up(double length, double height, int mesh, const run_options& options) {
    test::write_jpeg("tunnel.jpg", test::disc_picture(200, 50, 60.0, 25.0, 12.0));
    std::istringstream answers("tunnel.jpg " + std::to_string(100 * height) + " 0.01 1 " +
                               std::to_string(height) + " " + std::to_string(length) + " " +
                               std::to_string(mesh) + " 1\n");
    std::ostringstream console;
    faces_run run{set_up_run(answers, console, options), {}, {}};
    const mesh_size& grid = run.setup.mesh;
    run.field = allocate_flow_field(grid.nx, grid.ny, grid.dx, grid.dx);
    initial_conditions(run.field, run.setup.params.inlet_velocity);
    run.workspace = make_solver_workspace(run.field, options.pressure_solver, options.advection);
    run.workspace.faces = make_face_projection(run.field, run.setup.params.inlet_velocity);
    return run;
}

TEST(FaceProjection, FacesAreDivergenceFreeToRoundOffAfterEveryIteration) {
    // clang-format off
    const struct {
        double length, height; int mesh; solid_node_rule rule; pressure_solver_kind solve;
        advection_scheme advection; bool time_accurate; double courant;
    } rows[] = {
        {4, 1, 0, solid_node_rule::sampled, pressure_solver_kind::fft, advection_scheme::second_order, false, 0.5},
        {4, 1, 1, solid_node_rule::covered, pressure_solver_kind::lu, advection_scheme::second_order, false, 0.1},
        {4, 1, 0, solid_node_rule::outline, pressure_solver_kind::fft, advection_scheme::second_order, true, 0.1},
        {4, 1, 1, solid_node_rule::outline, pressure_solver_kind::fft, advection_scheme::second_order, false, 0.8},
        {2, 1, 0, solid_node_rule::outline, pressure_solver_kind::lu, advection_scheme::first_order, false, 0.1},
        {1, 1, 0, solid_node_rule::sampled, pressure_solver_kind::fft, advection_scheme::first_order, true, 0.3},
        {3, 1.3, 0, solid_node_rule::covered, pressure_solver_kind::fft, advection_scheme::second_order, true, 0.2},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(solid_node_rule_name(row.rule)) + " " +
                     std::to_string(row.length) + " x " + std::to_string(row.height) + ", mesh " +
                     std::to_string(row.mesh));
        const test::scratch_dir folder;
        faces_run run = set_up(row.length, row.height, row.mesh,
                               {.solid_nodes = row.rule,
                                .pressure_solver = row.solve,
                                .advection = row.advection,
                                .projection = projection_scheme::faces});
        const float velocity = run.setup.params.inlet_velocity;
        const face_field& faces = run.workspace.faces->faces;
        // The faces as they start (the means of their nodes) are not.
        EXPECT_GT(largest_face_divergence(faces, run.field.dx, run.field.dy) * run.field.dx,
                  0.1 * velocity);
        double largest = 0.0;
        for (int n = 0; n < 80; ++n) {
            const float dt = *set_dt(run.field, run.setup.params, row.courant);
            projection_step(run.field, run.setup.params, run.setup.masks.solid_nodes, run.workspace,
                            dt, {&run.setup.masks.ghosts, row.time_accurate});
            const double now = largest_face_divergence(faces, run.field.dx, run.field.dy) *
                               run.field.dx / velocity;
            largest = std::max(largest, now);
        }
        EXPECT_LT(largest, 1e-5);
    }
}

// Flow at 1 m/s past a square of 3 x 3 nodes in a 2 m x 0.8 m tunnel
// (41 x 17 nodes), Re on the square 15, marched with the given projection
// and Courant number for 40 s, twenty flow-through times: by then no
// velocity changes by more than an ulp or three in an iteration.
struct steady_flow {
    flow_field field;
    face_field faces;
};

steady_flow march_past_square(projection_scheme projection, double courant, int_grid& solid) {
    const float h = 0.05f;
    steady_flow flow{allocate_flow_field(41, 17, h, h), {}};
    initial_conditions(flow.field, 1.0f);
    solid = int_grid(41, 17);
    for (int i = 12; i < 15; ++i)
        for (int j = 7; j < 10; ++j) solid[i][j] = 1;
    const run_parameters params{1.0f, 2.0f, 0.8f, 0.01f, 1.0f, 0.0f};
    solver_workspace workspace = make_solver_workspace(flow.field, pressure_solver_kind::fft,
                                                       advection_scheme::second_order);
    if (projection == projection_scheme::faces)
        workspace.faces = make_face_projection(flow.field, params.inlet_velocity);
    for (double time = 0.0; time < 40.0;) {
        const float dt = *set_dt(flow.field, params, courant);
        projection_step(flow.field, params, solid, workspace, dt);
        time += dt;
    }
    if (workspace.faces) flow.faces = workspace.faces->faces;

    return flow;
}

double largest_difference(const float_grid& a, const float_grid& b) {
    double largest = 0.0;
    for (std::size_t k = 0; k < a.size(); ++k)
        largest = std::max(largest, double(std::fabs(a.data()[k] - b.data()[k])));
    return largest;
}

TEST(FaceProjection, ASteadyStateDoesNotDependOnTheTimeStep) {
    int_grid solid;
    // The projection, and whether u and v at Courant 0.2 and 0.8 may differ by 1e-4 U
    // (faces: not) or must (nodes: there the step moves the state, here by 0.2 U next to
    // the square). What the faces leave, 4e-5 U, is the single-precision fixed point's: it
    // halves each time the step doubles, as the iterations do.
    for (const auto& [projection, differ] :
         {std::pair{projection_scheme::faces, false}, {projection_scheme::nodes, true}}) {
        SCOPED_TRACE(projection_scheme_name(projection));
        const steady_flow small = march_past_square(projection, 0.2, solid);
        const steady_flow large = march_past_square(projection, 0.8, solid);
        const double difference = std::max(largest_difference(small.field.u, large.field.u),
                                           largest_difference(small.field.v, large.field.v));
        if (differ) {
            EXPECT_GT(difference, 1e-3);
            continue;
        }
        EXPECT_LT(difference, 1e-4);
        // The faces of the square's nodes are held: at rest once the flow is steady.
        double body = 0.0;
        for (int i = 11; i < 15; ++i)
            for (int j = 7; j < 10; ++j)
                body = std::max(body, double(std::fabs(large.faces.u[i][j])));
        for (int i = 12; i < 15; ++i)
            for (int j = 6; j < 10; ++j)
                body = std::max(body, double(std::fabs(large.faces.v[i][j])));
        EXPECT_LT(body, 1e-4);
    }
}

}  // namespace
}  // namespace veltaro
