// Encoder errors come back through the program's jpeg_guard.
#include "support/pictures.h"

#include <cstdio>
#include <stdexcept>

#include "common/jpeg_guard.h"
#include "geometry/jpeg_reader.h"

namespace veltaro::test {

picture draw_picture(int width, int height, int components,
                     const std::function<unsigned char(int c, int r, int k)>& sample) {
    picture pixels{width, height, components, {}};
    for (int r = 0; r < height; ++r) {
        for (int c = 0; c < width; ++c) {
            for (int k = 0; k < components; ++k) pixels.samples.push_back(sample(c, r, k));
        }
    }
    return pixels;
}

picture disc_picture(int width, int height, double centre_c, double centre_r, double radius) {
    return draw_picture(width, height, 1, [=](int c, int r, int) -> unsigned char {
        return (c - centre_c) * (c - centre_c) + (r - centre_r) * (r - centre_r) <= radius * radius
                   ? 0
                   : 255;
    });
}

namespace {

struct encoder {
    jpeg_guard errors{};
    jpeg_compress_struct info{};
    std::FILE* file = nullptr;
    ~encoder() {
        jpeg_destroy_compress(&info);
        if (file != nullptr) std::fclose(file);
    }
};

}  // namespace

void write_jpeg(const std::string& file_name, const picture& pixels) {
    encoder jpeg;
    jpeg_compress_struct& info = jpeg.info;
    jpeg.file = std::fopen(file_name.c_str(), "wb");
    if (jpeg.file == nullptr) throw std::runtime_error("write_jpeg: cannot open " + file_name);
    info.err = install_guard(jpeg.errors);
    const bool written = run_guarded(jpeg.errors, [&] {
        jpeg_create_compress(&info);
        jpeg_stdio_dest(&info, jpeg.file);
        info.image_width = static_cast<JDIMENSION>(pixels.width);
        info.image_height = static_cast<JDIMENSION>(pixels.height);
        info.input_components = pixels.components;
        const J_COLOR_SPACE spaces[] = {JCS_GRAYSCALE, JCS_UNKNOWN, JCS_RGB, JCS_CMYK};
        info.in_color_space = spaces[pixels.components - 1];
        jpeg_set_defaults(&info);
        jpeg_set_quality(&info, 100, TRUE);
        for (int n = 0; n < info.num_components; ++n) {
            info.comp_info[n].h_samp_factor = info.comp_info[n].v_samp_factor = 1;
        }
        jpeg_start_compress(&info, TRUE);
        const std::size_t row_length = static_cast<std::size_t>(pixels.width) * pixels.components;
        while (info.next_scanline < info.image_height) {
            // The encoder only reads the rows it is given.
            JSAMPROW row =
                const_cast<unsigned char*>(pixels.samples.data()) + info.next_scanline * row_length;
            jpeg_write_scanlines(&info, &row, 1);
        }
        jpeg_finish_compress(&info);
    });
    if (!written) throw std::runtime_error("write_jpeg: " + std::string(jpeg.errors.message));
}

picture decode_jpeg(const std::string& file_name) {
    jpeg_reader reader(file_name);
    picture pixels{reader.width(), reader.height(), reader.components(), {}};
    while (reader.rows_left()) {
        const decoded_row row = reader.read_row();
        pixels.samples.insert(pixels.samples.end(), row.samples.begin(), row.samples.end());
    }
    return pixels;
}

}  // namespace veltaro::test
