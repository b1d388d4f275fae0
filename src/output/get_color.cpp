#include "output/get_color.h"

#include <cmath>

namespace veltaro {
namespace {

constexpr int segments = 4;
// Key colours at s = k / 4: black, blue, green, yellow, white.
constexpr int red_levels[segments + 1] = {0, 0, 0, 255, 255};
constexpr int green_levels[segments + 1] = {0, 0, 255, 255, 255};
constexpr int blue_levels[segments + 1] = {0, 255, 0, 0, 255};

int blend(const int (&levels)[segments + 1], int k, float f) {
    if (k == segments) return levels[segments];
    const double level = levels[k] - static_cast<double>(levels[k] - levels[k + 1]) * f;
    return static_cast<int>(std::floor(level));
}

}  // namespace

void get_color(float s, int& red, int& green, int& blue) {
    // Both exact: 4 s is a power-of-two multiple of a float, and its
    // fractional part fits a float again.
    const double t = 4.0 * s;
    int k = 0;
    float f = 0.0f;
    if (t >= segments) {
        k = segments;
    } else if (t > 0.0) {
        k = static_cast<int>(std::floor(t));
        f = static_cast<float>(t - k);
    }
    red = blend(red_levels, k, f);
    green = blend(green_levels, k, f);
    blue = blend(blue_levels, k, f);
}

}  // namespace veltaro
