// webp_animation: the animation file, an animated WebP that browsers and
// most image viewers play with nothing else installed. The one place that
// knows libwebp; nothing else sees its types.
//
// Why lossless WebP rather than GIF: both hold the frames' 256 colours
// exactly, but WebP's lossless coding predicts each pixel from its
// neighbours where GIF only finds repeated strings, and the smooth blends of
// a vortex street are mostly the former. The street behind the validation
// cylinder at Re_D 100 (standard mesh, 120 frames of 800 x 416): 2.8 MB as
// lossless WebP, 4.3 MB as GIF (256 colours, the same pixels); lossy WebP at
// quality 80 is 0.7 MB, but smears the legend's digits and shifts the
// colours off the scale.
//
//   write_webp_animation("vorticity.webp", frames, 40);  // throws run_error
#pragma once

#include <string>
#include <vector>

#include "output/animation_frames.h"

namespace veltaro {

// Every frame of the buffer, each shown for frame_milliseconds, looping for
// ever. A frame equal to the one before is not stored again: the encoder
// shows the earlier one for longer, so a flow that has settled gives a file
// of fewer frames than the buffer held, and the same playing time. Lossless by default; lossy at
// quality 80 for comparison. Written through atomic_file: an older file stays until the new one is
// complete. Throws run_error naming the file when it cannot be encoded or written.
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
