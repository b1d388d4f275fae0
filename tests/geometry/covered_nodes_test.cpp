// The covered rule on hand-drawn pictures whose overlaps are worked out by
// hand, and on mirror-symmetric pictures, where the node mask must be
// mirror-symmetric too on every mesh: odd and even node counts, pictures
// larger and smaller than the grid, stretched one way or the other.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "geometry/covered_nodes.h"
#include "geometry/obstacle_masks.h"
#include "geometry/outline_rows.h"

namespace veltaro {
namespace {

// Pixel rows from the top as words, '#' dark.
int_grid picture_of(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> rows;
    for (std::string row; in >> row;) rows.push_back(row);
    const int height = static_cast<int>(rows.size());
    int_grid picture(static_cast<int>(rows[0].size()), height, open_pixel);
    for (int r = 0; r < height; ++r) {
        for (int c = 0; c < picture.nx(); ++c) {
            if (rows[r][c] == '#') picture[c][height - 1 - r] = obstacle_pixel;
        }
    }
    return picture;
}

// Node rows from the top wall, '#' solid.
std::string drawn(const int_grid& nodes) {
    std::string text;
    for (int j = nodes.ny() - 1; j >= 0; --j) {
        for (int i = 0; i < nodes.nx(); ++i) text += nodes[i][j] ? '#' : '.';
        text += j > 0 ? " " : "";
    }
    return text;
}

TEST(CoveredNodes, ANodeIsSolidWhenDarkPixelsCoverHalfItsCell) {
    // clang-format off
    const struct {
        const char* name;
        int nx, ny;
        std::string pixels, nodes;
    } rows[] = {
        // Four pixels on three nodes: pixel edges at 0, 1/2, 1, 3/2, 2 node
        // spacings; the cells [0, 1/2], [1/2, 3/2], [3/2, 2].
        {"a pixel fills the end cell", 3, 1, "#...", "#.."},
        {"a pixel fills half the middle cell", 3, 1, ".#..", ".#."},
        {"the other half of the middle cell", 3, 1, "..#.", ".#."},
        // Five pixels on four nodes: edges every 0.6 spacings.
        {"0.6 of a cell is enough", 4, 1, ".#...", ".#.."},
        {"0.3 of two cells is not", 4, 1, "..#..", "...."},
        {"0.6 and 0.3", 4, 1, ".##..", ".#.."},
        {"across the tunnel alike", 1, 4, ". # . . .", ". # . ."},
        // Four by four pixels on two by two nodes: each cell holds a block
        // of two by two pixels.
        {"two of four pixels are half", 2, 2, "#... #... .... ....", "#. .."},
        {"one of four is not", 2, 2, "#... .... .... ....", ".. .."},
        {"a diagonal pair is half", 2, 2, ".... .... ..#. ...#", ".. .#"},
        // Fewer pixels than nodes: the pixel's stretch covers whole cells.
        {"one pixel on three nodes", 3, 3, "#", "### ### ###"},
        {"two pixels on five nodes", 5, 1, "#.", "###.."},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(drawn(covered_nodes(picture_of(row.pixels), row.nx, row.ny)), row.nodes);
    }
}

enum class mirror { centreline, vertical_line, both };

// A random picture made symmetric: each pixel takes the value of its mirror
// image in the half (or quarter) that keeps its random one, drawn before it.
int_grid symmetric_picture(int width, int height, mirror about, unsigned seed, int dark_percent) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> percent(0, 99);
    int_grid picture(width, height, open_pixel);
    for (int c = 0; c < width; ++c) {
        for (int k = 0; k < height; ++k) {
            picture[c][k] = percent(random) < dark_percent ? obstacle_pixel : open_pixel;
            const int kept_c = about == mirror::centreline ? c : std::min(c, width - 1 - c);
            const int kept_k = about == mirror::vertical_line ? k : std::min(k, height - 1 - k);
            picture[c][k] = picture[kept_c][kept_k];
        }
    }
    return picture;
}

// A disc centred half-way across and a quarter of the way along, like the
// validation cylinder: symmetric about the centreline only.
int_grid disc(int width, int height, double radius_in_heights) {
    int_grid picture(width, height, open_pixel);
    const double radius = radius_in_heights * height;
    for (int c = 0; c < width; ++c) {
        for (int k = 0; k < height; ++k) {
            const double along = c + 0.5 - 0.25 * width;
            const double across = k + 0.5 - 0.5 * height;
            if (along * along + across * across <= radius * radius) picture[c][k] = obstacle_pixel;
        }
    }
    return picture;
}

bool symmetric(const int_grid& nodes, mirror about) {
    const int nx = nodes.nx();
    const int ny = nodes.ny();
    for (int i = 0; i < nx; ++i) {
        for (int j = 0; j < ny; ++j) {
            const bool across = about != mirror::vertical_line;
            const bool along = about != mirror::centreline;
            if (across && nodes[i][j] != nodes[i][ny - 1 - j]) return false;
            if (along && nodes[i][j] != nodes[nx - 1 - i][j]) return false;
        }
    }
    return true;
}

int solid_count(const int_grid& nodes) {
    int count = 0;
    for (int i = 0; i < nodes.nx(); ++i) {
        for (int j = 0; j < nodes.ny(); ++j) count += nodes[i][j];
    }
    return count;
}

struct symmetry_case {
    const char* name;
    int width, height;  // the picture
    mirror about;
};

TEST(CoveredNodes, MirrorSymmetricPicturesGiveMirrorSymmetricMasksOnEveryMesh) {
    // clang-format off
    const symmetry_case pictures[] = {
        {"the validation picture's size", 800, 400, mirror::centreline},
        {"the shipped pictures' size", 400, 100, mirror::both},
        {"odd pixel counts", 201, 77, mirror::both},
        {"stretched along", 120, 300, mirror::vertical_line},
        {"stretched across", 999, 31, mirror::centreline},
        {"fewer pixels than nodes", 37, 13, mirror::both},
    };
    // The three named meshes of a 4 x 2 and a 4 x 1 tunnel, and odd ones.
    const struct { int nx, ny; } meshes[] = {
        {50, 25}, {100, 50}, {200, 100}, {100, 25}, {400, 100}, {51, 26}, {7, 3}, {2, 2}, {3, 1},
    };
    // clang-format on
    unsigned seed = 1;
    for (const symmetry_case& picture : pictures) {
        for (const auto& mesh : meshes) {
            for (const int dark_percent : {20, 50, 80}) {
                SCOPED_TRACE(std::string(picture.name) + ", " + std::to_string(mesh.nx) + " x " +
                             std::to_string(mesh.ny) + " nodes, " + std::to_string(dark_percent) +
                             "% dark");
                const int_grid pixels = symmetric_picture(picture.width, picture.height,
                                                          picture.about, ++seed, dark_percent);
                EXPECT_TRUE(symmetric(covered_nodes(pixels, mesh.nx, mesh.ny), picture.about));
            }
            const int_grid cylinder = disc(picture.width, picture.height, 0.05);
            const int_grid nodes = covered_nodes(cylinder, mesh.nx, mesh.ny);
            EXPECT_TRUE(symmetric(nodes, mirror::centreline)) << picture.name << ", " << mesh.nx;
        }
    }
}

// The check has teeth: the sampled rule fails it on the validation picture.
TEST(CoveredNodes, TheSampledRuleIsNotSymmetric) {
    const int_grid cylinder = disc(800, 400, 0.05);
    mask_builder builder = start_outlines(200, 100, 800, 400);
    std::vector<unsigned char> samples(800);
    for (int r = 0; r < 400; ++r) {
        for (int c = 0; c < 800; ++c) samples[c] = cylinder[c][399 - r] ? 0 : 255;
        add_outline_row(builder, r, samples, 1);
    }
    EXPECT_FALSE(symmetric(builder.masks.solid_nodes, mirror::centreline));
    // Both rules agree on the cylinder's size to a ring of nodes.
    const int covered = solid_count(covered_nodes(cylinder, 200, 100));
    EXPECT_NEAR(covered, solid_count(builder.masks.solid_nodes), 0.2 * covered);
}

}  // namespace
}  // namespace veltaro
