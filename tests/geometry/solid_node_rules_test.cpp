// The three rules of the node mask. The sampled rule, from pixels to the
// nearest nodes, on hand-made rows where the dark limit and the half-way ties
// are exact, and again through a PNG file, which keeps every sample, and a
// JPEG file where only black and white are used (pictures the run refuses are
// in the end-to-end matrix). The covered rule on the same rows, its overlaps
// worked out by hand; the outline
// rule's smoothed signed distance against the exact one of drawn shapes,
// thin plates that keep their solid nodes, and ghost values that continue a
// linear shear flow through zero on a flat wall. Under both rules
// mirror-symmetric pictures give mirror-symmetric node masks on every mesh:
// odd and even node counts, pictures larger and smaller than the grid,
// stretched one way or the other.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "common/run_error.h"
#include "field/flow_field.h"
#include "field/ghost_nodes.h"
#include "geometry/covered_nodes.h"
#include "geometry/obstacle_masks.h"
#include "geometry/signed_distance.h"
#include "geometry/ghost_node_rule.h"
#include "geometry/outline_rows.h"
#include "support/pictures.h"
#include "support/scratch_dir.h"

namespace veltaro {
namespace {

// A shape as a function of a pixel centre (x, y), in pixels, <= 0 inside
// and only there: the picture is dark there. Only its sign is ever read.
using shape = std::function<double(double, double)>;

int_grid drawn(int width, int height, const shape& inside) {
    int_grid picture(width, height, open_pixel);
    for (int c = 0; c < width; ++c)
        for (int k = 0; k < height; ++k)
            if (inside(c + 0.5, k + 0.5) <= 0.0) picture[c][k] = obstacle_pixel;
    return picture;
}

// A square of half-side a, an ellipse and a disc, all centred at (x0, y0).
shape square(double x0, double y0, double a) {
    return [=](double x, double y) { return std::max(std::fabs(x - x0), std::fabs(y - y0)) - a; };
}

shape ellipse(double x0, double y0, double a, double b) {
    return [=](double x, double y) { return std::hypot((x - x0) / a, (y - y0) / b) - 1.0; };
}

shape disc(double x0, double y0, double radius) { return ellipse(x0, y0, radius, radius); }

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string word; in >> word;) out.push_back(word);
    return out;
}

// Node rows from the top wall, '#' solid.
std::string node_text(const int_grid& nodes) {
    std::string text;
    for (int j = nodes.ny() - 1; j >= 0; --j) {
        for (int i = 0; i < nodes.nx(); ++i) text += nodes[i][j] ? '#' : '.';
        text += j > 0 ? " " : "";
    }
    return text;
}

