#include "solver/laplacian.h"

namespace veltaro {

void laplacian(int nx, int ny, float dx, float dy, const float_grid& q, float_grid& lap_q) {
    const float dx2 = dx * dx;
    const float dy2 = dy * dy;
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

void velocity_laplacians(int nx, int ny, float dx, float dy, const float_grid& u,
                         const float_grid& v, float_grid& lap_u, float_grid& lap_v) {
    laplacian(nx, ny, dx, dy, u, lap_u);
    laplacian(nx, ny, dx, dy, v, lap_v);
    copy_laplacian_edges(nx, ny, lap_u);
    copy_laplacian_edges(nx, ny, lap_v);
}

}  // namespace veltaro
