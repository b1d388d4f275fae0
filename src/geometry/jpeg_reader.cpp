// Fatal decoder errors come back as run_errors through jpeg_guard.
// Warnings keep the library's default handling (printed once on standard
// error, and decoding goes on), except the one that says the file ended
// early: the decoder would fill the missing rows with grey, and a picture
// with part of its obstacle silently gone gives a wrong flow. That warning
// leaves the decoder the way a fatal error does.
#include "geometry/jpeg_reader.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "common/run_error.h"
#include "common/jpeg_guard.h"

#include <jerror.h>

namespace veltaro {
namespace {

// A message level below 0 is a warning about the data; above it, tracing.
void on_decoder_message(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) leave_library(info);
    reinterpret_cast<jpeg_guard*>(info->err)->library_emit_message(info, level);
}

// Runs step, which calls the decoder; its fatal error becomes the refusal
// of the picture called name.
template <typename Step>
void guarded(jpeg_guard& errors, const std::string& name, const Step& step) {
    if (!run_guarded(errors, step)) throw picture_refusal(name, errors.message);
}

}  // namespace

struct jpeg_reader::state {
    picture_file picture;
    jpeg_guard errors{};
    jpeg_decompress_struct info{};
    std::vector<unsigned char> row;

    state() = default;
    state(const state&) = delete;
    state& operator=(const state&) = delete;
    // Safe whether or not the record was ever created: it checks for a
    // memory manager first. The file member closes after this.
    ~state() { jpeg_destroy_decompress(&info); }
};

jpeg_reader::jpeg_reader(picture_file file, long long max_pixels)
    : state_(std::make_unique<state>()) {
    state& s = *state_;
    s.info.err = install_guard(s.errors);
    s.errors.library.emit_message = on_decoder_message;
    s.picture = std::move(file);
    guarded(s.errors, s.picture.name, [&s] {
        jpeg_create_decompress(&s.info);
        jpeg_stdio_src(&s.info, s.picture.file.get());
        jpeg_read_header(&s.info, TRUE);
    });
    // Starting the decoder sets aside memory in proportion to the picture,
    // all of it at once for a progressive file, so the size a header claims
    // is judged first.
    check_picture_size(s.info.image_width, s.info.image_height, max_pixels);
    guarded(s.errors, s.picture.name, [&s] { jpeg_start_decompress(&s.info); });
    s.row.resize(static_cast<std::size_t>(s.info.output_width) *
                 static_cast<std::size_t>(s.info.output_components));
}

jpeg_reader::~jpeg_reader() = default;
jpeg_reader::jpeg_reader(jpeg_reader&&) noexcept = default;
jpeg_reader& jpeg_reader::operator=(jpeg_reader&&) noexcept = default;

int jpeg_reader::width() const { return static_cast<int>(state_->info.output_width); }
int jpeg_reader::height() const { return static_cast<int>(state_->info.output_height); }
int jpeg_reader::components() const { return state_->info.output_components; }

bool jpeg_reader::rows_left() const {
    return state_->info.output_scanline < state_->info.output_height;
}

decoded_row jpeg_reader::read_row() {
    state& s = *state_;
    JSAMPROW rows[1] = {s.row.data()};
    JDIMENSION rows_read = 0;
    guarded(s.errors, s.picture.name,
            [&s, &rows, &rows_read] { rows_read = jpeg_read_scanlines(&s.info, rows, 1); });
    // Only a suspending data source delivers no row; a file never does, but
    // a loop waiting for rows must not spin if it ever happened.
    if (rows_read != 1) {
        throw run_error("The picture's data stopped before its last row.");
    }
    return {static_cast<int>(s.info.output_scanline) - 1, s.row};
}

void jpeg_reader::finish() {
    state& s = *state_;
    guarded(s.errors, s.picture.name, [&s] { jpeg_finish_decompress(&s.info); });
}

}  // namespace veltaro
