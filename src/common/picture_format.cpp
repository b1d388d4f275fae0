#include "common/picture_format.h"

#include <cstring>
#include <string_view>

namespace veltaro {
namespace {

bool starts_with(std::span<const unsigned char> bytes, std::string_view magic, std::size_t at = 0) {
    return bytes.size() >= at + magic.size() &&
           std::memcmp(bytes.data() + at, magic.data(), magic.size()) == 0;
}

// Printable ASCII, the usual white space, and bytes that may occur in
// UTF-8 (never 0xC0, 0xC1 or 0xF5 to 0xFF): a picture's binary header has
// other bytes well within its first 64.
bool looks_like_text(std::span<const unsigned char> bytes) {
    for (const unsigned char byte : bytes) {
        const bool space = byte == '\t' || byte == '\n' || byte == '\r' || byte == '\f';
        const bool control = (byte < 0x20 && !space) || byte == 0x7F;
        const bool never_utf8 = byte == 0xC0 || byte == 0xC1 || byte >= 0xF5;
        if (control || never_utf8) return false;
    }
    return true;
}

std::string first_bytes_in_hex(std::span<const unsigned char> bytes) {
    std::string text;
    for (std::size_t k = 0; k < bytes.size() && k < 4; ++k) {
        static const char digits[] = "0123456789ABCDEF";
        text +=
            std::string(k > 0 ? " " : "") + "0x" + digits[bytes[k] >> 4] + digits[bytes[k] & 15];
    }
    return text;
}

// What a picture of another format looks like at its start. "BM" is
// judged after text, which it may begin just as well.
std::string other_format(std::span<const unsigned char> bytes) {
    using namespace std::string_view_literals;
    if (starts_with(bytes, "GIF8"sv)) return "a GIF picture";
    if (starts_with(bytes, "II*\0"sv) || starts_with(bytes, "MM\0*"sv)) return "a TIFF picture";
    if (starts_with(bytes, "RIFF"sv) && starts_with(bytes, "WEBP"sv, 8)) return "a WebP picture";
    if (starts_with(bytes, "%PDF"sv)) return "a PDF document";
    if (looks_like_text(bytes)) return "text";
    if (starts_with(bytes, "BM"sv)) return "a BMP picture";
    return "";
}

}  // namespace

std::string unreadable_format(std::span<const unsigned char> first_bytes) {
    if (first_bytes.empty()) return "it is empty";
    // The PNG decoder checks the rest of its eight-byte signature itself,
    // and says so when line ends were converted in it.
    if (starts_with(first_bytes, "\xFF\xD8") || starts_with(first_bytes, "\x89PNG")) return "";
    const std::string format = other_format(first_bytes);
    if (format == "text") {
        return "it looks like text, not a picture; give the name of a JPEG or PNG picture";
    }
    if (!format.empty()) return "it looks like " + format + "; save it as a JPEG or PNG";
    return "it is not a JPEG or PNG picture: it starts with " + first_bytes_in_hex(first_bytes);
}

std::string picture_refusal_text(const std::string& name, const std::string& reason) {
    return "Can't open input jpg file: " + name + " (" + reason + ")";
}

}  // namespace veltaro
