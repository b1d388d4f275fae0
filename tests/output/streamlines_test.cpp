#include "output/streamlines.h"
#include "output/open_picture.h"

#include <limits>
#include <vector>

#include <gtest/gtest.h>

namespace veltaro {
namespace {

using test::open_picture;

run_parameters tunnel(float width, float height, float inlet_velocity) {
    run_parameters params;
    params.length = width;
    params.height = height;
    params.inlet_velocity = inlet_velocity;
    return params;
}

int count_pixels(const obstacle_masks& masks, int value) {
    int count = 0;
    for (int c = 0; c < masks.picture.nx(); ++c) {
        for (int r = 0; r < masks.picture.ny(); ++r) count += masks.picture[c][r] == value ? 1 : 0;
    }
    return count;
}

TEST(StreamlineSeeds, AHeightOfOneGivesNineSeeds) {
    const std::vector<float> seeds = streamline_seeds(1.0f);
    ASSERT_EQ(seeds.size(), 9u);
    EXPECT_FLOAT_EQ(seeds.front(), 0.1f);
    EXPECT_FLOAT_EQ(seeds.back(), 0.9f);
}

TEST(StreamlineSeeds, AHeightOfFiveGivesNineExactSeeds) {
    // 0.5 is exact, so the tenth sum is exactly 5 and not below the top.
    const std::vector<float> seeds = streamline_seeds(5.0f);
    ASSERT_EQ(seeds.size(), 9u);
    for (std::size_t n = 0; n < seeds.size(); ++n)
        EXPECT_EQ(seeds[n], 0.5f * static_cast<float>(n + 1));
}

TEST(StreamlineSeeds, AHeightOfATenthGivesTenSeeds) {
    // The tenth sum rounds to just below 0.1.
    const std::vector<float> seeds = streamline_seeds(0.1f);
    ASSERT_EQ(seeds.size(), 10u);
    EXPECT_LT(seeds.back(), 0.1f);
}

TEST(StreamlineSeeds, NoSeedsWithoutAPositiveHeight) {
    EXPECT_TRUE(streamline_seeds(0.0f).empty());
    EXPECT_TRUE(streamline_seeds(-1.0f).empty());
    EXPECT_TRUE(streamline_seeds(std::numeric_limits<float>::quiet_NaN()).empty());
    // A spacing that underflows to zero must not loop for ever.
    EXPECT_TRUE(streamline_seeds(std::numeric_limits<float>::denorm_min()).empty());
}

TEST(MakeStreamlineTracer, StepIsAHundredthOfANodeSpacingAtTheInletVelocity) {
    const streamline_tracer tracer = make_streamline_tracer(100, 25, tunnel(9.9f, 1.0f, 2.0f));
    EXPECT_FLOAT_EQ(tracer.h, 0.0005f);
    EXPECT_EQ(tracer.limit, 125000);
}

TEST(TraceStreamline, ASeedInStillFluidStaysPutAndEndsByTheCounter) {
    obstacle_masks masks = open_picture(10, 10);
    const streamline_tracer tracer = make_streamline_tracer(3, 3, tunnel(2.0f, 1.0f, 1.0f));
    const float_grid still(3, 3);
    const streamline_end end = trace_streamline(tracer, still, still, masks, 0.5f);
    EXPECT_EQ(end.passes, tracer.limit + 2);
    EXPECT_EQ(end.x, 0.0f);
    EXPECT_EQ(end.y, 0.5f);
    EXPECT_EQ(masks.picture[0][4], streamline_pixel);  // floor(9 * 0.5)
    EXPECT_EQ(count_pixels(masks, streamline_pixel), 1);
}

TEST(TraceStreamline, ALineInUniformFlowLeavesThroughTheOutlet) {
    obstacle_masks masks = open_picture(10, 10);
    const streamline_tracer tracer = make_streamline_tracer(3, 3, tunnel(2.0f, 1.0f, 1.0f));
    const float_grid u(3, 3, 1.0f);
    const float_grid v(3, 3, 0.0f);
    const streamline_end end = trace_streamline(tracer, u, v, masks, 0.25f);
    // Steps of 0.01 m: about 200 moves to reach the outlet plane, one more past it.
    EXPECT_GT(end.x, 2.0f);
    EXPECT_LT(end.x, 2.011f);
    EXPECT_EQ(end.y, 0.25f);
    EXPECT_GE(end.passes, 200);
    EXPECT_LE(end.passes, 202);
    for (int c = 0; c < 9; ++c)
        EXPECT_EQ(masks.picture[c][2], streamline_pixel) << c;  // floor(9 * 0.25)
    EXPECT_EQ(count_pixels(masks, streamline_pixel),
              9 + (masks.picture[9][2] == streamline_pixel ? 1 : 0));
}

TEST(TraceStreamline, ALineRisingThroughTheTopWallEnds) {
    obstacle_masks masks = open_picture(4, 4);
    const streamline_tracer tracer = make_streamline_tracer(3, 3, tunnel(2.0f, 1.0f, 1.0f));
    const float_grid u(3, 3, 0.0f);
    const float_grid v(3, 3, 1.0f);
    const streamline_end end = trace_streamline(tracer, u, v, masks, 0.5f);
    EXPECT_GT(end.y, 1.0f);
    EXPECT_LE(end.passes, 52);
    for (int r = 1; r < 3; ++r) EXPECT_EQ(masks.picture[0][r], streamline_pixel) << r;
}

TEST(TraceStreamline, AVelocityThatIsNotFiniteEndsTheLineAtOnce) {
    obstacle_masks masks = open_picture(10, 10);
    const streamline_tracer tracer = make_streamline_tracer(3, 3, tunnel(2.0f, 1.0f, 1.0f));
    const float_grid broken(3, 3, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(trace_streamline(tracer, broken, broken, masks, 0.5f).passes, 1);
    EXPECT_EQ(count_pixels(masks, streamline_pixel), 1);
}

TEST(TraceStreamline, AZeroInletVelocityEndsTheLineAtOnce) {
    // The step is then infinite, and still fluid moves by 0 times infinity.
    obstacle_masks masks = open_picture(10, 10);
    const streamline_tracer tracer = make_streamline_tracer(3, 3, tunnel(2.0f, 1.0f, 0.0f));
    const float_grid still(3, 3);
    EXPECT_EQ(trace_streamline(tracer, still, still, masks, 0.5f).passes, 1);
}

TEST(Streamlines, EachSeedMarksItsOwnRowButNeverAnObstaclePixel) {
    obstacle_masks masks = open_picture(10, 10);
    for (int r = 0; r < 10; ++r) masks.picture[4][r] = obstacle_pixel;
    const float_grid u(3, 3, 1.0f);
    const float_grid v(3, 3, 0.0f);
    streamlines(3, 3, u, v, tunnel(2.0f, 1.0f, 1.0f), masks);
    // Seeds 0.1 ... 0.9 land on rows floor(9 y) = 0 ... 8; row 9 has none.
    for (int r = 0; r < 9; ++r) {
        EXPECT_EQ(masks.picture[3][r], streamline_pixel) << r;
        EXPECT_EQ(masks.picture[4][r], obstacle_pixel) << r;
        EXPECT_EQ(masks.picture[5][r], streamline_pixel) << r;
    }
    EXPECT_EQ(masks.picture[3][9], open_pixel);
    EXPECT_EQ(count_pixels(masks, obstacle_pixel), 10);
}

TEST(Streamlines, AGridWithoutCellsMarksNothing) {
    obstacle_masks masks = open_picture(4, 4);
    streamlines(1, 3, float_grid(1, 3), float_grid(1, 3), tunnel(2.0f, 1.0f, 1.0f), masks);
    EXPECT_EQ(count_pixels(masks, streamline_pixel), 0);
}

}  // namespace
}  // namespace veltaro
