// JPEG encoder errors come back through the program's jpeg_guard; PNG
// encoder errors through the encoder's own jump buffer.
#include "support/pictures.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <stdexcept>

#include "common/jpeg_guard.h"
#include "geometry/jpeg_reader.h"

#include <png.h>

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

namespace {

struct png_encoder {
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::FILE* file = nullptr;
    ~png_encoder() {
        png_destroy_write_struct(&png, &info);
        if (file != nullptr) std::fclose(file);
    }
};

struct png_kind {
    int channels;
    int colour_type;
};

png_kind kind_of(png_colours colours) {
    const png_kind kinds[] = {{1, PNG_COLOR_TYPE_GRAY}, {2, PNG_COLOR_TYPE_GRAY_ALPHA},
                              {3, PNG_COLOR_TYPE_RGB}, {4, PNG_COLOR_TYPE_RGB_ALPHA},
                              {1, PNG_COLOR_TYPE_PALETTE}};
    return kinds[static_cast<int>(colours)];
}

// The samples packed as the file stores them: most significant bits first
// below 8 bits, most significant byte first at 16.
std::vector<unsigned char> packed_rows(const png_picture& pixels) {
    const std::size_t per_row =
        static_cast<std::size_t>(pixels.width) * kind_of(pixels.colours).channels;
    const std::size_t row_bytes = (per_row * pixels.bit_depth + 7) / 8;
    std::vector<unsigned char> bytes(row_bytes * pixels.height);
    for (std::size_t k = 0; k < pixels.samples.size(); ++k) {
        const std::size_t row = k / per_row, bit = (k % per_row) * pixels.bit_depth;
        unsigned char* at = &bytes[row * row_bytes + bit / 8];
        const unsigned value = pixels.samples[k];
        if (pixels.bit_depth == 16) {
            at[0] = static_cast<unsigned char>(value >> 8);
            at[1] = static_cast<unsigned char>(value);
        } else {
            *at |= static_cast<unsigned char>(value << (8 - pixels.bit_depth - bit % 8));
        }
    }
    return bytes;
}

// What a tRNS chunk says, ready before the encoder starts: no object with
// a destructor may be made between the setjmp and the encoder's jump.
struct png_transparency {
    std::vector<png_color> palette;
    std::vector<png_byte> opacities;  // of the palette entries; empty when all opaque
    png_color_16 colour{};            // of grey or RGB
};

png_transparency transparency_of(const png_picture& pixels) {
    png_transparency chunk;
    for (const auto& entry : pixels.palette) {
        chunk.palette.push_back({entry[0], entry[1], entry[2]});
        chunk.opacities.push_back(entry[3]);
    }
    if (std::all_of(chunk.opacities.begin(), chunk.opacities.end(),
                    [](png_byte opacity) { return opacity == 255; })) {
        chunk.opacities.clear();
    }
    const auto value = [&](std::size_t k) {
        return static_cast<png_uint_16>(pixels.transparent.at(k));
    };
    if (pixels.transparent.size() == 1) chunk.colour.gray = value(0);
    if (pixels.transparent.size() == 3) {
        chunk.colour.red = value(0), chunk.colour.green = value(1), chunk.colour.blue = value(2);
    }
    return chunk;
}

}  // namespace

void write_png(const std::string& file_name, const png_picture& pixels) {
    std::vector<unsigned char> bytes = packed_rows(pixels);
    std::vector<png_bytep> rows;
    for (int r = 0; r < pixels.height; ++r) {
        rows.push_back(&bytes[bytes.size() / pixels.height * r]);
    }
    png_transparency chunk = transparency_of(pixels);
    png_encoder encoder;
    encoder.file = std::fopen(file_name.c_str(), "wb");
    encoder.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (encoder.file != nullptr && encoder.png != nullptr) {
        encoder.info = png_create_info_struct(encoder.png);
    }
    if (encoder.info == nullptr) throw std::runtime_error("write_png: cannot open " + file_name);
    // Only the encoder's C frames lie between here and its jump back.
    if (setjmp(png_jmpbuf(encoder.png)) != 0) throw std::runtime_error("write_png: failed");
    png_init_io(encoder.png, encoder.file);
    png_set_IHDR(encoder.png, encoder.info, static_cast<png_uint_32>(pixels.width),
                 static_cast<png_uint_32>(pixels.height), pixels.bit_depth,
                 kind_of(pixels.colours).colour_type,
                 pixels.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!chunk.palette.empty()) {
        png_set_PLTE(encoder.png, encoder.info, chunk.palette.data(),
                     static_cast<int>(chunk.palette.size()));
    }
    if (!chunk.opacities.empty()) {
        png_set_tRNS(encoder.png, encoder.info, chunk.opacities.data(),
                     static_cast<int>(chunk.opacities.size()), nullptr);
    }
    if (!pixels.transparent.empty()) {
        png_set_tRNS(encoder.png, encoder.info, nullptr, 0, &chunk.colour);
    }
    png_write_info(encoder.png, encoder.info);
    png_write_image(encoder.png, rows.data());
    png_write_end(encoder.png, nullptr);
}

void write_png(const std::string& file_name, const picture& pixels) {
    const png_colours colours = pixels.components == 3 ? png_colours::rgb : png_colours::grey;
    write_png(file_name, {pixels.width, pixels.height, colours, 8, false,
                          std::vector<unsigned>(pixels.samples.begin(), pixels.samples.end())});
}

picture decode_jpeg(const std::string& file_name) {
    jpeg_reader reader(open_picture_file(file_name));
    picture pixels{reader.width(), reader.height(), reader.components(), {}};
    while (reader.rows_left()) {
        const decoded_row row = reader.read_row();
        pixels.samples.insert(pixels.samples.end(), row.samples.begin(), row.samples.end());
    }
    return pixels;
}

}  // namespace veltaro::test
