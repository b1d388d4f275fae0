#include "solver/laplacian.h"

#include "common/threads.h"

namespace veltaro {
namespace {

// lap q(i,j) = (q(i-1,j) - 2 q(i,j) + q(i+1,j)) / dx^2 + (q(i,j-1) - 2 q(i,j) + q(i,j+1)) / dy^2,
// second order in dx and dy (docs/method.md, "Velocity Laplacians").
void laplacian(int nx, int ny, float dx, float dy, const float_grid& q, float_grid& lap_q) {
    const float dx2 = dx * dx;
    const float dy2 = dy * dy;
    VELTARO_PARALLEL_FOR
    for (int i = 1; i <= nx - 2; ++i) {
        const float* west = q[i - 1];
        const float* here = q[i];
        const float* east = q[i + 1];
        float* out = lap_q[i];
        for (int j = 1; j <= ny - 2; ++j) {
            out[j] = (west[j] - 2 * here[j] + east[j]) / dx2 +
                     (here[j - 1] - 2 * here[j] + here[j + 1]) / dy2;
        }
    }
}

// The pressure source takes a central difference of lap q at the interior
// nodes next to the boundary, so it reads one node beyond the interior; there
// lap q is extrapolated as a constant from its inward neighbour, a
// first-order closure that keeps the source's stencil inside the grid.
void copy_laplacian_edges(int nx, int ny, float_grid& lap_q) {
    for (int i = 1; i <= nx - 2; ++i) {
        lap_q[i][0] = lap_q[i][1];
        lap_q[i][ny - 1] = lap_q[i][ny - 2];
    }
    for (int j = 1; j <= ny - 2; ++j) {
        lap_q[0][j] = lap_q[1][j];
        lap_q[nx - 1][j] = lap_q[nx - 2][j];
    }
}

}  // namespace

void velocity_laplacians(const flow_field& field, solver_workspace& workspace) {
    const int nx = field.nx;
    const int ny = field.ny;
    laplacian(nx, ny, field.dx, field.dy, field.u, workspace.lap_u);
    laplacian(nx, ny, field.dx, field.dy, field.v, workspace.lap_v);
    copy_laplacian_edges(nx, ny, workspace.lap_u);
    copy_laplacian_edges(nx, ny, workspace.lap_v);
}

}  // namespace veltaro
