// Test helper: decodes a JPEG file the program wrote, to check its size and
// colours. Independent of the program's own reader, so a fault there cannot
// hide one in the writer.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace veltaro::test {

struct decoded_picture {
    int width = 0;
    int height = 0;
    int components = 0;
    // Rows from the top, pixels left to right, `components` samples each.
    std::vector<unsigned char> samples;

    [[nodiscard]] std::array<int, 3> rgb(int c, int r) const {
        const auto at = (static_cast<std::size_t>(r) * width + c) * components;
        return {samples[at], samples[at + 1], samples[at + 2]};
    }
};

// Throws std::runtime_error when the file is missing or not a JPEG.
decoded_picture decode_jpeg(const std::string& file_name);

}  // namespace veltaro::test
