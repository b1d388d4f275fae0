// picture_format: what the first bytes of a file say it is, and the one line
// of every refusal to read an obstacle picture. The program judges the file
// it is given with these, and the studio's server judges an upload with the
// very same words before it stores anything.
#pragma once

#include <cstddef>
#include <span>
#include <string>

namespace veltaro {

// Enough of the start of a file to tell the formats apart, and to judge
// whether it is text.
inline constexpr std::size_t sniffed_bytes = 64;

// The reason a file cannot be read as a picture, from its first bytes: the
// words after the name, e.g. "it looks like a GIF picture; save it as a
// JPEG or PNG". Empty for the start of a JPEG or a PNG.
std::string unreadable_format(std::span<const unsigned char> first_bytes);

// "Can't open input jpg file: NAME (REASON)".
std::string picture_refusal_text(const std::string& name, const std::string& reason);

}  // namespace veltaro
