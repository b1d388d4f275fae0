// Reading real JPEG files: what the reader delivers, and how it refuses
// files it cannot use without leaving the process.
#include "geometry/jpeg_reader.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include <gtest/gtest.h>

#include "common/run_error.h"
#include "support/scratch_dir.h"
#include "support/make_jpeg.h"

namespace veltaro {
namespace {

using jpeg_reader_test = test::scratch_dir_test;

std::vector<char> file_bytes(const std::string& filename) {
    std::ifstream in(filename, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_bytes(const std::string& filename, const std::vector<char>& bytes) {
    std::ofstream out(filename, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string refusal(const std::string& filename) {
    try {
        jpeg_reader picture(filename);
        while (picture.rows_left()) {
            picture.read_row();
        }
        picture.finish();
    } catch (const run_error& error) {
        return error.what();
    }
    return "";
}

TEST_F(jpeg_reader_test, GreyPictureGivesOneSamplePerPixelTopRowFirst) {
    const std::string file = path("grey.jpg");
    test::write_jpeg(file, test::grey_picture(
                               5, 3, [](int, int r) -> unsigned char { return r == 0 ? 0 : 255; }));
    jpeg_reader picture(file);
    EXPECT_EQ(picture.width(), 5);
    EXPECT_EQ(picture.height(), 3);
    EXPECT_EQ(picture.components(), 1);
    std::vector<int> rows;
    while (picture.rows_left()) {
        const decoded_row row = picture.read_row();
        ASSERT_EQ(row.samples.size(), 5u);
        EXPECT_NEAR(row.samples[2], row.r == 0 ? 0 : 255, 2);
        rows.push_back(row.r);
    }
    picture.finish();
    EXPECT_EQ(rows, (std::vector<int>{0, 1, 2}));
}

TEST_F(jpeg_reader_test, ColourPictureGivesRedGreenBlue) {
    const std::string file = path("colour.jpg");
    test::write_jpeg(file, test::rgb_picture(8, 8, [](int c, int) {
                         return c < 4 ? test::rgb{255, 0, 0} : test::rgb{0, 0, 255};
                     }));
    jpeg_reader picture(file);
    ASSERT_EQ(picture.components(), 3);
    const decoded_row row = picture.read_row();
    ASSERT_EQ(row.samples.size(), 24u);
    EXPECT_NEAR(row.samples[0], 255, 3);
    EXPECT_NEAR(row.samples[1], 0, 3);
    EXPECT_NEAR(row.samples[2], 0, 3);
    EXPECT_NEAR(row.samples[21], 0, 3);
    EXPECT_NEAR(row.samples[23], 255, 3);
}

TEST_F(jpeg_reader_test, OnePixelHighPictureHasOneRow) {
    const std::string file = path("line.jpg");
    test::write_jpeg(file, test::flat_picture(20000, 1, 1, 0));
    jpeg_reader picture(file);
    EXPECT_EQ(picture.width(), 20000);
    ASSERT_TRUE(picture.rows_left());
    EXPECT_EQ(picture.read_row().r, 0);
    EXPECT_FALSE(picture.rows_left());
    picture.finish();
}

TEST_F(jpeg_reader_test, FourComponentsArePassedOnForTheCallerToJudge) {
    const std::string file = path("cmyk.jpg");
    test::write_jpeg(file, test::flat_picture(4, 4, 4, 0));
    EXPECT_EQ(jpeg_reader(file).components(), 4);
}

TEST_F(jpeg_reader_test, FilesThatCannotBeOpenedOrReadGiveTheOpenMessage) {
    EXPECT_EQ(refusal(path("missing.jpg")), "Can't open input jpg file");
    EXPECT_EQ(refusal(path("")), "Can't open input jpg file");  // the directory itself
}

TEST_F(jpeg_reader_test, UnusableDataGivesTheDecodersMessage) {
    const std::string empty = path("empty.jpg");
    write_bytes(empty, {});
    EXPECT_EQ(refusal(empty), "Empty input file");

    const std::string text = path("text.jpg");
    write_bytes(text, {'h', 'e', 'l', 'l', 'o'});
    EXPECT_EQ(refusal(text), "Not a JPEG file: starts with 0x68 0x65");

    const std::string whole = path("whole.jpg");
    test::write_jpeg(whole, test::disc_picture(32, 32, 16.0, 16.0, 8.0));
    std::vector<char> bytes = file_bytes(whole);
    const std::string header_only = path("header_only.jpg");
    write_bytes(header_only, {bytes.begin(), bytes.begin() + 30});
    EXPECT_FALSE(refusal(header_only).empty());
}

// A picture cut off anywhere is refused with the decoder's own words: read
// on, the decoder would fill the missing rows with grey, and the obstacle
// would lose part of its shape without a word.
TEST_F(jpeg_reader_test, PictureCutShortIsRefusedWithTheDecodersWarning) {
    const test::picture disc = test::disc_picture(64, 64, 32.0, 32.0, 20.0);
    test::write_jpeg(path("baseline.jpg"), disc);
    test::write_jpeg(path("progressive.jpg"), disc, {.quality = 100, .progressive = true});
    for (const char* name : {"baseline.jpg", "progressive.jpg"}) {
        const std::vector<char> bytes = file_bytes(path(name));
        const std::string cut = path(std::string("cut-") + name);
        // Two thirds of the pixel data, and then everything but the final
        // end-of-image marker: refused either way.
        write_bytes(cut, {bytes.begin(), bytes.end() - static_cast<long>(bytes.size() / 3)});
        EXPECT_EQ(refusal(cut), "Premature end of JPEG file") << name;
        write_bytes(cut, {bytes.begin(), bytes.end() - 2});
        EXPECT_EQ(refusal(cut), "Premature end of JPEG file") << name;
    }
}

// Damage the decoder can read past stays a warning, printed once, and the
// picture is read to the end.
TEST_F(jpeg_reader_test, OtherDamageIsOnlyAWarning) {
    test::write_jpeg(path("whole.jpg"), test::disc_picture(16, 16, 8.0, 8.0, 5.0));
    std::vector<char> bytes = file_bytes(path("whole.jpg"));
    ASSERT_EQ(static_cast<unsigned char>(bytes[bytes.size() - 2]), 0xFF);
    ASSERT_EQ(static_cast<unsigned char>(bytes[bytes.size() - 1]), 0xD9);
    // Bytes between the last pixel data and the end-of-image marker.
    bytes.insert(bytes.end() - 2, {'\xFF', '\x00', '\xFF', '\x00', '\xFF', '\x00', 'x', 'y', 'z'});
    write_bytes(path("padded.jpg"), bytes);
    testing::internal::CaptureStderr();
    EXPECT_EQ(refusal(path("padded.jpg")), "");
    const std::string warnings = testing::internal::GetCapturedStderr();
    EXPECT_NE(warnings.find("Corrupt JPEG data"), std::string::npos) << warnings;
}

// Sets the height and width of the first frame header (a baseline SOF0).
void claim_size(std::vector<char>& bytes, int width, int height) {
    for (std::size_t at = 0; at + 8 < bytes.size(); ++at) {
        if (static_cast<unsigned char>(bytes[at]) == 0xFF &&
            static_cast<unsigned char>(bytes[at + 1]) == 0xC0) {
            bytes[at + 5] = static_cast<char>(height >> 8);
            bytes[at + 6] = static_cast<char>(height & 0xFF);
            bytes[at + 7] = static_cast<char>(width >> 8);
            bytes[at + 8] = static_cast<char>(width & 0xFF);
            return;
        }
    }
    FAIL() << "no baseline frame header";
}

// The size is judged from the header alone, before the decoder sets memory
// aside: a few hundred bytes must not make the program ask for gigabytes.
TEST_F(jpeg_reader_test, PictureOverThePixelLimitIsRefusedFromItsHeader) {
    test::write_jpeg(path("small.jpg"), test::flat_picture(8, 8, 1, 255));
    std::vector<char> bytes = file_bytes(path("small.jpg"));
    claim_size(bytes, 65500, 65500);
    write_bytes(path("huge.jpg"), bytes);
    EXPECT_EQ(refusal(path("huge.jpg")),
              "The picture is 65500 x 65500 pixels; at most 50000000 pixels can be used: make it "
              "smaller.");

    claim_size(bytes, 10000, 5000);  // exactly the limit
    write_bytes(path("limit.jpg"), bytes);
    const jpeg_reader at_limit(path("limit.jpg"));
    EXPECT_EQ(at_limit.width(), 10000);
    EXPECT_EQ(at_limit.height(), 5000);

    EXPECT_EQ(jpeg_reader(path("small.jpg"), 64).width(), 8);
    EXPECT_THROW(jpeg_reader(path("small.jpg"), 63), run_error);
}

TEST_F(jpeg_reader_test, ProgressivePictureReadsLikeBaseline) {
    const test::picture disc = test::disc_picture(40, 24, 19.5, 11.5, 9.0);
    test::write_jpeg(path("baseline.jpg"), disc);
    test::write_jpeg(path("progressive.jpg"), disc, {.quality = 100, .progressive = true});
    jpeg_reader baseline(path("baseline.jpg"));
    jpeg_reader progressive(path("progressive.jpg"));
    while (baseline.rows_left()) {
        ASSERT_TRUE(progressive.rows_left());
        const decoded_row expected = baseline.read_row();
        const std::vector<unsigned char> wanted(expected.samples.begin(), expected.samples.end());
        const decoded_row got = progressive.read_row();
        EXPECT_EQ(std::vector<unsigned char>(got.samples.begin(), got.samples.end()), wanted)
            << "row " << got.r;
    }
    EXPECT_FALSE(progressive.rows_left());
}

}  // namespace
}  // namespace veltaro
