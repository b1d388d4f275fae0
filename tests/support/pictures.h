// The one picture helper of the tests: pictures drawn in memory, written as
// real JPEG files (quality 100, no chroma subsampling, so flat areas keep
// their values), and read back from the files the program writes.
#pragma once

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

// A picture file as the program's reader decodes it. The writer is checked
// independently of that reader, byte for byte, by the regression run.
picture decode_jpeg(const std::string& file_name);

}  // namespace veltaro::test
