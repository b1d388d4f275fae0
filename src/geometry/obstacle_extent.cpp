#include "geometry/obstacle_extent.h"

#include <vector>

#include "geometry/obstacle_masks.h"

namespace veltaro {

obstacle_extent measure_obstacle(const int_grid& picture) {
    obstacle_extent extent;
    std::vector<bool> row_solid(static_cast<std::size_t>(picture.ny()), false);
    for (int c = 0; c < picture.nx(); ++c) {
        const int* column = picture[c];
        bool column_solid = false;
        for (int r = 0; r < picture.ny(); ++r) {
            if (column[r] != obstacle_pixel) continue;
            column_solid = true;
            row_solid[static_cast<std::size_t>(r)] = true;
        }
        if (column_solid) ++extent.columns;
    }
    for (const bool solid : row_solid) extent.rows += solid ? 1 : 0;
    return extent;
}

}  // namespace veltaro
