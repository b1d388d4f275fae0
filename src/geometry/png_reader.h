// png_reader: decodes a PNG picture one pixel row at a time, from the top
// row down, into the same 8-bit grey or RGB rows as jpeg_reader. It is the
// program's only user of the PNG decoder; the decoder's own types stay
// inside png_reader.cpp.
//
//   png_reader picture(open_picture_file(name));   // throws run_error
//   while (picture.rows_left()) {
//       decoded_row row = picture.read_row();
//       ...                                        // row.samples valid until the next read
//   }
//   picture.finish();
//
// Every kind of PNG is read: palette, grey of 1 to 16 bits, RGB of 8 or 16,
// with or without transparency, interlaced or not. A transparent pixel is
// the white paper behind it: each sample is laid over white before it is
// rounded to 8 bits, upwards, so that a sample comes out at most 49 exactly
// when it was at most 49/255 of full scale.
#pragma once

#include <memory>

#include "geometry/picture_file.h"

namespace veltaro {

class png_reader {
public:
    // Decodes the header. Throws run_error: a picture_refusal with the
    // decoder's message when the data is not a usable PNG, and the refusal
    // of check_picture_size when the picture has more than max_pixels
    // pixels (before any memory is set aside for them).
    explicit png_reader(picture_file file, long long max_pixels = max_picture_pixels);
    ~png_reader();
    png_reader(png_reader&&) noexcept;
    png_reader& operator=(png_reader&&) noexcept;
    png_reader(const png_reader&) = delete;
    png_reader& operator=(const png_reader&) = delete;

    [[nodiscard]] int width() const;
    [[nodiscard]] int height() const;
    // 1 for grey pictures (with or without transparency), 3 for all others.
    [[nodiscard]] int components() const;

    [[nodiscard]] bool rows_left() const;
    // Decodes the next row. Throws a picture_refusal on corrupt data, and
    // with "Premature end of PNG file" as the reason when the file ends
    // early.
    decoded_row read_row();
    // Reads the rest of the file up to its end chunk, so that a file cut off
    // after its last row is refused too, then prints the decoder's first
    // warning, if it gave one, on standard error. The file and the decoder
    // are released by the destructor, whether or not this was called.
    void finish();

private:
    struct state;
    std::unique_ptr<state> state_;
};

}  // namespace veltaro