TEST(ObstacleMasks, PixelsReachTheirNearestNodesAndTheLastWriterDecides) {
    // clang-format off
    // Samples, one word per pixel row from the top: '#' 0, 'a' 49, 'b' 50,
    // '.' 255. Nodes, one word per node row from the top wall, '#' solid and
    // '.' fluid, from the inlet on: under the sampled rule, then under the
    // covered one (a node is solid when dark pixels cover half its cell);
    // empty where the row is not about that rule.
    const struct { const char* name; int nx, ny, components; std::string pixels, nodes, covered; } rows[] = {
        {"grey is dark up to 49", 2, 1, 1, "ab", "#.", ""},
        {"colour is dark only when all three are", 4, 1, 3, "aaa##b.##aba", "#...", ""},
        {"colour from a file", 3, 1, 3, "##.###.##", ".#.", ""},
        // sx = 0.5: pixel centres at 0.25, 0.75, 1.25, 1.75 reach nodes 0, 1, 1, 2;
        // pixel edges at 0, 1/2, 1, 3/2, 2 spacings, the cells [0, 1/2], [1/2, 3/2], [3/2, 2].
        {"four pixels on three nodes, first: it fills the end cell", 3, 1, 1, "#...", "#..", "#.."},
        {"four pixels on three nodes, second: half the middle cell", 3, 1, 1, ".#..", "...", ".#."},
        {"four pixels on three nodes, third: the other half", 3, 1, 1, "..#.", ".#.", ".#."},
        {"four rows on three nodes, second", 1, 3, 1, ". # . .", ". . .", ""},
        {"four rows on three nodes, third", 1, 3, 1, ". . # .", ". # .", ""},
        {"four rows on three nodes, last", 1, 3, 1, ". . . #", ". . #", ""},
        // sx = 0.6: pixel 2's centre lies at 1.5 exactly and goes to node 2;
        // pixel edges every 0.6 spacings.
        {"a tie along goes to the larger node; 0.6 of a cell is enough", 4, 1, 1, ".#...", ".#..", ".#.."},
        {"a tie along leaves the smaller node; 0.3 of two cells is not", 4, 1, 1, "..#..", "....", "...."},
        {"0.6 and 0.3 of a cell", 4, 1, 1, ".##..", "", ".#.."},
        {"a tie across goes to the lower node; across alike", 1, 4, 1, ". # . . .", ". # . .", ". # . ."},
        // Pixel 11 of 23 on 2 nodes is half-way, but the running sum of sx
        // lands a hair below it: node 0. As 11.5 sx it would go to node 1.
        {"a running sum decides near half-way", 2, 1, 1, "...........#...........", "#.", ""},
        {"a running sum decides near half-way across", 1, 2, 1,
         ". . . . . . . . . . . # . . . . . . . . . . .", "# .", ""},
        {"the top-left pixel reaches the top-left node", 4, 3, 1,
         "#..... ...... ...... ...... ......", "#... .... ....", ""},
        // sx = sy = 2: centres at 1 and 3 only.
        {"nodes no pixel reaches stay fluid", 5, 5, 1, "## ##", "..... .#.#. ..... .#.#. .....", ""},
        {"one node takes the last pixel", 1, 1, 1, "..# ##.", ".", ""},
        // Four by four pixels on two by two nodes: each cell holds a block
        // of two by two pixels.
        {"two of four pixels are half", 2, 2, 1, "#... #... .... ....", "", "#. .."},
        {"one of four is not", 2, 2, 1, "#... .... .... ....", "", ".. .."},
        {"a diagonal pair is half", 2, 2, 1, ".... .... ..#. ...#", "", ".. .#"},
        // Fewer pixels than nodes: the pixel's stretch covers whole cells.
        {"one pixel on three nodes", 3, 3, 1, "#", "", "### ### ###"},
        {"two pixels on five nodes", 5, 1, 1, "#.", "", "###.."},
    };
    // clang-format on
    const test::scratch_dir folder;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<std::string> lines = words(row.pixels);
        const test::picture pixels = test::draw_picture(
            static_cast<int>(lines[0].size()) / row.components, static_cast<int>(lines.size()),
            row.components, [&](int c, int r, int k) -> unsigned char {
                const char code = lines[r][c * row.components + k];
                return code == '#' ? 0 : code == 'a' ? 49 : code == 'b' ? 50 : 255;
            });
        mask_builder builder = start_outlines(row.nx, row.ny, pixels.width, pixels.height);
        const std::size_t stride = pixels.samples.size() / pixels.height;
        for (int r = 0; r < pixels.height; ++r)
            add_outline_row(builder, r, {&pixels.samples[r * stride], stride}, row.components);
        if (!row.covered.empty()) {
            EXPECT_EQ(node_text(covered_nodes(builder.masks.picture, row.nx, row.ny)), row.covered);
        }
        if (row.nodes.empty()) continue;
        const auto nodes = [](const obstacle_masks& masks) { return node_text(masks.solid_nodes); };
        EXPECT_EQ(nodes(builder.masks), row.nodes);
        test::write_png("picture.png", pixels);
        EXPECT_EQ(nodes(make_outlines(row.nx, row.ny, "picture.png")), row.nodes);
        // Black and white survive the JPEG file: the decoder's grey and
        // colour samples reach the same mapping.
        if (row.pixels.find_first_of("ab") == std::string::npos) {
            test::write_jpeg("picture.jpg", pixels);
            EXPECT_EQ(nodes(make_outlines(row.nx, row.ny, "picture.jpg")), row.nodes);
        }
    }
    EXPECT_THROW(start_outlines(0, 3, 4, 4), run_error);
    EXPECT_THROW(start_outlines(3, 3, 0, 4), run_error);
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

bool symmetric(const int_grid& nodes, mirror about) {
    const int nx = nodes.nx(), ny = nodes.ny();
    for (int i = 0; i < nx; ++i) {
        for (int j = 0; j < ny; ++j) {
            if (about != mirror::vertical_line && nodes[i][j] != nodes[i][ny - 1 - j]) return false;
            if (about != mirror::centreline && nodes[i][j] != nodes[nx - 1 - i][j]) return false;
        }
    }
    return true;
}

