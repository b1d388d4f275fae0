// The PNG decoder's rows, kind by kind, on pictures small enough to state
// every sample: what a palette, a low bit depth, 16 bits and transparency
// become in the 8-bit grey or RGB samples the masks take. Here the darkness
// limit (49 of 255) is met exactly, which a run can show only roughly; the
// refusals are in the end-to-end matrix.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "common/picture_format.h"
#include "geometry/picture_file.h"
#include "geometry/png_reader.h"
#include "support/pictures.h"
#include "support/scratch_dir.h"

namespace veltaro {
namespace {

using test::png_colours;

// The samples as delivered, every row.
// clang-format off
struct png_row {
    const char* name; test::png_picture pixels; int components; std::vector<unsigned> samples;
};
// clang-format on

test::png_picture one_row(png_colours colours, int bit_depth, int width,
                          std::vector<unsigned> samples, std::vector<unsigned> transparent = {},
                          std::vector<std::array<unsigned char, 4>> palette = {}) {
    return {width, 1, colours, bit_depth, false, std::move(samples), std::move(palette),
            std::move(transparent)};
}

// A picture every sample of which differs from its neighbours'.
std::vector<unsigned> pattern(int count, unsigned modulus) {
    std::vector<unsigned> samples;
    for (int k = 0; k < count; ++k) samples.push_back((k * 37u + 11u) % modulus);
    return samples;
}

std::vector<png_row> kinds() {
    const auto grey = png_colours::grey, grey_alpha = png_colours::grey_alpha;
    const auto rgb = png_colours::rgb, rgb_alpha = png_colours::rgb_alpha;
    const auto palette = png_colours::palette;
    // 12593 / 65535 = 49 / 255 exactly.
    const unsigned limit16 = 12593, clear16 = 65535 - limit16;
    const std::array<unsigned char, 4> white{255, 255, 255, 255}, black{0, 0, 0, 255};
    std::vector<std::array<unsigned char, 4>> sixteen(16, white);
    sixteen[15] = black;
    const test::png_picture interlaced{9, 7, grey, 8, true, pattern(63, 256)};
    const test::png_picture interlaced_palette{6, 5, palette, 2, true, pattern(30, 4),
        {{0, 0, 0, 255}, {85, 85, 85, 255}, {170, 170, 170, 0}, {255, 255, 255, 255}}};
    // Entry 2 is clear: white shows through.
    std::vector<unsigned> palette_shown;
    for (const unsigned index : interlaced_palette.samples)
        palette_shown.insert(palette_shown.end(), 3, index == 2 ? 255 : index * 85);
    // clang-format off
    return {
        {"grey, 8 bits, as they are", one_row(grey, 8, 4, {0, 49, 50, 255}), 1, {0, 49, 50, 255}},
        {"grey, 1 bit", one_row(grey, 1, 4, {0, 1, 1, 0}), 1, {0, 255, 255, 0}},
        {"grey, 2 bits", one_row(grey, 2, 4, {0, 1, 2, 3}), 1, {0, 85, 170, 255}},
        // 2/15 is dark, 3/15 is not.
        {"grey, 4 bits", one_row(grey, 4, 3, {2, 3, 15}), 1, {34, 51, 255}},
        {"grey, 16 bits, on either side of the limit",
         one_row(grey, 16, 4, {limit16, limit16 + 1, 0, 65535}), 1, {49, 50, 0, 255}},
        {"grey with a transparent value", one_row(grey, 8, 2, {0, 10}, {0}), 1, {255, 10}},
        {"the same, 16 bits", one_row(grey, 16, 2, {0, limit16}, {0}), 1, {255, 49}},
        // Black at opacity a shows 255 - a; (100, 128) shows
        // (100 * 128 + 255 * 127) / 255 = 177.2, rounded up.
        {"grey and opacity", one_row(grey_alpha, 8, 5, {0, 0, 0, 255, 0, 206, 0, 205, 100, 128}),
         1, {255, 0, 49, 50, 178}},
        {"grey and opacity, 16 bits, on either side of the limit",
         one_row(grey_alpha, 16, 2, {0, clear16, 0, clear16 - 1}), 1, {49, 50}},
        {"RGB, 8 bits", one_row(rgb, 8, 2, {49, 49, 49, 50, 0, 0}), 3, {49, 49, 49, 50, 0, 0}},
        {"RGB, 16 bits", one_row(rgb, 16, 2, {limit16, limit16, limit16, limit16 + 1, 0, 65535}),
         3, {49, 49, 49, 50, 0, 255}},
        {"RGB, a transparent colour", one_row(rgb, 8, 2, {10, 20, 30, 10, 20, 31}, {10, 20, 30}),
         3, {255, 255, 255, 10, 20, 31}},
        {"RGB and opacity", one_row(rgb_alpha, 8, 3, {0, 0, 0, 0, 0, 0, 0, 255, 255, 0, 0, 128}),
         3, {255, 255, 255, 0, 0, 0, 255, 127, 127}},
        {"RGB and opacity, 16 bits", one_row(rgb_alpha, 16, 2, {0, 0, 0, 0, 0, limit16, 0, 65535}),
         3, {255, 255, 255, 0, 49, 0}},
        {"a palette", one_row(palette, 8, 3, {0, 1, 2}, {}, {black, white, {49, 49, 49, 255}}), 3,
         {0, 0, 0, 255, 255, 255, 49, 49, 49}},
        {"a palette with transparent entries",
         one_row(palette, 8, 3, {0, 1, 2}, {}, {black, {0, 0, 0, 0}, {0, 0, 0, 206}}), 3,
         {0, 0, 0, 255, 255, 255, 49, 49, 49}},
        {"a palette of 1 bit", one_row(palette, 1, 3, {1, 0, 1}, {}, {white, black}), 3,
         {0, 0, 0, 255, 255, 255, 0, 0, 0}},
        {"a palette of 4 bits", one_row(palette, 4, 2, {15, 0}, {}, sixteen), 3,
         {0, 0, 0, 255, 255, 255}},
        {"interlaced, rows in order", interlaced, 1, interlaced.samples},
        {"interlaced palette of 2 bits", interlaced_palette, 3, palette_shown},
    };
    // clang-format on
}

TEST(PngReader, EveryKindGivesTheSamplesLaidOverWhite) {
    const test::scratch_dir folder;
    for (const png_row& row : kinds()) {
        SCOPED_TRACE(row.name);
        test::write_png("picture.png", row.pixels);
        png_reader picture(open_picture_file("picture.png"));
        EXPECT_EQ(picture.width(), row.pixels.width);
        EXPECT_EQ(picture.height(), row.pixels.height);
        EXPECT_EQ(picture.components(), row.components);
        std::vector<unsigned> samples;
        for (int r = 0; picture.rows_left(); ++r) {
            const decoded_row decoded = picture.read_row();
            EXPECT_EQ(decoded.r, r);
            samples.insert(samples.end(), decoded.samples.begin(), decoded.samples.end());
        }
        picture.finish();
        EXPECT_EQ(samples, row.samples);
    }
}

// The formats not told by their first bytes alone: the end-to-end matrix
// has one row of each format a user is likely to give.
TEST(PictureFile, FirstBytesThatResembleAnotherFormat) {
    // clang-format off
    const struct { const char* name; std::string bytes, reason; } rows[] = {
        {"a text that starts like a BMP", "BMW 320\n", "it looks like text"},
        {"text in UTF-8 with a byte order mark", "\xEF\xBB\xBF<svg>caf\xC3\xA9</svg>\r\n",
         "it looks like text"},
        {"a RIFF file that is no WebP", std::string("RIFF\x24\0\0\0WAVEfmt ", 16),
         "it is not a JPEG or PNG picture: it starts with 0x52 0x49 0x46 0x46"},
        {"a byte that UTF-8 never holds", "\xFF",
         "it is not a JPEG or PNG picture: it starts with 0xFF"},
        {"a JPEG that ends after its first marker", "\xFF\xD8", ""},
        {"a PNG whose line ends were converted", "\x89PNG\n\x1A\n", ""},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::span<const unsigned char> bytes(
            reinterpret_cast<const unsigned char*>(row.bytes.data()), row.bytes.size());
        // A reason is pinned by its start; an empty one whole.
        const std::string reason = unreadable_format(bytes);
        EXPECT_EQ(row.reason.empty() ? reason : reason.substr(0, row.reason.size()), row.reason);
    }
}

}  // namespace
}  // namespace veltaro
