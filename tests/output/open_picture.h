// Picture masks for the output tests: a picture with no obstacle in it.
#pragma once

#include "geometry/obstacle_masks.h"

namespace veltaro::test {

inline obstacle_masks open_picture(int width, int height) {
    obstacle_masks masks;
    masks.picture = int_grid(width, height, open_pixel);
    masks.image_width = width;
    masks.image_height = height;
    return masks;
}

}  // namespace veltaro::test
