// webp_animation: the animation file, an animated WebP that browsers and
// most image viewers play with nothing else installed. The one place that
// knows libwebp; nothing else sees its types.
//
// Why WebP rather than GIF: both hold the frames' 256 colours exactly, but
// WebP's lossless coding predicts each pixel from its neighbours, where GIF
// only finds repeated runs, and the smooth blends of a vortex street are
// mostly the former (docs/method.md, "The animation", gives the sizes).
//
//   write_webp_animation("vorticity.webp", frames, 40);  // throws run_error
#pragma once

#include <string>
#include <vector>

#include "output/animation_frames.h"

namespace veltaro {

// Every frame of the buffer, each shown for frame_milliseconds, looping for
// ever. Lossless by default; lossy at quality 80 for comparison. Written
// through atomic_file: an older file stays until the new one is complete.
// Throws run_error naming the file when it cannot be encoded or written.
void write_webp_animation(const std::string& file_name, const frame_buffer& frames,
                          int frame_milliseconds, bool lossless = true);

// An animation read back: its size and every frame's pixels as red, green,
// blue, alpha, rows top first. For the tests and tools; throws run_error
// naming the file when it is no animated WebP.
struct decoded_animation {
    int width = 0;
    int height = 0;
    std::vector<int> timestamps;  // ms at each frame's end
    std::vector<std::vector<unsigned char>> frames;
};
decoded_animation read_webp_animation(const std::string& file_name);

}  // namespace veltaro
