#include "output/field_images.h"
#include "output/open_picture.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/run_error.h"
#include "output/decode_jpeg.h"
#include "support/scratch_dir.h"

namespace veltaro {
namespace {

using rgb = std::array<int, 3>;
constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float infinity = std::numeric_limits<float>::infinity();

using test::open_picture;

// A field that grows by one per node along i (or along j).
float_grid ramp_along_i(int nx, int ny) {
    float_grid f(nx, ny);
    for (int i = 0; i < nx; ++i) {
        for (int j = 0; j < ny; ++j) f[i][j] = static_cast<float>(i);
    }
    return f;
}

float_grid ramp_along_j(int nx, int ny) {
    float_grid f(nx, ny);
    for (int i = 0; i < nx; ++i) {
        for (int j = 0; j < ny; ++j) f[i][j] = static_cast<float>(j);
    }
    return f;
}

// The picture rendered in memory, exactly as it goes to the encoder.
struct rendered {
    int width = 0;
    std::vector<std::vector<unsigned char>> rows;
    [[nodiscard]] rgb at(int c, int r) const {
        const auto& row = rows[static_cast<std::size_t>(r)];
        const auto at = 3 * static_cast<std::size_t>(c);
        return {row[at], row[at + 1], row[at + 2]};
    }
};

rendered render(int nx, int ny, const float_grid& values, const obstacle_masks& masks,
                image_overlay overlay = image_overlay::obstacle) {
    rendered picture;
    picture.width = masks.image_width;
    render_field_image(nx, ny, values, masks, overlay,
                       [&picture](std::span<const unsigned char> row) {
                           picture.rows.emplace_back(row.begin(), row.end());
                       });
    return picture;
}

const rgb black{0, 0, 0};
const rgb blue{0, 0, 255};
const rgb green{0, 255, 0};
const rgb yellow{255, 255, 0};
const rgb white{255, 255, 255};
const rgb red{255, 0, 0};

TEST(FindScale, SpansEveryNode) {
    float_grid f(2, 3, 1.0f);
    f[1][2] = -4.0f;
    f[0][1] = 7.5f;
    const field_scale scale = find_scale(2, 3, f);
    EXPECT_EQ(scale.min, -4.0f);
    EXPECT_EQ(scale.max, 7.5f);
}

TEST(FindScale, IgnoresValuesThatAreNotFinite) {
    float_grid f(2, 2, 2.0f);
    f[0][0] = nan;
    f[1][0] = infinity;
    f[1][1] = 3.0f;
    const field_scale scale = find_scale(2, 2, f);
    EXPECT_EQ(scale.min, 2.0f);
    EXPECT_EQ(scale.max, 3.0f);
}

TEST(ScalePosition, RunsFromMinToMaxAndClamps) {
    const field_scale scale{-1.0f, 3.0f};
    EXPECT_EQ(scale_position(-1.0f, scale), 0.0f);
    EXPECT_EQ(scale_position(1.0f, scale), 0.5f);
    EXPECT_EQ(scale_position(3.0f, scale), 1.0f);
    EXPECT_EQ(scale_position(3.5f, scale), 1.0f);
    EXPECT_EQ(scale_position(-2.0f, scale), 0.0f);
    EXPECT_EQ(scale_position(infinity, scale), 1.0f);
}

TEST(ScalePosition, AConstantFieldAndNaNTakeTheMiddle) {
    EXPECT_EQ(scale_position(2.0f, field_scale{2.0f, 2.0f}), 0.5f);
    EXPECT_EQ(scale_position(nan, field_scale{0.0f, 1.0f}), 0.5f);
}

TEST(ScalePosition, AScaleSpanningMostOfTheFloatRangeDoesNotOverflow) {
    const float big = std::numeric_limits<float>::max();
    EXPECT_EQ(scale_position(0.0f, field_scale{-big, big}), 0.5f);
}

TEST(RenderFieldImage, ColumnZeroIsTheInletAndTheLastColumnStopsAStepShortOfTheOutlet) {
    // 5 nodes over 4 pixels: one node per pixel, values 0 ... 3 of 0 ... 4.
    const rendered picture = render(5, 5, ramp_along_i(5, 5), open_picture(4, 4));
    ASSERT_EQ(picture.rows.size(), 4u);
    for (int r = 0; r < 4; ++r) {
        EXPECT_EQ(picture.at(0, r), black);
        EXPECT_EQ(picture.at(1, r), blue);
        EXPECT_EQ(picture.at(2, r), green);
        EXPECT_EQ(picture.at(3, r), yellow);
    }
}

TEST(RenderFieldImage, TheTopRowIsTheTopWall) {
    const rendered picture = render(5, 5, ramp_along_j(5, 5), open_picture(4, 4));
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(picture.at(c, 0), white);
        EXPECT_EQ(picture.at(c, 1), yellow);
        EXPECT_EQ(picture.at(c, 2), green);
        EXPECT_EQ(picture.at(c, 3), blue);
    }
}

TEST(RenderFieldImage, PixelsBetweenNodesAreInterpolated) {
    // Two pixels per node: values 0, 0.5, ... 3.5 of 0 ... 4.
    const rendered picture = render(5, 2, ramp_along_i(5, 2), open_picture(8, 1));
    const std::vector<rgb> expected = {black, {0, 0, 127},   blue,   {0, 127, 127},
                                       green, {127, 255, 0}, yellow, {255, 255, 127}};
    for (int c = 0; c < 8; ++c)
        EXPECT_EQ(picture.at(c, 0), expected[static_cast<std::size_t>(c)]) << c;
}

TEST(RenderFieldImage, TheMaskIsReadFromTheBottomSoThePictureIsNotMirrored) {
    obstacle_masks masks = open_picture(4, 4);
    masks.picture[0][3] = obstacle_pixel;    // top left
    masks.picture[1][0] = streamline_pixel;  // bottom, second column
    const float_grid f = ramp_along_j(5, 5);
    const rendered plain = render(5, 5, f, masks, image_overlay::obstacle);
    EXPECT_EQ(plain.at(0, 0), black);
    EXPECT_EQ(plain.at(1, 0), white);
    EXPECT_EQ(plain.at(0, 3), blue);
    EXPECT_EQ(plain.at(1, 3), blue);  // streamline marks are not drawn here
    const rendered speed = render(5, 5, f, masks, image_overlay::obstacle_and_streamlines);
    EXPECT_EQ(speed.at(0, 0), black);
    EXPECT_EQ(speed.at(1, 3), red);
    EXPECT_EQ(speed.at(0, 3), blue);
}

TEST(RenderFieldImage, AConstantFieldIsMidScaleEverywhere) {
    const rendered picture = render(3, 3, float_grid(3, 3, 42.0f), open_picture(5, 3));
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 5; ++c) EXPECT_EQ(picture.at(c, r), green);
    }
}

