#include "field/face_field.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>

#include "common/run_error.h"

namespace veltaro {

face_field allocate_face_field(int nx, int ny) {
    try {
        return {float_grid(nx, ny), float_grid(nx, ny)};
    } catch (const std::bad_alloc&) {
        throw run_error("Not enough memory for the face velocities of a mesh of " +
                        std::to_string(nx) + " x " + std::to_string(ny) +
                        " nodes; choose a coarser mesh or a shorter tunnel.");
    }
}

void initial_face_velocities(const flow_field& field, float inlet_velocity, face_field& faces) {
    const int nx = field.nx;
    const int ny = field.ny;
    for (int i = 0; i + 1 < nx; ++i) {
        for (int j = 0; j < ny; ++j) {
            faces.u[i][j] = i == 0 ? inlet_velocity : 0.5f * (field.u[i][j] + field.u[i + 1][j]);
        }
    }
    for (int i = 0; i < nx; ++i) {
        for (int j = 0; j + 1 < ny; ++j) {
            const bool wall = j == 0 || j == ny - 2;
            faces.v[i][j] = wall ? 0.0f : 0.5f * (field.v[i][j] + field.v[i][j + 1]);
        }
    }
}

double face_divergence(const face_field& faces, float dx, float dy, int i, int j) {
    const double along = (static_cast<double>(faces.u[i][j]) - faces.u[i - 1][j]) / dx;
    const double across = (static_cast<double>(faces.v[i][j]) - faces.v[i][j - 1]) / dy;
    return along + across;
}

double largest_face_divergence(const face_field& faces, float dx, float dy) {
    double largest = 0.0;
    for (int i = 1; i + 1 < faces.u.nx(); ++i) {
        for (int j = 1; j + 1 < faces.u.ny(); ++j) {
            largest = std::max(largest, std::fabs(face_divergence(faces, dx, dy, i, j)));
        }
    }
    return largest;
}

}  // namespace veltaro
