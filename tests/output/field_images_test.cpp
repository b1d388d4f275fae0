// Tracing a streamline on hand-made velocity fields: every way a line
// ends. The lines of a run are in the regression run's speed picture.
// The colour scale's key points, the rounding between them, and the ends.
// The result pictures as rendered in memory, on what a run cannot show or
// cannot show precisely: a NaN node, the obstacle over a streamline, and the sampling clamp of very
// wide and tall pictures. How a run's fields land on the pixels, the speed picture's interpolation
// of node speeds included, is in the byte-for-byte regression run.
#include "output/field_images.h"
#include "output/get_color.h"
#include "output/streamlines.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace veltaro {
namespace {

// A 2 x 2 m tunnel on 3 x 3 nodes; steps of a hundredth of a node spacing
// at the inlet velocity; marks on 10 x 10 pixels.
TEST(TraceStreamline, EndsAtTheCounterTheOutletTheWallOrABadVelocity) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // clang-format off
    // u grows by shear per node row; the passes are given or taken 1.
    const struct { const char* name; float u, shear, v, inlet_velocity; std::int64_t passes; }
        rows[] = {
        {"still fluid stays put until the counter ends it", 0, 0, 0, 1, 6002},
        // 1.25 m/s at y = 0.5 m: steps of 0.0125 m to the outlet.
        {"a line in shear flow leaves through the outlet", 1, 0.5f, 0, 1, 161},
        {"a velocity that is not finite ends it at once", nan, 0, nan, 1, 1},
        // The step is infinite, and still fluid moves by 0 times infinity.
        {"a zero inlet velocity ends it at once", 0, 0, 0, 0, 1},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const run_parameters params{
            .inlet_velocity = row.inlet_velocity, .length = 2.0f, .height = 2.0f};
        float_grid u(3, 3);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) u[i][j] = row.u + row.shear * static_cast<float>(j);
        streamline_marks marks(10, 10, 0);
        const streamline_end end = trace_streamline(make_streamline_tracer(3, 3, params), u,
                                                    float_grid(3, 3, row.v), marks, 0.5f);
        EXPECT_NEAR(end.passes, row.passes, 1);
        EXPECT_EQ(marks[0][2], 1);  // floor(9 * 0.5 / 2)
    }
}


using rgb = std::array<int, 3>;
const rgb black{0, 0, 0}, green{0, 255, 0}, white{255, 255, 255};

TEST(GetColor, KeyPointsBlendsAndEnds) {
    const float inf = std::numeric_limits<float>::infinity();
    // clang-format off
    const struct { float s; rgb colour; } rows[] = {
        {0.0f, black}, {0.25f, {0, 0, 255}}, {0.5f, green}, {0.75f, {255, 255, 0}}, {1.0f, white},
        // Half-way between key points, rounded down.
        {0.125f, {0, 0, 127}}, {0.375f, {0, 127, 127}}, {0.625f, {127, 255, 0}},
        {0.875f, {255, 255, 127}},
        // A hair from a key point the changing channel is already 254.
        {std::nextafter(0.25f, 0.0f), {0, 0, 254}}, {std::nextafter(0.25f, 1.0f), {0, 0, 254}},
        {std::nextafter(0.75f, 0.0f), {254, 255, 0}}, {std::nextafter(1.0f, 0.0f), {255, 255, 254}},
        // Off the scale: the nearer end, and black for NaN.
        {-0.5f, black}, {1.5f, white}, {inf, white}, {std::nanf(""), black},
    };
    // clang-format on
    for (const auto& row : rows) {
        rgb colour{-1, -1, -1};
        get_color(row.s, colour[0], colour[1], colour[2]);
        EXPECT_EQ(colour, row.colour) << "s = " << row.s;
    }
}

// A field that grows by one per node along i, or along j.
float_grid ramp(int nx, int ny, bool along_i) {
    float_grid f(nx, ny);
    for (int i = 0; i < nx; ++i)
        for (int j = 0; j < ny; ++j) f[i][j] = static_cast<float>(along_i ? i : j);
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
        for (std::size_t at = 0; at < row.size(); at += 3)
            picture.back().push_back({row[at], row[at + 1], row[at + 2]});
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
