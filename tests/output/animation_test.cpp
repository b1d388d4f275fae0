// The animation's pieces: the vorticity of fields whose spin is known, the
// scale's colours in a rendered frame, the frame buffer's memory bound, and
// an animation read back from its file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "output/animation_frames.h"
#include "output/vorticity.h"
#include "output/webp_animation.h"
#include "support/scratch_dir.h"

namespace veltaro {
namespace {

// Linear velocity fields have the same vorticity at every node, edges
// included, whatever the difference used there.
TEST(Animation, VorticityOfLinearFields) {
    const struct { float du_dy, dv_dx; } rows[] = {{2.0f, 0.0f}, {0.0f, -3.0f}, {-1.5f, 1.5f}};
    for (const auto& row : rows) {
        flow_field field = allocate_flow_field(7, 5, 0.5f, 0.25f);
        for (int i = 0; i < 7; ++i) {
            for (int j = 0; j < 5; ++j) {
                field.u[i][j] = row.du_dy * 0.25f * j;
                field.v[i][j] = row.dv_dx * 0.5f * i;
            }
        }
        float_grid omega;
        vorticity(field, omega);
        EXPECT_EQ(omega, float_grid(7, 5, row.dv_dx - row.du_dy));
    }
}

// omega = i - 10 on 21 x 5 nodes with the bound 10: the frame's columns run
// through the whole scale, blue to red, and the obstacle is black.
TEST(Animation, KnownVorticityGivesTheScaleColours) {
    float_grid omega(21, 5);
    for (std::size_t k = 0; k < omega.size(); ++k) omega.data()[k] = static_cast<float>(k / 5) - 10;
    obstacle_masks masks{{}, int_grid(200, 40, open_pixel)};
    masks.picture[100][20] = obstacle_pixel;
    const frame_size size = frame_size_for(200, 40);
    std::vector<unsigned char> pixels(size.pixels());
    render_vorticity_frame(omega, 10.0f, masks, size, pixels);
    // On row 10, at node column c / 10: omega = c / 10 - 10, index 128 + 127 omega / 10.
    for (const auto& [c, index] : {std::pair{0, 1}, {50, 64}, {100, 128}, {150, 192}, {199, 254}})
        EXPECT_NEAR(pixels[10 * 200 + c], index, 1) << c;
    EXPECT_EQ(pixels[0], 1);  // -10: the scale's blue end
    EXPECT_EQ(pixels[19 * 200 + 100], body_index);
    // Below the flow, the legend's bar runs to the scale's red end.
    EXPECT_EQ(*std::max_element(pixels.begin() + 40 * 200, pixels.end()), 255);
    const auto& palette = animation_palette();  // body, blue end, zero and red end
    EXPECT_EQ((std::vector{palette[body_index], palette[1], palette[zero_index], palette[255]}),
              (std::vector<rgb>{{0, 0, 0}, {5, 48, 97}, {247, 247, 247}, {103, 0, 31}}));
}

// Sizes are capped at 800 wide, and the frames that fit never hold more
// than 64 MB, however many are asked for.
TEST(Animation, FrameBufferStaysWithinItsBound) {
    const struct { int width, height, requested, frame_width, frames; } rows[] = {
        {400, 100, 120, 400, 120},
        {1600, 800, 120, 800, 120},  // 800 x 416 with the legend
        {800, 1600, 120, 800, 51},   // 800 x 1616: 64 MB / 1.29 MB
        {3200, 16000, 5, 800, 5},    // 800 x 4016, five fit
    };
    for (const auto& row : rows) {
        const frame_size size = frame_size_for(row.width, row.height);
        EXPECT_EQ(size.width, row.frame_width);
        const frame_buffer buffer(size, row.requested);
        EXPECT_EQ(buffer.capacity(), row.frames);
        EXPECT_LE(buffer.bytes(), frame_buffer_limit);
    }
    frame_buffer two(frame_size_for(10, 10), 2);
    for (const bool room : {true, true, false}) EXPECT_EQ(two.add().empty(), !room);
}

// Three frames of a vortex moving along: the file decodes to three frames
// of exactly the palette's colours at 40 ms each. Their size and the one
// legend are checked on a run's file (AnimationRun, tests/e2e/unsteady_test.cpp).
TEST(Animation, WebpReadsBackFrameForFrame) {
    const test::scratch_dir folder;
    const obstacle_masks masks{{}, int_grid(120, 30, open_pixel)};
    const frame_size size = frame_size_for(120, 30);
    frame_buffer frames(size, 3);
    for (int k = 0; k < 3; ++k) {
        float_grid omega(13, 4);
        omega[3 + 3 * k][2] = 5.0f;
        render_vorticity_frame(omega, 2.5f, masks, size, frames.add());
    }
    write_webp_animation("test.webp", frames, 40);
    const decoded_animation animation = read_webp_animation("test.webp");
    ASSERT_EQ(animation.frames.size(), 3u);
    EXPECT_EQ(animation.timestamps.back(), 120);
    for (int k = 0; k < 3; ++k) {
        const std::vector<unsigned char>& rgba = animation.frames[static_cast<std::size_t>(k)];
        for (std::size_t p = 0; p < size.pixels(); p += 37) {
            const rgb colour{rgba[4 * p], rgba[4 * p + 1], rgba[4 * p + 2]};
            ASSERT_EQ(colour, animation_palette()[frames.frame(k)[p]]) << k << ' ' << p;
        }
    }
    EXPECT_NE(animation.frames[0], animation.frames[2]);
}

}  // namespace
}  // namespace veltaro
