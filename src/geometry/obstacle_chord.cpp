#include "geometry/obstacle_chord.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "geometry/obstacle_masks.h"

namespace veltaro {
namespace {

// A pixel corner, in pixel units: column edge c, row edge r.
struct corner {
    std::int64_t c = 0;
    std::int64_t r = 0;
    bool operator<(const corner& other) const { return c != other.c ? c < other.c : r < other.r; }
    bool operator==(const corner&) const = default;
};

// > 0 when o -> a -> b turns left. A picture side is at most 50,000,000
// pixels, so every product stays far inside 64 bits.
std::int64_t turn(const corner& o, const corner& a, const corner& b) {
    return (a.c - o.c) * (b.r - o.r) - (a.r - o.r) * (b.c - o.c);
}

// The corners of the lowest and highest dark pixel of every column: every
// other corner lies between two of these, so they have the same hull.
std::vector<corner> extreme_corners(const int_grid& picture) {
    std::vector<corner> corners;
    for (int c = 0; c < picture.nx(); ++c) {
        const int* column = picture[c];
        int low = -1;
        int high = -1;
        for (int r = 0; r < picture.ny(); ++r) {
            if (column[r] != obstacle_pixel) continue;
            if (low < 0) low = r;
            high = r;
        }
        if (low < 0) continue;
        for (const std::int64_t edge : {c, c + 1}) {
            corners.push_back({edge, low});
            corners.push_back({edge, high + 1});
        }
    }
    return corners;
}

// Andrew's monotone chain: the hull's vertices, anticlockwise.
std::vector<corner> convex_hull(std::vector<corner> points) {
    std::sort(points.begin(), points.end());
    points.erase(std::unique(points.begin(), points.end()), points.end());
    if (points.size() < 3) return points;
    std::vector<corner> hull(2 * points.size());
    std::size_t k = 0;
    for (const corner& p : points) {  // lower hull
        while (k >= 2 && turn(hull[k - 2], hull[k - 1], p) <= 0) --k;
        hull[k++] = p;
    }
    const std::size_t lower = k + 1;
    for (auto p = points.rbegin() + 1; p != points.rend(); ++p) {  // upper hull
        while (k >= lower && turn(hull[k - 2], hull[k - 1], *p) <= 0) --k;
        hull[k++] = *p;
    }
    hull.resize(k - 1);
    return hull;
}

}  // namespace

double obstacle_chord(const int_grid& picture, double length, double height) {
    const std::vector<corner> hull = convex_hull(extreme_corners(picture));
    const double metres_per_column = length / picture.nx();
    const double metres_per_row = height / picture.ny();
    // A lattice polygon in a W x H box has O((W H)^(1/3)) vertices: a few
    // thousand at most, so every pair is quick.
    double longest = 0.0;
    for (std::size_t a = 0; a < hull.size(); ++a) {
        for (std::size_t b = a + 1; b < hull.size(); ++b) {
            const double along = static_cast<double>(hull[a].c - hull[b].c) * metres_per_column;
            const double across = static_cast<double>(hull[a].r - hull[b].r) * metres_per_row;
            longest = std::max(longest, std::hypot(along, across));
        }
    }
    return longest;
}

}  // namespace veltaro
