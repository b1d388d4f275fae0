#include "geometry/covered_nodes.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "geometry/obstacle_masks.h"

namespace veltaro {

const char* solid_node_rule_name(solid_node_rule rule) {
    switch (rule) {
        case solid_node_rule::covered: return "covered";
        case solid_node_rule::outline: return "outline";
        case solid_node_rule::sampled: break;
    }
    return "sampled";
}

namespace {

// The pixels one node's cell overlaps along one axis, and by how much.
struct cell_span {
    int first_pixel = 0;
    std::vector<std::int64_t> overlap;  // for pixels first_pixel, first_pixel + 1, ...
    std::int64_t length = 0;            // the cell's length inside the picture
};

// Along an axis of `pixels` pixels stretched over `nodes` nodes, pixel p
// covers [p, p + 1) (nodes - 1) / pixels node spacings and node n's cell
// [n - 1/2, n + 1/2], clipped to [0, nodes - 1]. Multiplied by 2 pixels,
// every edge is a whole number: pixel edges at 2 p (nodes - 1), cell edges
// at (2 n -+ 1) pixels. The mirror image p -> pixels - 1 - p, n -> nodes - 1
// - n maps these edges onto each other exactly.
std::vector<cell_span> cell_spans(int nodes, int pixels) {
    std::vector<cell_span> spans(static_cast<std::size_t>(nodes));
    if (nodes == 1) {
        // The picture collapses onto the one node: every pixel counts whole.
        spans[0].overlap.assign(static_cast<std::size_t>(pixels), 1);
        spans[0].length = pixels;
        return spans;
    }
    const std::int64_t pixel_width = 2 * static_cast<std::int64_t>(nodes - 1);
    const std::int64_t end = pixel_width * pixels;
    for (int n = 0; n < nodes; ++n) {
        const std::int64_t low = std::max<std::int64_t>((2 * std::int64_t{n} - 1) * pixels, 0);
        const std::int64_t high = std::min<std::int64_t>((2 * std::int64_t{n} + 1) * pixels, end);
        cell_span& span = spans[static_cast<std::size_t>(n)];
        span.length = high - low;
        span.first_pixel = static_cast<int>(low / pixel_width);
        for (int p = span.first_pixel; p < pixels && p * pixel_width < high; ++p) {
            const std::int64_t from = std::max(low, p * pixel_width);
            const std::int64_t to = std::min(high, (p + 1) * pixel_width);
            span.overlap.push_back(std::max<std::int64_t>(to - from, 0));
        }
    }
    return spans;
}

// The dark length of pixel column c inside the cell span of each node row.
void add_column(const int_grid& picture, int c, std::int64_t width,
                const std::vector<cell_span>& rows, std::vector<std::int64_t>& covered) {
    const int* column = picture[c];
    for (std::size_t j = 0; j < rows.size(); ++j) {
        const cell_span& span = rows[j];
        std::int64_t dark = 0;
        for (std::size_t k = 0; k < span.overlap.size(); ++k) {
            if (column[span.first_pixel + static_cast<int>(k)] != open_pixel) {
                dark += span.overlap[k];
            }
        }
        covered[j] += width * dark;
    }
}

}  // namespace

int_grid covered_nodes(const int_grid& picture, int nx, int ny) {
    int_grid solid(nx, ny, 0);
    if (nx < 1 || ny < 1 || picture.nx() < 1 || picture.ny() < 1) return solid;
    const std::vector<cell_span> columns = cell_spans(nx, picture.nx());
    const std::vector<cell_span> rows = cell_spans(ny, picture.ny());
    std::vector<std::int64_t> covered(static_cast<std::size_t>(ny));
    for (int i = 0; i < nx; ++i) {
        const cell_span& span = columns[static_cast<std::size_t>(i)];
        std::fill(covered.begin(), covered.end(), 0);
        for (std::size_t k = 0; k < span.overlap.size(); ++k) {
            add_column(picture, span.first_pixel + static_cast<int>(k), span.overlap[k], rows,
                       covered);
        }
        for (int j = 0; j < ny; ++j) {
            // Solid when covered / area >= 1/2, compared without a division.
            const std::int64_t area = span.length * rows[static_cast<std::size_t>(j)].length;
            solid[i][j] = 2 * covered[static_cast<std::size_t>(j)] >= area && area > 0 ? 1 : 0;
        }
    }
    return solid;
}

}  // namespace veltaro
