// Test helper: makes real JPEG files from pixels held in memory, for tests
// that read pictures the way the program does.
//
//   write_jpeg(path, disc_picture(64, 32, 20.0, 15.5, 6.0));
//   write_jpeg(path, grey_picture(8, 8, [](int c, int r) { ... }), {.quality = 75});
//
// JPEG is lossy. For tests that need exact pixel classes keep quality 100
// (the default) and use flat areas or values far from the dark limit;
// colour pictures are written without chroma subsampling so that colour
// edges stay sharp.
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

using rgb = std::array<unsigned char, 3>;

picture grey_picture(int width, int height,
                     const std::function<unsigned char(int c, int r)>& shade);
picture rgb_picture(int width, int height, const std::function<rgb(int c, int r)>& colour);
// Every sample of every pixel the same; with components = 4 it makes a CMYK picture.
picture flat_picture(int width, int height, int components, unsigned char sample);
// Grey, white with a black disc: pixel (c, r) is black when its centre,
// (c, r) in pixel units, lies within radius of (centre_c, centre_r).
picture disc_picture(int width, int height, double centre_c, double centre_r, double radius);

struct jpeg_options {
    int quality = 100;
    bool progressive = false;
};

// Throws std::runtime_error when the picture is malformed or the file cannot
// be written.
void write_jpeg(const std::string& filename, const picture& pixels, jpeg_options options = {});

}  // namespace veltaro::test
