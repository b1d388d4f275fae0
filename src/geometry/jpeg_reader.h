// jpeg_reader: decodes a JPEG picture one pixel row at a time, from the top
// row down. It is the program's only user of the JPEG decoder; the decoder's
// own types stay inside jpeg_reader.cpp.
//
//   jpeg_reader picture(open_picture_file(name));   // throws run_error
//   while (picture.rows_left()) {
//       decoded_row row = picture.read_row();
//       ...                                 // row.samples valid until the next read
//   }
//   picture.finish();
#pragma once

#include <memory>

#include "geometry/picture_file.h"

namespace veltaro {

class jpeg_reader {
public:
    // Decodes the header. Throws run_error: a picture_refusal with the
    // decoder's own message when the data is not a usable JPEG, and the
    // refusal of check_picture_size when the picture has more than
    // max_pixels pixels (before any memory is set aside for them).
    explicit jpeg_reader(picture_file file, long long max_pixels = max_picture_pixels);
    ~jpeg_reader();
    jpeg_reader(jpeg_reader&&) noexcept;
    jpeg_reader& operator=(jpeg_reader&&) noexcept;
    jpeg_reader(const jpeg_reader&) = delete;
    jpeg_reader& operator=(const jpeg_reader&) = delete;

    [[nodiscard]] int width() const;
    [[nodiscard]] int height() const;
    // 1 for a grey picture, 3 for colour (delivered as RGB); anything else
    // (4 for CMYK) is passed on for the caller to refuse.
    [[nodiscard]] int components() const;

    [[nodiscard]] bool rows_left() const;
    // Decodes the next row. Throws run_error on corrupt data, and with the
    // decoder's "Premature end of JPEG file" as the reason when the file
    // ends early.
    decoded_row read_row();
    // Reads to the end of the data once every row is read (a file cut off
    // after its last row is refused too). The file and the
    // decoder are released by the destructor, whether or not this was called.
    void finish();

private:
    struct state;
    std::unique_ptr<state> state_;
};

}  // namespace veltaro
