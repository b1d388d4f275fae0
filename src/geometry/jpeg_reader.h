// jpeg_reader: decodes a JPEG picture one pixel row at a time, from the top
// row down. It is the program's only user of the JPEG decoder; the decoder's
// own types stay inside jpeg_reader.cpp.
//
//   jpeg_reader picture(filename);          // throws run_error
//   while (picture.rows_left()) {
//       decoded_row row = picture.read_row();
//       ...                                 // row.samples valid until the next read
//   }
//   picture.finish();
#pragma once

#include <memory>
#include <span>
#include <string>

namespace veltaro {

// A JPEG header may claim up to 65500 x 65500 pixels; the masks and the
// decoder's buffers of a picture this size already take about a gigabyte.
inline constexpr long long max_picture_pixels = 50'000'000;

struct decoded_row {
    int r = 0;  // row index, 0 = top of the picture
    // width * components samples, pixels left to right; a colour pixel is
    // red, green, blue.
    std::span<const unsigned char> samples;
};

class jpeg_reader {
public:
    // Opens the file and decodes the header. Throws run_error with
    // "Can't open input jpg file" when the file cannot be opened or read,
    // with the decoder's own message when the data is not a usable JPEG, and
    // when the picture has more than max_pixels pixels (before any memory is
    // set aside for them).
    explicit jpeg_reader(const std::string& filename, long long max_pixels = max_picture_pixels);
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
    // decoder's "Premature end of JPEG file" when the file ends early.
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
