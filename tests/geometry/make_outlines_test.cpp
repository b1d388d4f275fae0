// make_outlines on real JPEG files: grey and colour pictures, the refusals
// and their messages, and pictures of extreme shapes.
#include "geometry/obstacle_masks.h"

#include <fstream>
#include <iostream>
#include <numeric>
#include <sstream>

#include <gtest/gtest.h>

#include "common/run_error.h"
#include "support/scratch_dir.h"
#include "support/make_jpeg.h"

namespace veltaro {
namespace {

using make_outlines_test = test::scratch_dir_test;

class stdout_capture {
public:
    stdout_capture() : old_(std::cout.rdbuf(text_.rdbuf())) {}
    ~stdout_capture() { std::cout.rdbuf(old_); }
    stdout_capture(const stdout_capture&) = delete;
    stdout_capture& operator=(const stdout_capture&) = delete;
    [[nodiscard]] std::string text() const { return text_.str(); }

private:
    std::ostringstream text_;
    std::streambuf* old_;
};

int count(const int_grid& mask) {
    return std::accumulate(mask.data(), mask.data() + mask.size(), 0);
}

// The picture mask must hold exactly the classes of the picture drawn.
void expect_picture_mask(const obstacle_masks& masks, const test::picture& drawn,
                         bool (*dark)(int c, int r)) {
    ASSERT_EQ(masks.image_width, drawn.width);
    ASSERT_EQ(masks.image_height, drawn.height);
    for (int c = 0; c < drawn.width; ++c) {
        for (int r = 0; r < drawn.height; ++r) {
            EXPECT_EQ(masks.picture[c][drawn.height - 1 - r],
                      dark(c, r) ? obstacle_pixel : open_pixel)
                << "pixel " << c << ", " << r;
        }
    }
}

bool in_disc(int c, int r) { return (c - 12) * (c - 12) + (r - 7) * (r - 7) <= 25; }

// A disc on white in grey, and the same disc on red and blue in colour: red
// and blue are open, so both give the same masks.
TEST_F(make_outlines_test, GreyAndColourPicturesOfOneShapeGiveOneMask) {
    const test::picture grey = test::disc_picture(30, 16, 12.0, 7.0, 5.0);
    const test::picture colour = test::rgb_picture(30, 16, [](int c, int r) {
        return in_disc(c, r) ? test::rgb{0, 0, 0}
               : c < 15      ? test::rgb{255, 0, 0}
                             : test::rgb{40, 40, 200};
    });
    test::write_jpeg(path("grey.jpg"), grey);
    test::write_jpeg(path("colour.jpg"), colour);
    const obstacle_masks from_grey = make_outlines(11, 6, path("grey.jpg"));
    const obstacle_masks from_colour = make_outlines(11, 6, path("colour.jpg"));

    expect_picture_mask(from_grey, grey, in_disc);
    expect_picture_mask(from_colour, colour, in_disc);
    ASSERT_EQ(from_grey.solid_nodes.nx(), 11);
    ASSERT_EQ(from_grey.solid_nodes.ny(), 6);
    // Node (4, 3) is reached by pixels c = 10..12, r = 5..7; the last of
    // them is (12, 7), the disc's centre.
    EXPECT_EQ(from_grey.solid_nodes[4][3], obstacle_pixel);
    EXPECT_EQ(from_grey.solid_nodes[0][0], open_pixel);
    EXPECT_EQ(from_colour.solid_nodes, from_grey.solid_nodes);
}

TEST_F(make_outlines_test, AllWhiteIsAllFluidAndAllBlackAllSolid) {
    test::write_jpeg(path("white.jpg"), test::flat_picture(7, 5, 1, 255));
    test::write_jpeg(path("black.jpg"), test::flat_picture(7, 5, 3, 0));
    const obstacle_masks white = make_outlines(5, 4, path("white.jpg"));
    const obstacle_masks black = make_outlines(5, 4, path("black.jpg"));
    EXPECT_EQ(count(white.solid_nodes) + count(white.picture), 0);
    EXPECT_EQ(count(black.solid_nodes), 5 * 4);
    EXPECT_EQ(count(black.picture), 7 * 5);
}

TEST_F(make_outlines_test, CmykIsRefusedWithTheComponentLineOnStandardOutput) {
    test::write_jpeg(path("cmyk.jpg"), test::flat_picture(4, 4, 4, 0));
    stdout_capture out;
    try {
        make_outlines(3, 3, path("cmyk.jpg"));
        ADD_FAILURE() << "a four-component picture was accepted";
    } catch (const run_error& error) {
        EXPECT_NE(std::string(error.what()).find("4 colour components"), std::string::npos)
            << error.what();
    }
    EXPECT_EQ(out.text(), "Number of color components in JPG image not recognized\n");
}

TEST_F(make_outlines_test, MissingFileGivesOnlyTheOpenMessage) {
    stdout_capture out;
    try {
        make_outlines(3, 3, path("no such picture.jpg"));
        ADD_FAILURE() << "a missing picture was accepted";
    } catch (const run_error& error) {
        EXPECT_STREQ(error.what(), "Can't open input jpg file");
    }
    EXPECT_EQ(out.text(), "");
}

TEST_F(make_outlines_test, FileThatIsNotAPictureIsRefused) {
    std::ofstream(path("empty.jpg")).close();
    std::ofstream(path("notes.jpg")) << "not a picture\n";
    EXPECT_THROW(make_outlines(3, 3, path("empty.jpg")), run_error);
    EXPECT_THROW(make_outlines(3, 3, path("notes.jpg")), run_error);
}

// The limit is checked on the header, before either mask exists; the
// program's own limit is tested with the reader.
TEST_F(make_outlines_test, PictureOverTheGivenPixelLimitIsRefused) {
    test::write_jpeg(path("small.jpg"), test::flat_picture(8, 4, 1, 0));
    EXPECT_EQ(count(make_outlines(3, 3, path("small.jpg"), 32).picture), 32);
    try {
        make_outlines(3, 3, path("small.jpg"), 31);
        ADD_FAILURE() << "a picture over the limit was accepted";
    } catch (const run_error& error) {
        EXPECT_STREQ(
            error.what(),
            "The picture is 8 x 4 pixels; at most 31 pixels can be used: make it smaller.");
    }
}

// One row, r = 0, centred at sy / 2 = 1 node row below the top wall, so
// only the middle node row is reached.
TEST_F(make_outlines_test, OnePixelHighPicture) {
    test::write_jpeg(path("line.jpg"), test::flat_picture(8, 1, 1, 0));
    const obstacle_masks masks = make_outlines(3, 3, path("line.jpg"));
    EXPECT_EQ(count(masks.picture), 8);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(masks.solid_nodes[i][0], open_pixel);
        EXPECT_EQ(masks.solid_nodes[i][1], obstacle_pixel);
        EXPECT_EQ(masks.solid_nodes[i][2], open_pixel);
    }
}

TEST_F(make_outlines_test, ExtremePictureShapes) {
    test::write_jpeg(path("dot.jpg"), test::flat_picture(1, 1, 1, 0));
    const obstacle_masks dot = make_outlines(3, 3, path("dot.jpg"));
    EXPECT_EQ(dot.picture[0][0], obstacle_pixel);
    EXPECT_EQ(dot.solid_nodes[1][1], obstacle_pixel);  // the one node a lone pixel reaches
    EXPECT_EQ(count(dot.solid_nodes), 1);

    test::write_jpeg(path("wide.jpg"), test::flat_picture(20000, 1, 1, 0));
    const obstacle_masks wide = make_outlines(3, 3, path("wide.jpg"));
    EXPECT_EQ(wide.image_width, 20000);
    EXPECT_EQ(count(wide.picture), 20000);
    EXPECT_EQ(count(wide.solid_nodes), 3);
}

}  // namespace
}  // namespace veltaro
