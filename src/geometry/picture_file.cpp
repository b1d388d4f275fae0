#include "geometry/picture_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>

namespace veltaro {
namespace {

// Enough of the start of a file to tell the formats apart, and to judge
// whether it is text.
constexpr std::size_t sniffed_bytes = 64;

std::string kind_of_file(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "a special file";
}

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

run_error picture_refusal(const std::string& name, const std::string& reason) {
    return run_error("Can't open input jpg file: " + name + " (" + reason + ")");
}

void check_picture_size(long long width, long long height, long long max_pixels) {
    if (width * height > max_pixels) {
        throw run_error("The picture is " + std::to_string(width) + " x " + std::to_string(height) +
                        " pixels; at most " + std::to_string(max_pixels) +
                        " pixels can be used: make it smaller.");
    }
}

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

picture_file open_picture_file(const std::string& name) {
    // O_NONBLOCK lets a FIFO open at once, with or without a writer, and
    // fstat then judges the very file that was opened: no window between a
    // check and an open lets a FIFO in. On a regular file the flag changes
    // nothing.
    const int descriptor = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) throw picture_refusal(name, std::strerror(errno));
    file_handle file(::fdopen(descriptor, "rb"));
    if (!file) {
        const int error = errno;
        ::close(descriptor);
        throw picture_refusal(name, std::strerror(error));
    }
    struct stat status {};
    if (::fstat(descriptor, &status) != 0) throw picture_refusal(name, std::strerror(errno));
    if (!S_ISREG(status.st_mode)) {
        throw picture_refusal(name,
                              "it is " + kind_of_file(status.st_mode) + ", not a picture file");
    }

    unsigned char first[sniffed_bytes];
    const std::size_t count = std::fread(first, 1, sizeof first, file.get());
    if (std::ferror(file.get())) throw picture_refusal(name, std::strerror(errno));
    const std::span<const unsigned char> first_bytes(first, count);
    if (const std::string reason = unreadable_format(first_bytes); !reason.empty()) {
        throw picture_refusal(name, reason);
    }
    std::rewind(file.get());
    const picture_format format = first[0] == 0xFF ? picture_format::jpeg : picture_format::png;
    return {name, format, std::move(file)};
}

}  // namespace veltaro
