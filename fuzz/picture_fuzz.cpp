// Fuzz target: arbitrary bytes as the obstacle picture, through the picture
// loader (the JPEG or the PNG decoder, as the bytes begin) and the mask
// builder (make_outlines). The first two bytes choose the node grid, nx and
// ny from 3 to 64; the rest is the picture file. The seeds hold pictures of
// both formats, so that both decoders are explored. A
// refusal (run_error) is a correct outcome; any other exception, a crash, a
// sanitizer report or a hang is a finding, and so is an accepted picture
// whose masks are not what the solver and the images rely on.
//
//   scripts/fuzz.sh picture 600         # ten minutes on the seed corpus
//
// The decoder reads from a file, as in a run: each input is written to a
// file of this process's own under the temporary directory.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "common/run_error.h"
#include "fuzz_support.h"
#include "geometry/obstacle_masks.h"

namespace veltaro::fuzz {
namespace {

// Far below the program's own limit: the code paths are the same, and a
// header that claims a large picture must not slow every input down.
constexpr long long fuzz_max_pixels = 1 << 16;

const std::string& picture_path() {
    static const std::string path = (std::filesystem::temp_directory_path() /
                                     ("veltaro-fuzz-picture-" + std::to_string(getpid())))
                                        .string();
    return path;
}

struct file_closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

void write_picture(const std::uint8_t* data, std::size_t size) {
    const std::unique_ptr<std::FILE, file_closer> file(std::fopen(picture_path().c_str(), "wb"));
    require(file != nullptr, "the temporary picture file can be written");
    require(std::fwrite(data, 1, size, file.get()) == size,
            "the temporary picture file can be written");
}

bool mask_values_only(const int_grid& mask) {
    for (std::size_t k = 0; k < mask.size(); ++k) {
        if (mask.data()[k] != open_pixel && mask.data()[k] != obstacle_pixel) return false;
    }
    return true;
}

void check_accepted(const obstacle_masks& masks, int nx, int ny) {
    require(masks.solid_nodes.nx() == nx && masks.solid_nodes.ny() == ny,
            "a node mask of the grid's size");
    const int width = masks.picture.nx();
    const int height = masks.picture.ny();
    require(width >= 1 && height >= 1, "a picture of at least one pixel");
    require(static_cast<long long>(width) * height <= fuzz_max_pixels,
            "a picture within the pixel limit");
    require(mask_values_only(masks.solid_nodes) && mask_values_only(masks.picture),
            "masks of 0 and 1 only");
}

void load_picture(const std::uint8_t* data, std::size_t size) {
    const int nx = 3 + data[0] % 62;
    const int ny = 3 + data[1] % 62;
    write_picture(data + 2, size - 2);
    try {
        check_accepted(make_outlines(nx, ny, picture_path(), fuzz_max_pixels), nx, ny);
    } catch (const run_error&) {
        // A refusal: what the program must do with a picture it cannot use.
    }
}

}  // namespace
}  // namespace veltaro::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::atexit([] { std::remove(veltaro::fuzz::picture_path().c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size >= 2) veltaro::fuzz::load_picture(data, size);
    return 0;
}
