// The colour scale's key points, the rounding between them, and the ends.
#include "output/get_color.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

namespace veltaro {
namespace {

TEST(GetColor, KeyPointsBlendsAndEnds) {
    using rgb = std::array<int, 3>;
    const float inf = std::numeric_limits<float>::infinity();
    // clang-format off
    const struct { float s; rgb colour; } rows[] = {
        {0.0f, {0, 0, 0}}, {0.25f, {0, 0, 255}}, {0.5f, {0, 255, 0}}, {0.75f, {255, 255, 0}},
        {1.0f, {255, 255, 255}},
        // Half-way between key points, rounded down.
        {0.125f, {0, 0, 127}}, {0.375f, {0, 127, 127}}, {0.625f, {127, 255, 0}},
        {0.875f, {255, 255, 127}},
        // A hair from a key point the changing channel is already 254.
        {std::nextafter(0.25f, 0.0f), {0, 0, 254}}, {std::nextafter(0.25f, 1.0f), {0, 0, 254}},
        {std::nextafter(0.75f, 0.0f), {254, 255, 0}}, {std::nextafter(1.0f, 0.0f), {255, 255, 254}},
        // Off the scale: the nearer end, and black for NaN.
        {-0.5f, {0, 0, 0}}, {1.5f, {255, 255, 255}}, {inf, {255, 255, 255}},
        {std::numeric_limits<float>::quiet_NaN(), {0, 0, 0}},
    };
    // clang-format on
    for (const auto& row : rows) {
        rgb colour{-1, -1, -1};
        get_color(row.s, colour[0], colour[1], colour[2]);
        EXPECT_EQ(colour, row.colour) << "s = " << row.s;
    }
}

}  // namespace
}  // namespace veltaro
