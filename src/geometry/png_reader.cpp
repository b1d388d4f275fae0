// The decoder reports a fatal error by calling on_error, which must not
// return: it keeps the message and jumps back to guarded, the one place that
// calls setjmp, which turns it into a picture_refusal. Only the decoder's C
// frames, read_from_file (which holds no object with a destructor) and a
// lambda holding references lie between the setjmp and the jump, so the jump
// skips no destructor.
//
// A warning about the data (a damaged chunk that holds no pixels, say) lets
// decoding go on. The first one is kept and printed on standard error once
// the whole picture is read, as the JPEG decoder prints its first: a picture
// that is refused in the end is refused in one line.
#include "geometry/png_reader.h"

#include <cerrno>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include <png.h>

namespace veltaro {
namespace {

struct png_guard {
    std::jmp_buf recovery;
    char message[256];
    // A reason of our own for the next error, where the decoder's own words
    // would mislead (a file that ends early is not "Read Error").
    const char* reason = nullptr;
    char first_warning[256];
};

[[noreturn]] void on_error(png_structp png, png_const_charp message) {
    auto* guard = static_cast<png_guard*>(png_get_error_ptr(png));
    if (guard->reason != nullptr) {
        std::snprintf(guard->message, sizeof guard->message, "%s", guard->reason);
    } else if (std::strcmp(message, "Out of memory") == 0) {
        std::snprintf(guard->message, sizeof guard->message, "Not enough memory to decode it");
    } else {
        std::snprintf(guard->message, sizeof guard->message, "Corrupt PNG data: %s", message);
    }
    std::longjmp(guard->recovery, 1);
}

void on_warning(png_structp png, png_const_charp message) {
    auto* guard = static_cast<png_guard*>(png_get_error_ptr(png));
    if (guard->first_warning[0] == '\0') {
        std::snprintf(guard->first_warning, sizeof guard->first_warning, "Corrupt PNG data: %s",
                      message);
    }
}

void read_from_file(png_structp png, png_bytep data, std::size_t length) {
    auto* file = static_cast<std::FILE*>(png_get_io_ptr(png));
    if (std::fread(data, 1, length, file) == length) return;
    auto* guard = static_cast<png_guard*>(png_get_error_ptr(png));
    guard->reason = std::ferror(file) ? std::strerror(errno) : "Premature end of PNG file";
    png_error(png, guard->reason);
}

// Runs step, which calls the decoder; its fatal error becomes the refusal
// of the picture called name.
template <typename Step>
void guarded(png_guard& guard, const std::string& name, const Step& step) {
    if (setjmp(guard.recovery) != 0) throw picture_refusal(name, guard.message);
    step();
}

// Sample k of a row of 8-bit samples, or of 16-bit ones, most significant
// byte first.
std::uint64_t sample_at(const unsigned char* samples, std::size_t k, int bit_depth) {
    if (bit_depth == 16) return (std::uint64_t{samples[2 * k]} << 8) | samples[2 * k + 1];
    return samples[k];
}

// A sample s of full scale M with opacity a (of M), laid over white paper,
// shows (s a + M (M - a)) / M^2 of full scale: in 8 bits, rounded up,
//   ceil(255 (s a + M (M - a)) / M^2).
// Rounding up keeps the darkness rule exact: the result is at most 49 just
// when the laid-over sample is at most 49/255 of full scale. An opaque
// 8-bit sample comes out as itself.
unsigned char over_white(std::uint64_t sample, std::uint64_t opacity, std::uint64_t full) {
    const std::uint64_t shown = sample * opacity + full * (full - opacity);
    const std::uint64_t square = full * full;
    return static_cast<unsigned char>((255 * shown + square - 1) / square);
}

// The decoder's records and what the rows need, for the helpers below.
struct png_decoding {
    picture_file picture;
    png_guard guard{};
    png_structp png = nullptr;
    png_infop info = nullptr;
    int width = 0, height = 0;
    int channels = 0;    // as decoded: grey or RGB, and alpha
    int bit_depth = 0;   // as decoded: 8 or 16
    int components = 0;  // as delivered: 1 grey or 3 RGB
    bool interlaced = false;
    // One row as the decoder gives it, or the whole picture when it is
    // interlaced (its rows are complete only after the last pass).
    std::vector<unsigned char> decoded;
    std::vector<unsigned char> row;  // 8-bit samples laid over white
    int next_row = 0;

