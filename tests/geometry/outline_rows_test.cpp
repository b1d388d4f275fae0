// Pixel classes and the pixel-to-node mapping, on hand-made rows so that the
// exact dark limit and the half-way ties can be checked without JPEG loss.
#include "geometry/outline_rows.h"

#include <numeric>
#include <vector>

#include <gtest/gtest.h>

#include "common/run_error.h"

namespace veltaro {
namespace {

using samples = std::vector<unsigned char>;

// Feeds a grey picture (rows from the top) through the row steps.
obstacle_masks grey_outlines(int nx, int ny, int width, const std::vector<samples>& rows) {
    outline_builder builder = start_outlines(nx, ny, width, static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        add_outline_row(builder, r, rows[r], 1);
    }
    return builder.masks;
}

std::vector<int> node_row(const obstacle_masks& masks, int j) {
    std::vector<int> values;
    for (int i = 0; i < masks.solid_nodes.nx(); ++i) {
        values.push_back(masks.solid_nodes[i][j]);
    }
    return values;
}

std::vector<int> node_column(const obstacle_masks& masks, int i) {
    const int* column = masks.solid_nodes[i];
    return {column, column + masks.solid_nodes.ny()};
}

int count(const int_grid& mask) {
    return std::accumulate(mask.data(), mask.data() + mask.size(), 0);
}

TEST(PixelClass, GreyDarkUpToFortyNine) {
    EXPECT_EQ(pixel_class(samples{0}), obstacle_pixel);
    EXPECT_EQ(pixel_class(samples{49}), obstacle_pixel);
    EXPECT_EQ(pixel_class(samples{50}), open_pixel);
    EXPECT_EQ(pixel_class(samples{255}), open_pixel);
}

TEST(PixelClass, ColourDarkOnlyWhenAllThreeAre) {
    EXPECT_EQ(pixel_class(samples{49, 49, 49}), obstacle_pixel);
    EXPECT_EQ(pixel_class(samples{0, 0, 0}), obstacle_pixel);
    EXPECT_EQ(pixel_class(samples{255, 0, 0}), open_pixel);
    EXPECT_EQ(pixel_class(samples{0, 0, 50}), open_pixel);
    EXPECT_EQ(pixel_class(samples{49, 50, 49}), open_pixel);
}

TEST(NearestNode, HalvesGoUpAndEndsClamp) {
    EXPECT_EQ(nearest_node(0.25, 3), 0);
    EXPECT_EQ(nearest_node(0.5, 3), 1);
    EXPECT_EQ(nearest_node(1.4999, 3), 1);
    EXPECT_EQ(nearest_node(1.5, 3), 2);
    EXPECT_EQ(nearest_node(2.5, 3), 2);
    EXPECT_EQ(nearest_node(7.0, 3), 2);
    EXPECT_EQ(nearest_node(0.5, 1), 0);
}

// nx = 3, four pixels (sx = 0.5): centres at 0.25, 0.75, 1.25, 1.75 go to
// node columns 0, 1, 1, 2, and node column 1 keeps pixel column 2's class.
TEST(OutlineRows, FourPixelsAlongOntoThreeNodes) {
    const struct {
        samples row;
        std::vector<int> nodes;
    } cases[] = {
        {{0, 255, 255, 255}, {1, 0, 0}},
        {{255, 0, 255, 255}, {0, 0, 0}},
        {{255, 255, 0, 255}, {0, 1, 0}},
        {{255, 255, 255, 0}, {0, 0, 1}},
    };
    for (const auto& one : cases) {
        const obstacle_masks masks = grey_outlines(3, 1, 4, {one.row});
        EXPECT_EQ(node_row(masks, 0), one.nodes);
    }
}

// ny = 3, four rows (sy = 0.5): rows 0..3 from the top go to j = 2, 1, 1, 0,
// and node row 1 keeps pixel row 2's class.
TEST(OutlineRows, FourRowsAcrossOntoThreeNodes) {
    const struct {
        int dark_row;
        std::vector<int> nodes;  // j = 0, 1, 2
    } cases[] = {
        {0, {0, 0, 1}},
        {1, {0, 0, 0}},
        {2, {0, 1, 0}},
        {3, {1, 0, 0}},
    };
    for (const auto& one : cases) {
        std::vector<samples> rows(4, samples{255});
        rows[one.dark_row] = samples{0};
        const obstacle_masks masks = grey_outlines(1, 3, 1, rows);
        EXPECT_EQ(node_column(masks, 0), one.nodes) << "dark row " << one.dark_row;
    }
}

// nx = 4, five pixels (sx = 0.6): pixel column 2's centre falls at 1.5
// exactly and goes to node 2, so node 1 keeps pixel column 1's class.
TEST(OutlineRows, HalfWayTieAlongGoesToLargerNode) {
    EXPECT_EQ(node_row(grey_outlines(4, 1, 5, {{255, 0, 255, 255, 255}}), 0),
              (std::vector<int>{0, 1, 0, 0}));
    EXPECT_EQ(node_row(grey_outlines(4, 1, 5, {{255, 255, 0, 255, 255}}), 0),
              (std::vector<int>{0, 0, 0, 0}));
}

// ny = 4, five rows (sy = 0.6): row 2 goes to jr = 2, that is j = 1, so
// j = 2 keeps row 1's class.
TEST(OutlineRows, HalfWayTieAcrossGoesToLargerNode) {
    const obstacle_masks masks = grey_outlines(1, 4, 1, {{255}, {0}, {255}, {255}, {255}});
    EXPECT_EQ(node_column(masks, 0), (std::vector<int>{0, 0, 1, 0}));
}

// nx = 2, 23 pixels: pixel 11's centre is half-way, at 0.5, but the running
// sum of sx lands a hair below it (0.4999999999999999), so it goes to node 0
// and is that node's last writer. Worked out as 11.5 * sx it would go to 1.
TEST(OutlineRows, RunningSumsDecideNearHalfWay) {
    samples row(23, 255);
    row[11] = 0;
    EXPECT_EQ(node_row(grey_outlines(2, 1, 23, {row}), 0), (std::vector<int>{1, 0}));

    std::vector<samples> rows(23, samples{255});
    rows[11] = samples{0};
    EXPECT_EQ(node_column(grey_outlines(1, 2, 1, rows), 0), (std::vector<int>{0, 1}));
}

TEST(OutlineRows, DarkLimitReachesBothMasks) {
    const obstacle_masks grey = grey_outlines(2, 1, 2, {{49, 50}});
    EXPECT_EQ(node_row(grey, 0), (std::vector<int>{1, 0}));
    EXPECT_EQ(grey.picture[0][0], obstacle_pixel);
    EXPECT_EQ(grey.picture[1][0], open_pixel);

    outline_builder colour = start_outlines(3, 1, 3, 1);
    add_outline_row(colour, 0, samples{255, 0, 0, 49, 49, 49, 50, 49, 49}, 3);
    EXPECT_EQ(node_row(colour.masks, 0), (std::vector<int>{0, 1, 0}));
    EXPECT_EQ(colour.masks.picture[0][0], open_pixel);
    EXPECT_EQ(colour.masks.picture[1][0], obstacle_pixel);
    EXPECT_EQ(colour.masks.picture[2][0], open_pixel);
}

// 6 x 5 pixels on 4 x 3 nodes: the top-left pixel alone reaches node
// (0, ny - 1), and it sits at the top of the picture mask's column 0.
TEST(OutlineRows, TopLeftPixelSitsTopLeftInBothMasks) {
    std::vector<samples> rows(5, samples(6, 255));
    rows[0][0] = 0;
    const obstacle_masks masks = grey_outlines(4, 3, 6, rows);
    EXPECT_EQ(masks.picture[0][4], obstacle_pixel);
    EXPECT_EQ(count(masks.picture), 1);
    EXPECT_EQ(masks.solid_nodes[0][2], obstacle_pixel);
    EXPECT_EQ(count(masks.solid_nodes), 1);
}

// The picture mask is the picture itself, upside down, not resampled.
TEST(OutlineRows, PictureMaskCountsRowsFromTheBottom) {
    const obstacle_masks masks = grey_outlines(3, 3, 3, {{0, 255, 255}, {255, 255, 255}});
    EXPECT_EQ(masks.picture.nx(), 3);
    EXPECT_EQ(masks.picture.ny(), 2);
    EXPECT_EQ(masks.picture[0][1], obstacle_pixel);
    EXPECT_EQ(count(masks.picture), 1);
}

// 2 x 2 dark pixels on 5 x 5 nodes (sx = sy = 2): centres at 1 and 3, so
// only four nodes are reached; the rest stay fluid.
TEST(OutlineRows, PictureSmallerThanGridLeavesUnreachedNodesFluid) {
    const obstacle_masks masks = grey_outlines(5, 5, 2, {{0, 0}, {0, 0}});
    EXPECT_EQ(count(masks.solid_nodes), 4);
    for (int i : {1, 3}) {
        for (int j : {1, 3}) {
            EXPECT_EQ(masks.solid_nodes[i][j], obstacle_pixel) << i << ", " << j;
        }
    }
}

TEST(OutlineRows, TinyGridsWorkAndEmptyOnesAreRefused) {
    const obstacle_masks one_node = grey_outlines(1, 1, 3, {{255, 255, 0}, {0, 0, 255}});
    EXPECT_EQ(one_node.solid_nodes[0][0], open_pixel);  // the last pixel decides
    EXPECT_THROW(start_outlines(0, 3, 4, 4), run_error);
    EXPECT_THROW(start_outlines(3, -1, 4, 4), run_error);
    EXPECT_THROW(start_outlines(3, 3, 0, 4), run_error);
}

}  // namespace
}  // namespace veltaro
