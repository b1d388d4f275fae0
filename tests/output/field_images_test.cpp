// The result pictures as rendered in memory, on what a run cannot show or
// cannot show precisely: a NaN node, the obstacle over a streamline, and the sampling clamp of very
// wide and tall pictures. How a run's fields land on the pixels, the speed picture's interpolation
// of node speeds included, is in the byte-for-byte regression run.
#include "output/field_images.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>
#include <vector>


namespace veltaro {
namespace {

using rgb = std::array<int, 3>;
const rgb black{0, 0, 0}, green{0, 255, 0}, white{255, 255, 255};

// A field that grows by one per node along i, or along j.
float_grid ramp(int nx, int ny, bool along_i) {
    float_grid f(nx, ny);
    for (int i = 0; i < nx; ++i) {
        for (int j = 0; j < ny; ++j) f[i][j] = static_cast<float>(along_i ? i : j);
    }
    return f;
}

// The picture of values on masks (a picture without an obstacle, if
// empty) with marks; [r from the top][c].
std::vector<std::vector<rgb>> render(const float_grid& values, int width, int height,
                                     obstacle_masks masks = {}, streamline_marks marks = {}) {
    if (masks.picture.size() == 0) masks.picture = int_grid(width, height, open_pixel);
    if (marks.size() == 0) marks = streamline_marks(width, height, 0);
    std::vector<std::vector<rgb>> picture;
    render_field_image(values, masks, &marks, [&](std::span<const unsigned char> row) {
        picture.emplace_back();
        for (std::size_t at = 0; at < row.size(); at += 3) {
            picture.back().push_back({row[at], row[at + 1], row[at + 2]});
        }
    });
    return picture;
}

// One NaN node would otherwise stretch the scale of the whole picture.
TEST(RenderFieldImage, ANanNodeIsMidScaleAndTakesNoPartInTheScale) {
    // The top row holds 0 ... 3 of the scale 0 ... 4; its first node is NaN.
    float_grid values = ramp(5, 5, true);
    values[0][4] = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(render(values, 4, 4)[0],
              (std::vector<rgb>{green, {0, 0, 255}, green, {255, 255, 0}}));
}

// Mask rows count from the bottom; the obstacle wins over a streamline.
TEST(RenderFieldImage, ObstacleOverStreamlineOverScale) {
    obstacle_masks masks{{}, int_grid(4, 4, open_pixel)};
    streamline_marks marks(4, 4, 0);
    masks.picture[0][3] = obstacle_pixel;
    marks[0][3] = marks[1][0] = 1;
    const auto picture = render(ramp(5, 5, false), 4, 4, masks, marks);
    EXPECT_EQ(picture[0][0], black);
    EXPECT_EQ(picture[3][1], (rgb{255, 0, 0}));
    EXPECT_EQ(picture[0][1], white);
}

// Running sums of 2 / 20000 overshoot: the last pixels would sample one
// node past the end (a sanitizer build sees the stray read).
TEST(RenderFieldImage, VeryWideAndTallPicturesNeverSamplePastTheLastNode) {
    EXPECT_EQ(render(ramp(3, 2, true), 20000, 1)[0][19999], (rgb{255, 255, 254}));
    const auto tall = render(ramp(2, 3, false), 1, 20000);
    EXPECT_EQ(tall[0][0], white);
    EXPECT_EQ(tall[19999][0], black);
}

}  // namespace
}  // namespace veltaro
