#include "geometry/picture_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "common/picture_format.h"

namespace veltaro {
namespace {

std::string kind_of_file(mode_t mode) {
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
    if (S_ISSOCK(mode)) return "a socket";
    return "a special file";
}

}  // namespace

run_error picture_refusal(const std::string& name, const std::string& reason) {
    return run_error(picture_refusal_text(name, reason));
}

void check_picture_size(long long width, long long height, long long max_pixels) {
    if (width * height > max_pixels) {
        throw run_error("The picture is " + std::to_string(width) + " x " + std::to_string(height) +
                        " pixels; at most " + std::to_string(max_pixels) +
                        " pixels can be used: make it smaller.");
    }
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
