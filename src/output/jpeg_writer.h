// jpeg_writer: encodes an RGB picture into a JPEG file one pixel row at a
// time, from the top row down, at full quality. It is the program's only
// user of the JPEG encoder; the encoder's own types stay inside
// jpeg_writer.cpp. The file appears under its name only after finish().
//
//   jpeg_writer picture("U.jpg", width, height);   // throws run_error
//   for (each row from the top) picture.write_row(row);
//   picture.finish();
//
// Every failure, a full disk included, is a run_error naming the file.
#pragma once

#include <memory>
#include <span>
#include <string>

#include "output/atomic_file.h"

namespace veltaro {

class jpeg_writer {
public:
    jpeg_writer(const std::string& file_name, int width, int height);
    ~jpeg_writer();
    jpeg_writer(const jpeg_writer&) = delete;
    jpeg_writer& operator=(const jpeg_writer&) = delete;

    // 3 * width bytes: pixels left to right, each red, green, blue.
    void write_row(std::span<const unsigned char> row);
    // Call once every row is written.
    void finish();

private:
    struct compressor;
    [[noreturn]] void fail() const;

    atomic_file file_;  // declared first: outlives the encoder that writes to it
    std::unique_ptr<compressor> compressor_;
    int width_;
    int height_;
};

}  // namespace veltaro
