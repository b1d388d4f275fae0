// The one picture helper of the tests: pictures drawn in memory, written as
// real JPEG files (quality 100, no chroma subsampling, so flat areas keep
// their values) or PNG files of every kind, and read back from the files the
// program writes.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace veltaro::test {

struct picture {
    int width = 0;
    int height = 0;
    int components = 1;  // 1 grey, 3 RGB, 4 CMYK
    // Rows from the top, pixels left to right, `components` samples each.
    std::vector<unsigned char> samples;
};

// sample(c, r, k): component k of pixel (c, r).
picture draw_picture(int width, int height, int components,
                     const std::function<unsigned char(int c, int r, int k)>& sample);
// Grey, white with a black disc: pixel (c, r) is black when (c, r) lies
// within radius of (centre_c, centre_r).
picture disc_picture(int width, int height, double centre_c, double centre_r, double radius);

// Throws std::runtime_error when the picture cannot be written.
void write_jpeg(const std::string& file_name, const picture& pixels);

// The ways a PNG stores its pixels.
enum class png_colours { grey, grey_alpha, rgb, rgb_alpha, palette };

struct png_picture {
    int width = 0;
    int height = 0;
    png_colours colours = png_colours::grey;
    int bit_depth = 8;  // 1, 2, 4, 8 or 16, as the colours allow
    bool interlaced = false;
    // Rows from the top, pixels left to right, the samples of each pixel
    // (for a palette, its index) of bit_depth bits each.
    std::vector<unsigned> samples;
    // Red, green, blue and opacity of each palette entry; an opacity below
    // 255 anywhere gives the picture a transparency (tRNS) chunk.
    std::vector<std::array<unsigned char, 4>> palette = {};
    // For grey or RGB: the one grey value or colour that is transparent
    // (a tRNS chunk), when not empty.
    std::vector<unsigned> transparent = {};
};

// Throws std::runtime_error when the picture cannot be written.
void write_png(const std::string& file_name, const png_picture& pixels);
// An 8-bit grey or RGB PNG of the same samples: no loss, unlike a JPEG.
void write_png(const std::string& file_name, const picture& pixels);

// A picture file as the program's reader decodes it. The writer is checked
// independently of that reader, byte for byte, by the regression run.
picture decode_jpeg(const std::string& file_name);

}  // namespace veltaro::test
