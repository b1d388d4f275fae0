#include <string>
#include <utility>

#include "common/run_error.h"
#include "geometry/jpeg_reader.h"
#include "geometry/obstacle_masks.h"
#include "geometry/outline_rows.h"
#include "geometry/picture_file.h"
#include "geometry/png_reader.h"

namespace veltaro {
namespace {

// Grey pictures come as one sample per pixel, colour ones as RGB; CMYK and
// the rarer kinds are refused before any memory is set aside for them.
void check_components(int components) {
    if (components == 1 || components == 3) {
        return;
    }
    throw unrecognised_components(
        "The picture has " + std::to_string(components) +
        " colour components; save it as a grey-scale or RGB JPEG, or as a PNG.");
}

// The same steps for either decoder: both deliver rows of 8-bit grey or RGB
// samples from the top of the picture down.
template <typename Reader>
obstacle_masks read_outlines(Reader picture, int nx, int ny) {
    check_components(picture.components());
    mask_builder builder = start_outlines(nx, ny, picture.width(), picture.height());
    while (picture.rows_left()) {
        const decoded_row row = picture.read_row();
        add_outline_row(builder, row.r, row.samples, picture.components());
    }
    picture.finish();
    return std::move(builder.masks);
}

}  // namespace

obstacle_masks make_outlines(int nx, int ny, const std::string& filename, long long max_pixels) {
    picture_file file = open_picture_file(filename);
    if (file.format == picture_format::png) {
        return read_outlines(png_reader(std::move(file), max_pixels), nx, ny);
    }
    return read_outlines(jpeg_reader(std::move(file), max_pixels), nx, ny);
}

obstacle_masks make_outlines(int nx, int ny, const std::string& filename) {
    return make_outlines(nx, ny, filename, max_picture_pixels);
}

}  // namespace veltaro
