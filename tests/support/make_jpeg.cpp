// Encoder errors come back through the program's jpeg_guard, and write_jpeg
// turns the message into an exception.
#include "support/make_jpeg.h"

#include <cstdio>
#include <memory>
#include <stdexcept>

#include "common/jpeg_guard.h"

namespace veltaro::test {

picture grey_picture(int width, int height,
                     const std::function<unsigned char(int c, int r)>& shade) {
    picture pixels{width, height, 1, {}};
    pixels.samples.reserve(static_cast<std::size_t>(width) * height);
    for (int r = 0; r < height; ++r) {
        for (int c = 0; c < width; ++c) {
            pixels.samples.push_back(shade(c, r));
        }
    }
    return pixels;
}

picture rgb_picture(int width, int height, const std::function<rgb(int c, int r)>& colour) {
    picture pixels{width, height, 3, {}};
    pixels.samples.reserve(static_cast<std::size_t>(width) * height * 3);
    for (int r = 0; r < height; ++r) {
        for (int c = 0; c < width; ++c) {
            const rgb sample = colour(c, r);
            pixels.samples.insert(pixels.samples.end(), sample.begin(), sample.end());
        }
    }
    return pixels;
}

picture flat_picture(int width, int height, int components, unsigned char sample) {
    return {
        width, height, components,
        std::vector<unsigned char>(static_cast<std::size_t>(width) * height * components, sample)};
}

picture disc_picture(int width, int height, double centre_c, double centre_r, double radius) {
    return grey_picture(width, height, [=](int c, int r) -> unsigned char {
        const double dc = c - centre_c;
        const double dr = r - centre_r;
        return dc * dc + dr * dr <= radius * radius ? 0 : 255;
    });
}

namespace {

struct file_closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

struct encoder {
    jpeg_guard errors{};
    jpeg_compress_struct info{};
    encoder() = default;
    encoder(const encoder&) = delete;
    encoder& operator=(const encoder&) = delete;
    ~encoder() { jpeg_destroy_compress(&info); }
};

J_COLOR_SPACE colour_space(int components) {
    switch (components) {
        case 1:
            return JCS_GRAYSCALE;
        case 3:
            return JCS_RGB;
        case 4:
            return JCS_CMYK;
        default:
            throw std::runtime_error("write_jpeg: components must be 1, 3 or 4");
    }
}

void check_picture(const picture& pixels) {
    if (pixels.width < 1 || pixels.height < 1 || pixels.width > JPEG_MAX_DIMENSION ||
        pixels.height > JPEG_MAX_DIMENSION) {
        throw std::runtime_error("write_jpeg: width and height must be 1 to 65500");
    }
    if (pixels.samples.size() !=
        static_cast<std::size_t>(pixels.width) * pixels.height * pixels.components) {
        throw std::runtime_error("write_jpeg: samples do not match width x height x components");
    }
}

void encode(jpeg_compress_struct& info, std::FILE* file, const picture& pixels,
            jpeg_options options) {
    jpeg_stdio_dest(&info, file);
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, options.quality, TRUE);
    for (int n = 0; n < info.num_components; ++n) {
        info.comp_info[n].h_samp_factor = 1;
        info.comp_info[n].v_samp_factor = 1;
    }
    if (options.progressive) {
        jpeg_simple_progression(&info);
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
}

}  // namespace

void write_jpeg(const std::string& filename, const picture& pixels, jpeg_options options) {
    check_picture(pixels);
    const J_COLOR_SPACE space = colour_space(pixels.components);
    std::unique_ptr<std::FILE, file_closer> file(std::fopen(filename.c_str(), "wb"));
    if (!file) {
        throw std::runtime_error("write_jpeg: cannot open " + filename + " for writing");
    }
    encoder jpeg;
    jpeg.info.err = install_guard(jpeg.errors);
    const bool written = run_guarded(jpeg.errors, [&] {
        jpeg_create_compress(&jpeg.info);
        jpeg.info.image_width = static_cast<JDIMENSION>(pixels.width);
        jpeg.info.image_height = static_cast<JDIMENSION>(pixels.height);
        jpeg.info.input_components = pixels.components;
        jpeg.info.in_color_space = space;
        encode(jpeg.info, file.get(), pixels, options);
    });
    if (!written) {
        throw std::runtime_error("write_jpeg: " + std::string(jpeg.errors.message));
    }
}

}  // namespace veltaro::test