    png_decoding() = default;
    png_decoding(const png_decoding&) = delete;
    png_decoding& operator=(const png_decoding&) = delete;
    // Safe with either record never created. The file member closes after.
    ~png_decoding() { png_destroy_read_struct(&png, &info, nullptr); }
};

// Palette and grey of fewer than 8 bits become 8-bit RGB and grey, and a
// transparent colour (tRNS) becomes an alpha channel; 16 bits stay 16 until
// they are laid over white.
void expand_to_samples(png_decoding& s) {
    png_set_expand(s.png);
    if (s.interlaced) png_set_interlace_handling(s.png);
    png_read_update_info(s.png, s.info);
}

std::size_t decoded_row_bytes(const png_decoding& s) {
    return static_cast<std::size_t>(s.width) * static_cast<std::size_t>(s.channels) *
           static_cast<std::size_t>(s.bit_depth / 8);
}

// An interlaced picture is decoded whole: each pass fills in pixels all
// over it.
void decode_whole_picture(png_decoding& s) {
    const std::size_t row_bytes = decoded_row_bytes(s);
    std::vector<png_bytep> rows(static_cast<std::size_t>(s.height));
    for (std::size_t r = 0; r < rows.size(); ++r) rows[r] = s.decoded.data() + r * row_bytes;
    guarded(s.guard, s.picture.name, [&s, &rows] { png_read_image(s.png, rows.data()); });
}

void set_aside_rows(png_decoding& s) {
    const std::size_t rows = s.interlaced ? static_cast<std::size_t>(s.height) : 1;
    try {
        s.decoded.resize(decoded_row_bytes(s) * rows);
        s.row.resize(static_cast<std::size_t>(s.width) * static_cast<std::size_t>(s.components));
    } catch (const std::bad_alloc&) {
        throw run_error("Not enough memory for a picture of " + std::to_string(s.width) + " x " +
                        std::to_string(s.height) + " pixels");
    }
}

void lay_over_white(png_decoding& s, const unsigned char* decoded) {
    const bool alpha = s.channels > s.components;
    const std::uint64_t full = s.bit_depth == 16 ? 65535 : 255;
    for (std::size_t c = 0; c < static_cast<std::size_t>(s.width); ++c) {
        const std::size_t first = c * static_cast<std::size_t>(s.channels);
        const std::uint64_t opacity =
            alpha ? sample_at(decoded, first + s.components, s.bit_depth) : full;
        for (std::size_t k = 0; k < static_cast<std::size_t>(s.components); ++k) {
            s.row[c * s.components + k] =
                over_white(sample_at(decoded, first + k, s.bit_depth), opacity, full);
        }
    }
}

}  // namespace

struct png_reader::state : png_decoding {};

png_reader::png_reader(picture_file file, long long max_pixels)
    : state_(std::make_unique<state>()) {
    state& s = *state_;
    s.picture = std::move(file);
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s.guard, on_error, on_warning);
    if (s.png == nullptr) throw picture_refusal(s.picture.name, "Not enough memory to decode it");
    guarded(s.guard, s.picture.name, [&s] {
        s.info = png_create_info_struct(s.png);
        if (s.info == nullptr) png_error(s.png, "Out of memory");
        png_set_read_fn(s.png, s.picture.file.get(), read_from_file);
        // The pixel limit below is the one judge of a picture's size.
        png_set_user_limits(s.png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
        // Text, colour profiles and the like change no pixel: skipped unread.
        png_set_keep_unknown_chunks(s.png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
        png_read_info(s.png, s.info);
    });
    check_picture_size(png_get_image_width(s.png, s.info), png_get_image_height(s.png, s.info),
                       max_pixels);
    s.width = static_cast<int>(png_get_image_width(s.png, s.info));
    s.height = static_cast<int>(png_get_image_height(s.png, s.info));
    s.interlaced = png_get_interlace_type(s.png, s.info) != PNG_INTERLACE_NONE;
    guarded(s.guard, s.picture.name, [&s] { expand_to_samples(s); });
    s.channels = png_get_channels(s.png, s.info);
    s.bit_depth = png_get_bit_depth(s.png, s.info);
    s.components = s.channels <= 2 ? 1 : 3;
    set_aside_rows(s);
    if (s.interlaced) decode_whole_picture(s);
}

png_reader::~png_reader() = default;
png_reader::png_reader(png_reader&&) noexcept = default;
png_reader& png_reader::operator=(png_reader&&) noexcept = default;

int png_reader::width() const { return state_->width; }
int png_reader::height() const { return state_->height; }
int png_reader::components() const { return state_->components; }

bool png_reader::rows_left() const { return state_->next_row < state_->height; }

decoded_row png_reader::read_row() {
    state& s = *state_;
    const unsigned char* decoded = s.decoded.data();
    if (s.interlaced) {
        decoded += static_cast<std::size_t>(s.next_row) * decoded_row_bytes(s);
    } else {
        guarded(s.guard, s.picture.name, [&s] { png_read_row(s.png, s.decoded.data(), nullptr); });
    }
    // An opaque 8-bit row is already what the masks take.
    if (s.channels == s.components && s.bit_depth == 8) {
        return {s.next_row++, {decoded, s.row.size()}};
    }
    lay_over_white(s, decoded);
    return {s.next_row++, s.row};
}

void png_reader::finish() {
    state& s = *state_;
    guarded(s.guard, s.picture.name, [&s] { png_read_end(s.png, nullptr); });
    if (s.guard.first_warning[0] != '\0') std::fprintf(stderr, "%s\n", s.guard.first_warning);
}

}  // namespace veltaro
