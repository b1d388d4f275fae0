#include "output/decode_jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include <jpeglib.h>

namespace veltaro::test {
namespace {

struct error_manager {
    jpeg_error_mgr library;  // first, so the decoder's pointer to it is ours too
    std::jmp_buf recovery;
};

[[noreturn]] void leave_decoder(j_common_ptr info) {
    std::longjmp(reinterpret_cast<error_manager*>(info->err)->recovery, 1);
}

// Every local here and in the decoder is trivially destructible, so the
// jump back from leave_decoder skips nothing.
bool decode(std::FILE* file, jpeg_decompress_struct& info, error_manager& errors,
            decoded_picture& picture) {
    if (setjmp(errors.recovery) != 0) return false;
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    picture.width = static_cast<int>(info.output_width);
    picture.height = static_cast<int>(info.output_height);
    picture.components = info.output_components;
    const std::size_t stride = info.output_width * static_cast<std::size_t>(info.output_components);
    picture.samples.resize(stride * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = picture.samples.data() + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return true;
}

struct file_closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

decoded_picture decode_jpeg(const std::string& file_name) {
    const std::unique_ptr<std::FILE, file_closer> file(std::fopen(file_name.c_str(), "rb"));
    if (!file) throw std::runtime_error("cannot open " + file_name);
    error_manager errors{};
    jpeg_decompress_struct info{};
    info.err = jpeg_std_error(&errors.library);
    errors.library.error_exit = leave_decoder;
    decoded_picture picture;
    const bool decoded = decode(file.get(), info, errors, picture);
    jpeg_destroy_decompress(&info);
    if (!decoded) throw std::runtime_error(file_name + " is not a readable JPEG");
    return picture;
}

}  // namespace veltaro::test
