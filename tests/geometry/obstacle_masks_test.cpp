// From pixels to the node mask, on hand-made rows where the dark limit and
// the half-way ties are exact, and again through a PNG file, which keeps
// every sample, and a JPEG file where only black and white are used. Pictures the run refuses are
// in the end-to-end matrix; the picture mask is drawn in the regression run's pictures.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/run_error.h"
#include "geometry/obstacle_masks.h"
#include "geometry/outline_rows.h"
#include "support/pictures.h"
#include "support/scratch_dir.h"

namespace veltaro {
namespace {

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    for (std::string word; in >> word;) out.push_back(word);
    return out;
}

TEST(ObstacleMasks, PixelsReachTheirNearestNodesAndTheLastWriterDecides) {
    // clang-format off
    // Samples, one word per pixel row from the top: '#' 0, 'a' 49, 'b' 50,
    // '.' 255. Nodes, one word per node row from the top wall, '#' solid and
    // '.' fluid, from the inlet on.
    const struct { const char* name; int nx, ny, components; std::string pixels, nodes; } rows[] = {
        {"grey is dark up to 49", 2, 1, 1, "ab", "#."},
        {"colour is dark only when all three are", 4, 1, 3, "aaa##b.##aba", "#..."},
        {"colour from a file", 3, 1, 3, "##.###.##", ".#."},
        // sx = 0.5: pixel centres at 0.25, 0.75, 1.25, 1.75 reach nodes 0, 1, 1, 2.
        {"four pixels on three nodes, first", 3, 1, 1, "#...", "#.."},
        {"four pixels on three nodes, second", 3, 1, 1, ".#..", "..."},
        {"four pixels on three nodes, third", 3, 1, 1, "..#.", ".#."},
        {"four rows on three nodes, second", 1, 3, 1, ". # . .", ". . ."},
        {"four rows on three nodes, third", 1, 3, 1, ". . # .", ". # ."},
        {"four rows on three nodes, last", 1, 3, 1, ". . . #", ". . #"},
        // sx = 0.6: pixel 2's centre lies at 1.5 exactly and goes to node 2.
        {"a tie along goes to the larger node", 4, 1, 1, ".#...", ".#.."},
        {"a tie along leaves the smaller node", 4, 1, 1, "..#..", "...."},
        {"a tie across goes to the lower node", 1, 4, 1, ". # . . .", ". # . ."},
        // Pixel 11 of 23 on 2 nodes is half-way, but the running sum of sx
        // lands a hair below it: node 0. As 11.5 sx it would go to node 1.
        {"a running sum decides near half-way", 2, 1, 1, "...........#...........", "#."},
        {"a running sum decides near half-way across", 1, 2, 1,
         ". . . . . . . . . . . # . . . . . . . . . . .", "# ."},
        {"the top-left pixel reaches the top-left node", 4, 3, 1,
         "#..... ...... ...... ...... ......", "#... .... ...."},
        // sx = sy = 2: centres at 1 and 3 only.
        {"nodes no pixel reaches stay fluid", 5, 5, 1, "## ##", "..... .#.#. ..... .#.#. ....."},
        {"one node takes the last pixel", 1, 1, 1, "..# ##.", "."},
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
        for (int r = 0; r < pixels.height; ++r) {
            add_outline_row(builder, r, {&pixels.samples[r * stride], stride}, row.components);
        }
        const auto nodes = [&](const obstacle_masks& masks) {
            std::string text;
            for (int j = row.ny - 1; j >= 0; --j) {
                for (int i = 0; i < row.nx; ++i) text += masks.solid_nodes[i][j] ? '#' : '.';
                if (j > 0) text += ' ';
            }
            return text;
        };
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

}  // namespace
}  // namespace veltaro
