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
    for (int c = 0; c < width; ++c)
        for (int r = 0; r < height; ++r)
            if (inside((c + 0.5) * length / width, (r + 0.5) * height_m / height))
                mask[c][r] = obstacle_pixel;
    return mask;
}

// A thin ellipse 1 m long and 0.12 m thick, like an airfoil, centred at
// (1.5, 1) with its long axis `degrees` above the x axis.
std::function<bool(double, double)> thin_ellipse(double degrees) {
    const double angle = degrees * pi / 180.0;
    return [=](double x, double y) {
        const double along = (x - 1.5) * std::cos(angle) + (y - 1.0) * std::sin(angle);
        const double across = (y - 1.0) * std::cos(angle) - (x - 1.5) * std::sin(angle);
        return std::hypot(along / 0.5, across / 0.06) <= 1.0;
    };
}

// The expected chord in m, within a relative tolerance.
// clang-format off
struct chord_case {
    const char* name; int width, height; double length, height_m;
    std::function<bool(double, double)> inside; double expected, tolerance;
};
// clang-format on

TEST(ObstacleChord, IsTheLongestExtentOfTheShape) {
    // A box about (1, 1), a along and b across from its centre.
    const auto box = [](double a, double b) {
        return [=](double x, double y) { return std::abs(x - 1) < a && std::abs(y - 1) < b; };
    };
    const chord_case cases[] = {
        {"thin ellipse at 0 degrees", 1600, 800, 4, 2, thin_ellipse(0.0), 1.0, 0.01},
        {"thin ellipse at 8 degrees", 1600, 800, 4, 2, thin_ellipse(8.0), 1.0, 0.01},
        {"thin ellipse at 20 degrees", 1600, 800, 4, 2, thin_ellipse(20.0), 1.0, 0.01},
        {"square: its diagonal", 400, 200, 4, 2, box(0.2, 0.2), std::sqrt(2.0) * 0.4, 1e-9},
        // 400 x 400 pixels over 4 m x 2 m: a pixel is 1 cm by 0.5 cm, so the
        // 40 x 40 pixel square is 0.4 m x 0.2 m in the tunnel.
        {"stretched square", 400, 400, 4, 2, box(0.2, 0.1), std::hypot(0.4, 0.2), 1e-9},
        {"one pixel: its diagonal", 4, 2, 4, 2, [](double x, double y) { return x < 1 && y < 1; },
         std::sqrt(2.0), 1e-12},
        {"no obstacle", 10, 10, 1, 1, [](double, double) { return false; }, 0.0, 0.0},
    };
    for (const chord_case& row : cases) {
        const auto mask = draw_mask(row.width, row.height, row.length, row.height_m, row.inside);
        EXPECT_NEAR(obstacle_chord(mask, row.length, row.height_m), row.expected,
                    row.tolerance * row.expected + 1e-12) << row.name;
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
