// Fatal encoder errors, a failed write included, come back as run_errors
// through jpeg_guard.
#include "output/jpeg_writer.h"

#include <cstdio>
#include <cstring>

#include "common/run_error.h"
#include "common/jpeg_guard.h"

#include <jerror.h>

namespace veltaro {
struct jpeg_writer::compressor {
    jpeg_guard errors{};
    jpeg_compress_struct info{};

    compressor() = default;
    compressor(const compressor&) = delete;
    compressor& operator=(const compressor&) = delete;
    // Safe whether or not the record was ever created: it checks for a
    // memory manager first. It never touches the file.
    ~compressor() { jpeg_destroy_compress(&info); }
};

jpeg_writer::jpeg_writer(const std::string& file_name, int width, int height)
    : file_(file_name, file_kind::binary),
      compressor_(std::make_unique<compressor>()),
      width_(width),
      height_(height) {
    compressor& c = *compressor_;
    c.info.err = install_guard(c.errors);
    std::FILE* stream = file_.stream();
    // Negative sizes would wrap to huge unsigned ones; zero is refused by
    // the encoder itself.
    const auto columns = static_cast<JDIMENSION>(width > 0 ? width : 0);
    const auto rows = static_cast<JDIMENSION>(height > 0 ? height : 0);
    const bool started = run_guarded(c.errors, [&c, stream, columns, rows] {
        jpeg_create_compress(&c.info);
        jpeg_stdio_dest(&c.info, stream);
        c.info.image_width = columns;
        c.info.image_height = rows;
        c.info.input_components = 3;
        c.info.in_color_space = JCS_RGB;
        jpeg_set_defaults(&c.info);
        jpeg_set_quality(&c.info, 100, TRUE);
        jpeg_start_compress(&c.info, TRUE);
    });
    if (!started) fail();
}

jpeg_writer::~jpeg_writer() = default;

void jpeg_writer::write_row(std::span<const unsigned char> row) {
    compressor& c = *compressor_;
    if (row.size() != 3 * static_cast<std::size_t>(width_) ||
        c.info.next_scanline >= static_cast<JDIMENSION>(height_)) {
        throw run_error(
            write_error_message(file_.name(), "a picture row does not fit the picture"));
    }
    // The encoder only reads the row; its interface just lacks the const.
    JSAMPROW rows[1] = {const_cast<unsigned char*>(row.data())};
    JDIMENSION written = 0;
    if (!run_guarded(c.errors,
                     [&c, &rows, &written] { written = jpeg_write_scanlines(&c.info, rows, 1); })) {
        fail();
    }
    // Only a suspending destination takes no row; a file never does.
    if (written != 1) throw run_error(write_error_message(file_.name(), "the encoder took no row"));
}

void jpeg_writer::finish() {
    compressor& c = *compressor_;
    if (c.info.next_scanline < static_cast<JDIMENSION>(height_)) {
        throw run_error(write_error_message(file_.name(), "the picture ended before its last row"));
    }
    if (!run_guarded(c.errors, [&c] { jpeg_finish_compress(&c.info); })) fail();
    file_.commit();
}

void jpeg_writer::fail() const {
    const jpeg_guard& errors = compressor_->errors;
    // A failed write says only "out of disk space?"; errno knows better.
    if (errors.library.msg_code == JERR_FILE_WRITE && errors.error_number != 0) {
        file_.fail(errors.error_number);
    }
    throw run_error(write_error_message(file_.name(), errors.message));
}

}  // namespace veltaro