TEST(RenderFieldImage, AnEmptyGridIsMidScaleAndStillShowsTheObstacle) {
    obstacle_masks masks = open_picture(2, 2);
    masks.picture[1][1] = obstacle_pixel;
    const rendered picture = render(0, 0, float_grid(), masks);
    EXPECT_EQ(picture.at(0, 0), green);
    EXPECT_EQ(picture.at(1, 0), black);
    EXPECT_EQ(picture.at(1, 1), green);
}

TEST(RenderFieldImage, NaNNodesAreMidScaleAndDoNotSpoilTheScale) {
    float_grid f = ramp_along_i(5, 5);
    f[0][4] = nan;  // top row, inlet
    const rendered picture = render(5, 5, f, open_picture(4, 4));
    EXPECT_EQ(picture.at(0, 0), green);
    EXPECT_EQ(picture.at(2, 0), green);   // 2 of 0 ... 4
    EXPECT_EQ(picture.at(3, 0), yellow);  // 3 of 0 ... 4
}

TEST(RenderFieldImage, VeryLargePicturesNeverSamplePastTheLastNode) {
    // 20000 running-sum steps of 2/20000 overshoot: the last two pixels of a
    // row (and the last two rows) would land on the last node and interpolate
    // towards one past it. A sanitizer build catches the stray read; here the
    // ends must still sit at the top (or bottom) of the scale.
    const rendered wide = render(3, 2, ramp_along_i(3, 2), open_picture(20000, 1));
    const rgb last = wide.at(19999, 0);
    EXPECT_EQ(last[0], 255);
    EXPECT_EQ(last[1], 255);
    EXPECT_GE(last[2], 250);
    const rendered tall = render(2, 3, ramp_along_j(2, 3), open_picture(1, 20000));
    EXPECT_EQ(tall.at(0, 0), white);
    EXPECT_EQ(tall.at(0, 19999), black);
}

