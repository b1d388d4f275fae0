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

struct decoded_row {
    int r = 0;  // row index, 0 = top of the picture
    // width * components samples, pixels left to right; a colour pixel is
    // red, green, blue.
    std::span<const unsigned char> samples;
};

class jpeg_reader {
public:
    // Opens the file and decodes the header. Throws run_error with
    // "Can't open input jpg file" when the file cannot be opened or read, and
    // with the decoder's own message when the data is not a usable JPEG.
    explicit jpeg_reader(const std::string& filename);
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
    // Decodes the next row. Throws run_error on corrupt data.
    decoded_row read_row();
    // Reads to the end of the data once every row is read. The file and the
    // decoder are released by the destructor, whether or not this was called.
    void finish();

private:
    struct state;
    std::unique_ptr<state> state_;
};

}  // namespace veltaro
