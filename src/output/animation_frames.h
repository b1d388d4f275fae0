// animation_frames: the pictures of the vorticity that make the animation
// of a time-accurate run, and the bounded buffer that holds them until the
// run ends.
//
// A frame is the picture's own size, scaled down to 800 pixels wide when it
// is wider, with a legend strip below it. Its pixels are indices into one
// 256-colour palette: 0 is black (the body, and the legend's text), 1 ... 255
// a diverging scale, blue for clockwise spin (omega < 0), white for none,
// red for anticlockwise, symmetric about zero, with 128 at zero. The scale's
// half-width is fixed for the whole animation, so a colour means the same
// vorticity in every frame; the legend writes it down.
//
// Frames are rendered as the run goes, one byte per pixel, into a buffer made
// once at the start and never larger than frame_buffer_limit: 64 MB holds
// 120 frames of 800 x 690 pixels. A picture so large that the frames asked
// for do not fit gets fewer (frames_that_fit), still spread over the same
// span of flow time.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <vector>

#include "field/grid.h"
#include "geometry/obstacle_masks.h"

namespace veltaro {

inline constexpr int max_frame_width = 800;
inline constexpr int legend_height = 16;
inline constexpr std::size_t frame_buffer_limit = std::size_t{64} << 20;  // bytes

inline constexpr unsigned char body_index = 0;
inline constexpr unsigned char zero_index = 128;

struct frame_size {
    int width = 0;
    int field_height = 0;  // rows of the flow; the legend follows
    [[nodiscard]] int height() const { return field_height + legend_height; }
    [[nodiscard]] std::size_t pixels() const {
        return static_cast<std::size_t>(width) * static_cast<std::size_t>(height());
    }
};

// The picture's size, scaled to max_frame_width when wider (the height in
// proportion, at least one row).
frame_size frame_size_for(int picture_width, int picture_height);

// The most frames, up to requested, whose pixels fit frame_buffer_limit.
int frames_that_fit(frame_size size, int requested);

struct rgb {
    unsigned char red = 0;
    unsigned char green = 0;
    unsigned char blue = 0;
    bool operator==(const rgb&) const = default;
};

// The 256 colours of every frame.
const std::array<rgb, 256>& animation_palette();

// omega's index on the scale of half-width bound: 1 at -bound and below,
// 128 at zero, 255 at +bound and above (NaN gives 128).
unsigned char scale_index(float omega, float bound);

// Room for a fixed number of frames, made at once: adding frames allocates
// nothing.
class frame_buffer {
public:
    frame_buffer(frame_size size, int capacity);
    [[nodiscard]] frame_size size() const { return size_; }
    [[nodiscard]] int capacity() const { return capacity_; }
    [[nodiscard]] int count() const { return count_; }
    [[nodiscard]] std::size_t bytes() const { return pixels_.size(); }
    // The next frame's pixels, rows top first; empty once the buffer is full.
    std::span<unsigned char> add();
    [[nodiscard]] std::span<const unsigned char> frame(int k) const;

private:
    frame_size size_;
    int capacity_ = 0;
    int count_ = 0;
    std::vector<unsigned char> pixels_;
};

// Renders omega (a node grid, [i][j] like the field) into pixels: the flow
// sampled bilinearly, the obstacle of the picture mask in black, and the
// legend with the scale from -bound to +bound. Allocates nothing.
void render_vorticity_frame(const float_grid& omega, float bound, const obstacle_masks& masks,
                            frame_size size, std::span<unsigned char> pixels);

}  // namespace veltaro