TEST(RenderFieldImage, AMaskOfTheWrongSizeIsRefused) {
    obstacle_masks masks = open_picture(4, 4);
    masks.image_width = 5;
    EXPECT_THROW(render(3, 3, float_grid(3, 3), masks), run_error);
    EXPECT_THROW(render(3, 3, float_grid(2, 3), open_picture(4, 4)), run_error);
}

// ---- the JPEG files ----

bool near(const rgb& actual, const rgb& expected) {
    for (std::size_t n = 0; n < 3; ++n) {
        if (std::abs(actual[n] - expected[n]) > 6) return false;
    }
    return true;
}

// A 32 by 32 picture in four 16 by 16 quarters, each one flat, so the
// encoder's loss stays small: obstacle top left, streamline marks bottom
// right, open fluid in the other two.
obstacle_masks quartered_picture() {
    obstacle_masks masks = open_picture(32, 32);
    for (int c = 0; c < 16; ++c) {
        for (int row_from_bottom = 16; row_from_bottom < 32; ++row_from_bottom) {
            masks.picture[c][row_from_bottom] = obstacle_pixel;
        }
    }
    for (int c = 16; c < 32; ++c) {
        for (int row_from_bottom = 0; row_from_bottom < 16; ++row_from_bottom) {
            masks.picture[c][row_from_bottom] = streamline_pixel;
        }
    }
    return masks;
}

struct constant_flow {
    float_grid p = float_grid(5, 5, 7.0f);
    float_grid u = float_grid(5, 5, 3.0f);
    float_grid v = float_grid(5, 5, 4.0f);
};

TEST(OutputImages, AllFourAreThePicturesSizeWithTheObstacleBlack) {
    test::scratch_dir dir;
    const obstacle_masks masks = quartered_picture();
    const constant_flow flow;
    output_image_U(5, 5, flow.p, flow.u, flow.v, masks);
    output_image_V(5, 5, flow.p, flow.u, flow.v, masks);
    output_image_P(5, 5, flow.p, flow.u, flow.v, masks);
    output_image_UV(5, 5, flow.p, flow.u, flow.v, masks);
    EXPECT_EQ(test::directory_entries(),
              (std::set<std::string>{"U.jpg", "V.jpg", "pressure.jpg", "velocity.jpg"}));
    for (const char* name : {"U.jpg", "V.jpg", "pressure.jpg", "velocity.jpg"}) {
        SCOPED_TRACE(name);
        const test::decoded_picture picture = test::decode_jpeg(name);
        ASSERT_EQ(picture.width, 32);
        ASSERT_EQ(picture.height, 32);
        ASSERT_EQ(picture.components, 3);
        EXPECT_TRUE(near(picture.rgb(8, 8), black));
        EXPECT_TRUE(near(picture.rgb(24, 8), green));
        EXPECT_TRUE(near(picture.rgb(8, 24), green));
    }
}

TEST(OutputImages, StreamlinesAreRedOnlyInTheSpeedPicture) {
    test::scratch_dir dir;
    const obstacle_masks masks = quartered_picture();
    const constant_flow flow;
    output_image_U(5, 5, flow.p, flow.u, flow.v, masks);
    output_image_UV(5, 5, flow.p, flow.u, flow.v, masks);
    EXPECT_TRUE(near(test::decode_jpeg("U.jpg").rgb(24, 24), green));
    EXPECT_TRUE(near(test::decode_jpeg("velocity.jpg").rgb(24, 24), red));
}

