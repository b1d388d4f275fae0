// The chord: the longest extent of the obstacle's pixels, in metres, on
// shapes whose longest extent is known in closed form.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "geometry/obstacle_chord.h"
#include "geometry/obstacle_masks.h"

namespace veltaro::test {
namespace {

constexpr double pi = 3.14159265358979323846;

// A picture mask of width x height pixels over length x height_m metres,
// solid where inside(x, y) holds at the pixel's centre (in metres).
int_grid draw_mask(int width, int height, double length, double height_m,
                   const std::function<bool(double, double)>& inside) {
    int_grid mask(width, height, open_pixel);
    for (int c = 0; c < width; ++c) {
        for (int r = 0; r < height; ++r) {
            const double x = (c + 0.5) * length / width;
            const double y = (r + 0.5) * height_m / height;
            if (inside(x, y)) mask[c][r] = obstacle_pixel;
        }
    }
    return mask;
}

// NACA 0012 of chord `chord` with its nose at (1, 1), at `degrees` nose up.
std::function<bool(double, double)> naca0012(double chord, double degrees) {
    return [=](double x, double y) {
        const double angle = degrees * pi / 180.0;
        const double dx = x - 1.0;
        const double dy = y - 1.0;
        const double along = (dx * std::cos(angle) - dy * std::sin(angle)) / chord;
        const double across = (dx * std::sin(angle) + dy * std::cos(angle)) / chord;
        if (along < 0.0 || along > 1.0) return false;
        const double t = along;
        const double half = 5 * 0.12 *
                            (0.2969 * std::sqrt(t) - 0.1260 * t - 0.3516 * t * t +
                             0.2843 * t * t * t - 0.1036 * t * t * t * t);
        return std::abs(across) <= half;
    };
}

struct chord_case {
    const char* name;
    int width, height;
    double length, height_m;
    std::function<bool(double, double)> inside;
    double expected;   // m
    double tolerance;  // relative
};

TEST(ObstacleChord, IsTheLongestExtentOfTheShape) {
    const double diagonal = std::sqrt(2.0) * 0.4;
    const chord_case cases[] = {
        {"airfoil at 0 degrees", 1600, 800, 4, 2, naca0012(1.0, 0.0), 1.0, 0.01},
        {"airfoil at 8 degrees", 1600, 800, 4, 2, naca0012(1.0, 8.0), 1.0, 0.01},
        {"airfoil at 20 degrees", 1600, 800, 4, 2, naca0012(1.0, 20.0), 1.0, 0.01},
        {"square: its diagonal", 400, 200, 4, 2,
         [](double x, double y) { return std::abs(x - 1) < 0.2 && std::abs(y - 1) < 0.2; },
         diagonal, 1e-9},
        // 400 x 400 pixels over 4 m x 2 m: a pixel is 1 cm by 0.5 cm, so the
        // 40 x 40 pixel square is 0.4 m x 0.2 m in the tunnel.
        {"stretched square", 400, 400, 4, 2,
         [](double x, double y) { return std::abs(x - 1) < 0.2 && std::abs(y - 1) < 0.1; },
         std::hypot(0.4, 0.2), 1e-9},
        {"one pixel: its diagonal", 4, 2, 4, 2, [](double x, double y) { return x < 1 && y < 1; },
         std::sqrt(2.0), 1e-12},
        {"no obstacle", 10, 10, 1, 1, [](double, double) { return false; }, 0.0, 0.0},
    };
    for (const chord_case& row : cases) {
        const int_grid mask =
            draw_mask(row.width, row.height, row.length, row.height_m, row.inside);
        const double chord = obstacle_chord(mask, row.length, row.height_m);
        EXPECT_NEAR(chord, row.expected, row.tolerance * row.expected + 1e-12) << row.name;
    }
}

// A solid picture of the largest size a run accepts in one dimension is
// measured at once: the search is over the hull, not the pixels.
TEST(ObstacleChord, LongThinPictureIsQuick) {
    const int_grid mask(20000, 3, obstacle_pixel);
    EXPECT_NEAR(obstacle_chord(mask, 20000, 3), std::hypot(20000.0, 3.0), 1e-6);
}

}  // namespace
}  // namespace veltaro::test
