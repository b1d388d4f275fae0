// picture_file: the obstacle picture opened for its decoder, and the one
// format of every refusal to read it. The file is opened once, here; its
// first bytes, not its name, say which decoder reads it (jpeg_reader or
// png_reader), and anything else is refused with what those bytes suggest.
//
//   picture_file file = open_picture_file(name);   // throws run_error
//   if (file.format == picture_format::png) ... png_reader(std::move(file))
#pragma once

#include <cstdio>
#include <memory>
#include <span>
#include <string>

#include "common/run_error.h"

namespace veltaro {

// A JPEG header may claim up to 65500 x 65500 pixels, a PNG one 2^31 - 1
// each way; the masks and the decoder's buffers of a picture of 50 million
// pixels already take about a gigabyte.
inline constexpr long long max_picture_pixels = 50'000'000;

// One decoded pixel row, as both decoders deliver it.
struct decoded_row {
    int r = 0;  // row index, 0 = top of the picture
    // width * components 8-bit samples, pixels left to right; a colour
    // pixel is red, green, blue.
    std::span<const unsigned char> samples;
};

enum class picture_format { jpeg, png };

struct file_closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using file_handle = std::unique_ptr<std::FILE, file_closer>;

struct picture_file {
    std::string name;  // as the user typed it, for the refusals
    picture_format format = picture_format::jpeg;
    file_handle file;  // a regular file, at its first byte
};

// "Can't open input jpg file: NAME (REASON)", the one line of every refusal
// to open or decode the picture.
run_error picture_refusal(const std::string& name, const std::string& reason);

// Opens the picture without ever waiting: a FIFO, a folder or a device is
// refused at once, as are a file that cannot be opened and one whose first
// bytes are neither a JPEG's nor a PNG's.
picture_file open_picture_file(const std::string& name);

// Refuses a picture of more than max_pixels pixels; a decoder calls it with
// the size its header claims, before any memory is set aside for the pixels.
void check_picture_size(long long width, long long height, long long max_pixels);

}  // namespace veltaro