TEST(OutputImages, EachPictureShowsItsOwnField) {
    test::scratch_dir dir;
    const obstacle_masks masks = open_picture(32, 16);
    // The field shown is 0 over the inlet half and 1 at the outlet, so that
    // half is black; any other field is constant, which would be green.
    float_grid step(3, 2);
    for (int j = 0; j < 2; ++j) step[2][j] = 1.0f;
    const float_grid flat(3, 2, 1.0f);
    output_image_U(3, 2, flat, step, flat, masks);
    output_image_V(3, 2, flat, flat, step, masks);
    output_image_P(3, 2, step, flat, flat, masks);
    for (const char* name : {"U.jpg", "V.jpg", "pressure.jpg"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(near(test::decode_jpeg(name).rgb(4, 8), black));
    }
}

TEST(OutputImages, TheSpeedPictureInterpolatesTheSpeedsOfTheNodes) {
    test::scratch_dir dir;
    const obstacle_masks masks = open_picture(32, 16);
    // u = 1, -1, 0 along the tunnel: the node speeds 1, 1, 0 make the inlet
    // half white; interpolating the velocity first would give 0 (black) at
    // its middle.
    float_grid u(3, 2);
    for (int j = 0; j < 2; ++j) {
        u[0][j] = 1.0f;
        u[1][j] = -1.0f;
    }
    const float_grid zero(3, 2);
    output_image_UV(3, 2, zero, u, zero, masks);
    const test::decoded_picture picture = test::decode_jpeg("velocity.jpg");
    EXPECT_TRUE(near(picture.rgb(8, 8), white));
}

TEST(OutputImages, ANameTakenByADirectoryIsRefusedAndLeftAlone) {
    test::scratch_dir dir;
    std::filesystem::create_directory("U.jpg");
    test::write_file("U.jpg/inside", "kept");
    const constant_flow flow;
    try {
        output_image_U(5, 5, flow.p, flow.u, flow.v, quartered_picture());
        FAIL() << "expected a run_error";
    } catch (const run_error& error) {
        EXPECT_STREQ(error.what(), "Could not write \"U.jpg\": Is a directory");
    }
    EXPECT_EQ(test::read_file("U.jpg/inside"), "kept");
    EXPECT_EQ(test::directory_entries(), std::set<std::string>{"U.jpg"});
}

TEST(OutputImages, AFullDiskIsRefusedAndKeepsTheOlderPicture) {
    test::scratch_dir dir;
    test::write_file("pressure.jpg", "an older picture");
    const obstacle_masks masks = open_picture(256, 256);
    const float_grid ramp = ramp_along_i(9, 9);
    try {
        const test::file_size_limit limit(1024);
        output_image_P(9, 9, ramp, ramp, ramp, masks);
        FAIL() << "expected a run_error";
    } catch (const run_error& error) {
        EXPECT_STREQ(error.what(), "Could not write \"pressure.jpg\": File too large");
    }
    EXPECT_EQ(test::read_file("pressure.jpg"), "an older picture");
    EXPECT_EQ(test::directory_entries(), std::set<std::string>{"pressure.jpg"});
}

TEST(OutputImages, APictureTooLargeForTheEncoderIsRefusedWithoutAFile) {
    test::scratch_dir dir;
    const obstacle_masks masks = open_picture(70000, 1);
    const float_grid flat(2, 2, 1.0f);
    try {
        output_image_U(2, 2, flat, flat, flat, masks);
        FAIL() << "expected a run_error";
    } catch (const run_error& error) {
        EXPECT_EQ(std::string(error.what()).rfind("Could not write \"U.jpg\": ", 0), 0u)
            << error.what();
    }
    EXPECT_TRUE(test::directory_entries().empty());
}

}  // namespace
}  // namespace veltaro
