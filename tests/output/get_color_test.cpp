#include "output/get_color.h"

#include <array>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace veltaro {
namespace {

std::array<int, 3> color_of(float s) {
    std::array<int, 3> rgb{-1, -1, -1};
    get_color(s, rgb[0], rgb[1], rgb[2]);
    return rgb;
}

using rgb = std::array<int, 3>;

TEST(GetColor, KeyPointsGiveTheKeyColours) {
    EXPECT_EQ(color_of(0.0f), (rgb{0, 0, 0}));
    EXPECT_EQ(color_of(0.25f), (rgb{0, 0, 255}));
    EXPECT_EQ(color_of(0.5f), (rgb{0, 255, 0}));
    EXPECT_EQ(color_of(0.75f), (rgb{255, 255, 0}));
    EXPECT_EQ(color_of(1.0f), (rgb{255, 255, 255}));
}

TEST(GetColor, MidpointsRoundDown) {
    EXPECT_EQ(color_of(0.125f), (rgb{0, 0, 127}));
    EXPECT_EQ(color_of(0.375f), (rgb{0, 127, 127}));
    EXPECT_EQ(color_of(0.625f), (rgb{127, 255, 0}));
    EXPECT_EQ(color_of(0.875f), (rgb{255, 255, 127}));
}

TEST(GetColor, JustBelowAKeyPointTheRisingChannelIs254) {
    EXPECT_EQ(color_of(std::nextafter(0.25f, 0.0f)), (rgb{0, 0, 254}));
    EXPECT_EQ(color_of(std::nextafter(0.75f, 0.0f)), (rgb{254, 255, 0}));
    EXPECT_EQ(color_of(std::nextafter(1.0f, 0.0f)), (rgb{255, 255, 254}));
}

TEST(GetColor, JustAboveAKeyPointTheFallingChannelIs254) {
    // Blue starts to fall: 255 - 255 f with a tiny f floors to 254.
    EXPECT_EQ(color_of(std::nextafter(0.25f, 1.0f)), (rgb{0, 0, 254}));
}

TEST(GetColor, ValuesOutsideTheScaleGetTheNearerEnd) {
    EXPECT_EQ(color_of(-0.5f), (rgb{0, 0, 0}));
    EXPECT_EQ(color_of(1.5f), (rgb{255, 255, 255}));
    EXPECT_EQ(color_of(std::numeric_limits<float>::infinity()), (rgb{255, 255, 255}));
    EXPECT_EQ(color_of(std::numeric_limits<float>::quiet_NaN()), (rgb{0, 0, 0}));
}

}  // namespace
}  // namespace veltaro
