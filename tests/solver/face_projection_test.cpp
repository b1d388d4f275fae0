// The face projection's parts by hand: the starting faces, the prediction's
// two forms meeting at the relaxation time, and the flux-form advection,
// which keeps a uniform flow and conserves what it carries when the faces
// are divergence-free.
#include <gtest/gtest.h>

#include <cmath>

#include "field/face_field.h"
#include "solver/face_advection.h"
#include "solver/face_projection.h"
#include "solver/laplacian.h"
#include "solver/solver_workspace.h"

namespace veltaro {
namespace {

TEST(FaceField, StartingFacesAreTheNodesMeansButAtTheInletAndTheWalls) {
    flow_field field = allocate_flow_field(4, 4, 1.0f, 1.0f);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            field.u[i][j] = static_cast<float>(i + 10 * j);
            field.v[i][j] = static_cast<float>(2 * i - j);
        }
    face_field faces = allocate_face_field(4, 4);
    initial_face_velocities(field, 7.0f, faces);
    // (face, expected): the inlet's faces carry the inlet velocity, the
    // walls' (i, 1/2) and (i, 5/2) none.
    const struct {
        float face, expected;
    } rows[] = {
        {faces.u[0][1], 7.0f}, {faces.u[1][1], 11.5f}, {faces.u[2][2], 22.5f},
        {faces.v[1][0], 0.0f}, {faces.v[1][1], 0.5f},  {faces.v[2][2], 0.0f},
        {faces.v[2][1], 2.5f},
    };
    for (const auto& row : rows) EXPECT_EQ(row.face, row.expected);
    // (U(3/2,1) - U(1/2,1)) / dx + (V(1,3/2) - V(1,1/2)) / dy at node (1, 1).
    EXPECT_DOUBLE_EQ(face_divergence(faces, 1.0f, 1.0f, 1, 1), 11.5 - 7.0 + 0.5 - 0.0);
}

// A field with something in every array the prediction reads.
flow_field wavy_field() {
    flow_field field = allocate_flow_field(12, 9, 0.1f, 0.1f);
    for (int i = 0; i < 12; ++i)
        for (int j = 0; j < 9; ++j) {
            field.u[i][j] = 1.0f + 0.1f * std::sin(0.7f * i + 0.3f * j);
            field.v[i][j] = 0.2f * std::cos(0.5f * i - 0.9f * j);
            field.u_adv[i][j] = field.u[i][j] + 0.01f * std::cos(1.1f * j);
            field.v_adv[i][j] = field.v[i][j] - 0.01f * std::sin(0.8f * i);
            field.p[i][j] = 0.5f * std::sin(0.4f * i) * std::cos(0.6f * j);
        }
    return field;
}

TEST(FaceProjection, BothFormsOfThePredictionMeetAtTheRelaxationTime) {
    const flow_field field = wavy_field();
    const int_grid solid(12, 9);
    solver_workspace workspace = make_solver_workspace(field, pressure_solver_kind::fft);
    velocity_laplacians(field, workspace);
    const run_parameters params{1.0f, 1.1f, 0.8f, 0.01f, 1.0f, 0.0f};
    face_projection below = make_face_projection(field, 1.0f);
    // Faces of their own, not the nodes' means: the relaxed form reads them.
    for (std::size_t k = 0; k < below.faces.u.size(); ++k) {
        below.faces.u.data()[k] += 0.03f;
        below.faces.v.data()[k] -= 0.02f;
    }
    face_projection above = below;
    const float tau = below.relaxation_time;
    EXPECT_FLOAT_EQ(tau, 0.1f * 0.1f / 1.0f);
    predict_faces(field, solid, workspace.lap_u, workspace.lap_v, tau, params, below);
    predict_faces(field, solid, workspace.lap_u, workspace.lap_v, tau * (1 + 1e-6f), params, above);
    for (int i = 1; i < 11; ++i)
        for (int j = 1; j < 8; ++j) {
            EXPECT_NEAR(below.faces.u[i][j], above.faces.u[i][j], 1e-5f) << i << " " << j;
            EXPECT_NEAR(below.faces.v[i][j], above.faces.v[i][j], 1e-5f) << i << " " << j;
        }
}

// Faces from a stream function psi on the cell corners, zero on the outer
// ring of corners: U = d psi / dy, V = -d psi / dx, divergence-free to
// rounding, and nothing through the tunnel's boundary.
void stream_faces(face_field& faces, int nx, int ny, float h) {
    const auto psi = [&](int i, int j) {  // at the corner (i+1/2, j+1/2)
        if (i <= 0 || j <= 0 || i >= nx - 2 || j >= ny - 2) return 0.0f;
        return 0.3f * std::sin(0.5f * i) * std::sin(0.7f * j);
    };
    faces.u.fill(0.0f);
    faces.v.fill(0.0f);
    for (int i = 0; i + 1 < nx; ++i)
        for (int j = 1; j + 1 < ny; ++j) faces.u[i][j] = (psi(i, j) - psi(i, j - 1)) / h;
    for (int i = 1; i + 1 < nx; ++i)
        for (int j = 0; j + 1 < ny; ++j) faces.v[i][j] = -(psi(i, j) - psi(i - 1, j)) / h;
}

TEST(FaceAdvection, KeepsAUniformFlowAndConservesWhatItCarries) {
    const int nx = 30, ny = 20;
    const float h = 0.05f;
    const run_parameters inviscid{1.0f, 1.45f, 0.95f, 0.0f, 1.0f, 0.0f};
    const int_grid solid(nx, ny);
    // A uniform flow carried by uniform faces stays what it was, to the bit.
    {
        flow_field field = allocate_flow_field(nx, ny, h, h);
        field.u.fill(1.0f);
        face_projection projection = make_face_projection(field, 1.0f);
        solver_workspace workspace =
            make_solver_workspace(field, pressure_solver_kind::fft, advection_scheme::second_order);
        velocity_laplacians(field, workspace);
        face_flux_advection(field, solid, 0.01f, inviscid, workspace.lap_u, workspace.lap_v,
                            workspace.advection_slopes, projection);
        EXPECT_EQ(field.u_adv, field.u);
        EXPECT_EQ(field.v_adv, field.v);
    }
    // A swirl that nothing crosses the boundary of: the sum of what it
    // carries stays, whatever the field carried.
    flow_field field = allocate_flow_field(nx, ny, h, h);
    for (int i = 0; i < nx; ++i)
        for (int j = 0; j < ny; ++j) {
            field.u[i][j] = std::exp(-0.02f * ((i - 12) * (i - 12) + (j - 9) * (j - 9)));
            field.v[i][j] = (i * 7 + j * 3) % 5 == 0 ? 1.0f : 0.0f;  // steep on purpose
        }
    face_projection projection = make_face_projection(field, 1.0f);
    stream_faces(projection.faces, nx, ny, h);
    EXPECT_LT(largest_face_divergence(projection.faces, h, h) * h, 1e-6);
    solver_workspace workspace =
        make_solver_workspace(field, pressure_solver_kind::fft, advection_scheme::second_order);
    velocity_laplacians(field, workspace);
    const auto interior_sum = [&](const float_grid& q) {
        double sum = 0.0;
        for (int i = 1; i + 1 < nx; ++i)
            for (int j = 1; j + 1 < ny; ++j) sum += q[i][j];
        return sum;
    };
    face_flux_advection(field, solid, 0.004f, inviscid, workspace.lap_u, workspace.lap_v,
                        workspace.advection_slopes, projection);
    EXPECT_NEAR(interior_sum(field.u_adv), interior_sum(field.u), 1e-5 * interior_sum(field.u));
    EXPECT_NEAR(interior_sum(field.v_adv), interior_sum(field.v), 1e-5 * interior_sum(field.v));
    // ...and it moved.
    EXPECT_GT(std::fabs(field.u_adv[12][5] - field.u[12][5]), 1e-3);
}

}  // namespace
}  // namespace veltaro
