#include "geometry/ghost_node_rule.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>

#include "geometry/obstacle_masks.h"
#include "geometry/signed_distance.h"

namespace veltaro {

namespace {

// The nodes pixel p stands for along one axis: those that lie on it, pixel p
// covering [p, p + 1] pixels and node n lying at n pixels / (nodes - 1),
// else the one nearest to its centre (both at a tie), so that mirror images
// agree.
std::pair<int, int> pixel_nodes(int p, int pixels, int nodes) {
    if (nodes < 2) return {0, 0};
    const std::int64_t span = nodes - 1;
    const auto first = static_cast<int>((std::int64_t{p} * span + pixels - 1) / pixels);
    const auto last = static_cast<int>((std::int64_t{p + 1} * span) / pixels);
    if (first <= last) return {first, last};
    const std::int64_t num = (2 * std::int64_t{p} + 1) * span;  // the centre, over 2 pixels
    const std::int64_t den = 2 * std::int64_t{pixels};
    const auto low = static_cast<int>(num / den);
    const std::int64_t rest = num - low * den;
    if (2 * rest < den) return {low, low};
    if (2 * rest > den) return {low + 1, low + 1};
    return {low, low + 1};
}

bool has_solid_near(const int_grid& solid, int i, int j, int reach_i, int reach_j) {
    for (int a = std::max(i - reach_i, 0); a <= std::min(i + reach_i, solid.nx() - 1); ++a) {
        for (int b = std::max(j - reach_j, 0); b <= std::min(j + reach_j, solid.ny() - 1); ++b) {
            if (solid[a][b] != 0) return true;
        }
    }
    return false;
}

// Node spacings per pixel, rounded up, and at least 1: how far a node a
// dark pixel stands for may lie from the solid nodes of a region that kept
// them.
int reach(int pixels, int nodes) {
    return std::max(1, static_cast<int>((std::int64_t{nodes} - 1 + pixels - 1) / pixels));
}

// The nodes of dark pixels that lost every solid node nearby to the
// smoothing.
int_grid thin_region_nodes(const int_grid& picture, const int_grid& solid) {
    int_grid kept(solid.nx(), solid.ny(), 0);
    const int reach_i = reach(picture.nx(), solid.nx());
    const int reach_j = reach(picture.ny(), solid.ny());
    for (int c = 0; c < picture.nx(); ++c) {
        const auto [first_i, last_i] = pixel_nodes(c, picture.nx(), solid.nx());
        for (int k = 0; k < picture.ny(); ++k) {
            if (picture[c][k] == open_pixel) continue;
            const auto [first_j, last_j] = pixel_nodes(k, picture.ny(), solid.ny());
            for (int i = first_i; i <= last_i; ++i) {
                for (int j = first_j; j <= last_j; ++j) {
                    if (!has_solid_near(solid, i, j, reach_i, reach_j)) kept[i][j] = 1;
                }
            }
        }
    }
    return kept;
}

bool is_ghost(const int_grid& solid, int i, int j) {
    const int nx = solid.nx();
    const int ny = solid.ny();
    if (solid[i][j] == 0 || i == 0 || j == 0 || i == nx - 1 || j == ny - 1) return false;
    return solid[i - 1][j] == 0 || solid[i + 1][j] == 0 || solid[i][j - 1] == 0 ||
           solid[i][j + 1] == 0;
}

// d phi / d(node spacing) at (i, j) along one axis: central, one-sided at
// the grid's edges.
double slope(const float_grid& phi, int i, int j, int di, int dj) {
    const int nx = phi.nx();
    const int ny = phi.ny();
    const int i0 = std::max(i - di, 0);
    const int j0 = std::max(j - dj, 0);
    const int i1 = std::min(i + di, nx - 1);
    const int j1 = std::min(j + dj, ny - 1);
    const int steps = (i1 - i0) + (j1 - j0);
    return steps == 0 ? 0.0 : (double(phi[i1][j1]) - phi[i0][j0]) / steps;
}

struct image_point {
    ghost_node ghost;
    double phi = 0.0;
    bool reads_solid = false;
};

// The four nodes around (x, y) with their bilinear weights; empty when the
// point is off the grid.
std::optional<image_point> locate(const float_grid& phi, const int_grid& solid, double x,
                                  double y) {
    const int nx = phi.nx();
    const int ny = phi.ny();
    if (!(x >= 0.0 && y >= 0.0 && x <= nx - 1 && y <= ny - 1)) return std::nullopt;
    const int i = std::min(static_cast<int>(x), nx - 2);
    const int j = std::min(static_cast<int>(y), ny - 2);
    const double fx = x - i;
    const double fy = y - j;
    image_point point;
    const std::array<std::array<int, 2>, 4> corners{{{i, j}, {i + 1, j}, {i, j + 1}, {i + 1, j + 1}}};
    const std::array<double, 4> weights{(1 - fx) * (1 - fy), fx * (1 - fy), (1 - fx) * fy, fx * fy};
    for (std::size_t k = 0; k < 4; ++k) {
        const auto [a, b] = corners[k];
        point.ghost.around[k] = static_cast<std::size_t>(a) * ny + b;
        point.ghost.weight[k] = weights[k];
        point.phi += weights[k] * phi[a][b];
        point.reads_solid = point.reads_solid || solid[a][b] != 0;
    }
    return point;
}

// The image point of ghost (i, j): the nearest of the widening distances
// whose four nodes are all fluid, else the farthest that stays on the grid.
std::optional<image_point> find_image_point(const float_grid& phi, const int_grid& solid, int i,
                                            int j) {
    const double gx = slope(phi, i, j, 1, 0);
    const double gy = slope(phi, i, j, 0, 1);
    const double norm = std::hypot(gx, gy);
    if (!(norm > 1e-6)) return std::nullopt;
    const double to_outline = std::fabs(phi[i][j]) / norm;
    std::optional<image_point> found;
    for (double h : {1.0, 1.5, 2.0, 3.0}) {
        const double reach = to_outline + h;
        std::optional<image_point> point = locate(phi, solid, i + gx / norm * reach, j + gy / norm * reach);
        if (!point) break;
        found = point;
        if (!point->reads_solid) break;
    }
    return found;
}

}  // namespace

ghost_nodes make_ghost_nodes(const float_grid& phi, const int_grid& solid) {
    ghost_nodes ghosts;
    bool chained = false;
    for (int i = 0; i < solid.nx(); ++i) {
        for (int j = 0; j < solid.ny(); ++j) {
            if (!is_ghost(solid, i, j) || !(phi[i][j] <= 0.0f)) continue;
            std::optional<image_point> point = find_image_point(phi, solid, i, j);
            if (!point || !(point->phi > 0.0)) continue;
            // -|phi(G)| / phi(I), never steeper than a mirror image.
            point->ghost.factor = std::max(-1.0, double(phi[i][j]) / point->phi);
            point->ghost.node = static_cast<std::size_t>(i) * solid.ny() + j;
            chained = chained || point->reads_solid;
            ghosts.nodes.push_back(point->ghost);
        }
    }
    // A few passes let ghosts that read each other settle.
    ghosts.sweeps = chained ? 3 : 1;
    return ghosts;
}

ghost_rule_masks ghost_node_rule(const int_grid& picture, int nx, int ny) {
    ghost_rule_masks masks;
    float_grid phi;
    {
        const float_grid phi_pixels = signed_distance(picture);
        phi = distance_at_nodes(phi_pixels, nx, ny);
    }
    masks.solid_nodes = int_grid(nx, ny, 0);
    for (int i = 0; i < nx; ++i) {
        for (int j = 0; j < ny; ++j) masks.solid_nodes[i][j] = phi[i][j] <= 0.0f ? 1 : 0;
    }
    const int_grid thin = thin_region_nodes(picture, masks.solid_nodes);
    for (std::size_t k = 0; k < thin.size(); ++k) {
        if (thin.data()[k] != 0) masks.solid_nodes.data()[k] = 1;
    }
    masks.ghosts = make_ghost_nodes(phi, masks.solid_nodes);
    return masks;
}

}  // namespace veltaro