TEST(CoveredNodes, MirrorSymmetricPicturesGiveMirrorSymmetricMasksOnEveryMesh) {
    // clang-format off
    const struct { const char* name; int width, height; mirror about; } pictures[] = {
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
    for (const auto& picture : pictures) {
        for (const auto& mesh : meshes) {
            for (const int dark_percent : {20, 50, 80}) {
                SCOPED_TRACE(testing::Message() << picture.name << ", " << mesh.nx << " x "
                                                << mesh.ny << " nodes, " << dark_percent << "% dark");
                const int_grid pixels = symmetric_picture(picture.width, picture.height,
                                                          picture.about, ++seed, dark_percent);
                EXPECT_TRUE(symmetric(covered_nodes(pixels, mesh.nx, mesh.ny), picture.about));
            }
            // A disc half-way across and a quarter along, like the validation
            // cylinder: symmetric about the centreline only.
            const int_grid cylinder = drawn(picture.width, picture.height,
                                            disc(0.25 * picture.width, 0.5 * picture.height,
                                                 0.05 * picture.height));
            EXPECT_TRUE(symmetric(covered_nodes(cylinder, mesh.nx, mesh.ny), mirror::centreline))
                << picture.name << ", " << mesh.nx;
        }
    }
}

// phi between pixel centres, bilinearly; (x, y) in pixels from the picture's
// bottom-left corner.
double between_pixels(const float_grid& phi, double x, double y) {
    const int c = static_cast<int>(std::floor(x - 0.5)), k = static_cast<int>(std::floor(y - 0.5));
    const double a = x - 0.5 - c, b = y - 0.5 - k;
    return (1 - a) * (1 - b) * phi[c][k] + a * (1 - b) * phi[c + 1][k] +
           (1 - a) * b * phi[c][k + 1] + a * b * phi[c + 1][k + 1];
}

// Where f changes sign along the ray from (x0, y0) at angle t, between radii
// 2 and 38, by bisection.
double zero_on_ray(const shape& f, double x0, double y0, double t) {
    double inside = 2.0, outside = 38.0;
    for (int n = 0; n < 40; ++n) {
        const double r = 0.5 * (inside + outside);
        (f(x0 + r * std::cos(t), y0 + r * std::sin(t)) <= 0.0 ? inside : outside) = r;
    }
    return inside;
}

// The zero line of phi against the drawn shape's outline, along rays from
// the centre; the square's rays stay 30 degrees from its corners, which the
// smoothing rounds.
TEST(OutlineDistance, ItsZeroLineIsTheDrawnOutlineWithinAFifthOfAPixel) {
    // The half angle of the rays' fan about each axis, in degrees.
    const struct { const char* name; shape exact; double half_angle; } rows[] = {
        {"disc of 40 pixels, centred on a pixel corner", disc(40.0, 40.0, 20.0), 45.0},
        {"disc of 20 pixels", disc(40.0, 40.0, 10.0), 45.0},
        {"square, edges on pixel edges", square(40.0, 40.0, 20.0), 15.0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const float_grid phi = signed_distance(drawn(80, 80, row.exact));
        const shape smoothed = [&](double x, double y) { return between_pixels(phi, x, y); };
        double worst = 0.0;
        for (int degrees = 0; degrees < 360; ++degrees) {
            if (std::abs((degrees + 45) % 90 - 45) > row.half_angle) continue;  // off axis
            const double t = degrees * std::acos(-1.0) / 180.0;
            worst = std::max(worst, std::fabs(zero_on_ray(smoothed, 40.0, 40.0, t) -
                                              zero_on_ray(row.exact, 40.0, 40.0, t)));
        }
        EXPECT_LE(worst, 0.2);
    }
}

TEST(OutlineNodes, MirrorSymmetricPicturesGiveMirrorSymmetricNodeClasses) {
    const struct { int width, height, nx, ny; } rows[] = {
        {80, 40, 41, 21},    // about two pixels a node
        {80, 40, 200, 100},  // more nodes than pixels
        {81, 39, 64, 30},    // odd pictures, even grids, stretched unevenly
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.width << " x " << row.height << " on " << row.nx
                                        << " x " << row.ny);
        const double x0 = row.width / 2.0, y0 = row.height / 2.0;
        const shape two_bodies = [&](double x, double y) {
            return std::min(ellipse(x0, y0, 0.2 * row.width, 0.2 * row.height)(x, y),
                            square(x0, y0, 0.35 * row.height)(std::fabs(x - x0) * 0.3 + x0, y));
        };
        const ghost_rule_masks masks = ghost_node_rule(drawn(row.width, row.height, two_bodies),
                                                  row.nx, row.ny);
        EXPECT_TRUE(symmetric(masks.solid_nodes, mirror::both));
        EXPECT_GT(std::count(masks.solid_nodes.data(),
                             masks.solid_nodes.data() + masks.solid_nodes.size(), 1), 0);
        EXPECT_FALSE(masks.ghosts.nodes.empty());
    }
}

// A plate one pixel thick, which the smoothing alone would lift above zero.
TEST(OutlineNodes, AOnePixelPlateKeepsASolidNodeInEveryColumnItCrosses) {
    const struct { const char* name; int nx, ny; bool upright; } rows[] = {
        {"two pixels a node", 51, 26, false},
        {"two nodes a pixel", 201, 101, false},
        {"upright", 51, 26, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        // Pixels 30 to 69 of row 25 (or column 50) of a 100 x 50 picture.
        int_grid picture(100, 50, open_pixel);
        for (int p = 30; p < 70; ++p)
            (row.upright ? picture[50][p - 20] : picture[p][25]) = obstacle_pixel;
        const int_grid solid = ghost_node_rule(picture, row.nx, row.ny).solid_nodes;
        const double nodes_per_pixel = (row.nx - 1) / 100.0;
        const int first = static_cast<int>(std::ceil((row.upright ? 10 : 30) * nodes_per_pixel));
        const int last = static_cast<int>((row.upright ? 50 : 70) * nodes_per_pixel);
        for (int n = first; n <= last; ++n) {
            int in_line = 0;
            for (int m = 0; m < (row.upright ? row.nx : row.ny); ++m)
                in_line += row.upright ? solid[m][n] : solid[n][m];
            EXPECT_GE(in_line, 1) << n;
        }
    }
}

// u = g (y - y_wall), v = s (y - y_wall) above a flat wall on a pixel edge:
// the ghost values continue the same lines below the wall, exactly.
TEST(GhostNodes, ContinueAShearFlowLinearlyThroughAFlatWall) {
    const struct { int height, dark_rows, nx, ny; } rows[] = {
        {40, 17, 31, 21},  // wall 8.5 node spacings up
        {40, 17, 31, 41},  // wall 17.0 up: on a node row
        {30, 11, 20, 61},  // wall 22.0 up, pixels two spacings high
        {64, 29, 45, 24},  // wall 10.78 up, squeezed
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << row.dark_rows << " of " << row.height << " on "
                                        << row.nx << " x " << row.ny);
        const shape floor = [&](double, double y) { return y - row.dark_rows; };
        const ghost_rule_masks masks =
            ghost_node_rule(drawn(50, row.height, floor), row.nx, row.ny);
        const double wall = row.dark_rows * (row.ny - 1.0) / row.height;
        flow_field field = allocate_flow_field(row.nx, row.ny, 1.0f, 1.0f);
        for (int i = 0; i < row.nx; ++i) {
            for (int j = 0; j < row.ny; ++j) {
                const double fluid = masks.solid_nodes[i][j] == 0 ? j - wall : 0.0;
                field.u[i][j] = static_cast<float>(2.0 * fluid);
                field.v[i][j] = static_cast<float>(-0.5 * fluid);
            }
        }
        impose_ghost_nodes(field, masks.ghosts);
        // Every column but the tunnel's inlet and outlet has its ghost.
        ASSERT_EQ(masks.ghosts.nodes.size(), static_cast<std::size_t>(row.nx - 2));
        for (const ghost_node& ghost : masks.ghosts.nodes) {
            const int j = static_cast<int>(ghost.node % row.ny);
            EXPECT_LE(j, wall);
            EXPECT_NEAR(field.u.data()[ghost.node], 2.0 * (j - wall), 2e-5 * row.ny);
            EXPECT_NEAR(field.v.data()[ghost.node], -0.5 * (j - wall), 5e-6 * row.ny);
        }
    }
}

}  // namespace
}  // namespace veltaro
