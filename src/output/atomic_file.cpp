#include "output/atomic_file.h"

#include <cerrno>
#include <cstring>
#include <random>
#include <utility>

#include "common/run_error.h"

namespace veltaro {
namespace {

// A stale temporary from a killed run must not block this one, so a taken
// name is simply skipped; a handful of tries is plenty.
constexpr int temp_name_tries = 64;

std::string temp_candidate(const std::string& final_name, std::mt19937& random) {
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof letters) - 2);
    std::string name = final_name + ".tmp-";
    for (int n = 0; n < 8; ++n) name += letters[pick(random)];
    return name;
}

// Creates a new temporary file beside final_name, under a name nobody holds;
// nullptr with errno set when the folder does not allow it.
std::FILE* create_temporary(const std::string& final_name, const char* mode,
                            std::string& temp_name) {
    std::mt19937 random(std::random_device{}());
    for (int attempt = 0; attempt < temp_name_tries; ++attempt) {
        temp_name = temp_candidate(final_name, random);
        errno = 0;
        if (std::FILE* stream = std::fopen(temp_name.c_str(), mode)) return stream;
        if (errno != EEXIST) break;
    }
    temp_name.clear();
    return nullptr;
}

}  // namespace

void check_results_can_be_written() {
    std::string name;
    std::FILE* probe = create_temporary("veltaro-check", "wbx", name);
    if (probe == nullptr) {
        const int error_number = errno;
        throw run_error(std::string("Could not create files in the current folder: ") +
                        std::strerror(error_number) +
                        "; run the program in a folder where files can be written.");
    }
    std::fclose(probe);
    std::remove(name.c_str());
}

std::string write_error_message(const std::string& name, const std::string& reason) {
    return "Could not write \"" + name + "\": " + reason;
}

atomic_file::atomic_file(std::string final_name, file_kind kind)
    : final_name_(std::move(final_name)) {
    // "x" makes the open fail rather than reuse a file someone else holds;
    // the new file gets the usual permissions, as a plain fopen would.
    const char* mode = kind == file_kind::text ? "wx" : "wbx";
    stream_ = create_temporary(final_name_, mode, temp_name_);
    if (stream_ == nullptr) fail(errno);
}

atomic_file::~atomic_file() { discard(); }

void atomic_file::write(std::string_view bytes) {
    if (bytes.empty()) return;
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), stream_) != bytes.size()) fail(errno);
}

void atomic_file::commit() {
    if (stream_ == nullptr) fail(0);  // already committed or failed
    errno = 0;
    bool written = std::fflush(stream_) == 0 && std::ferror(stream_) == 0;
    int error_number = errno;
    // Closed here, not in the destructor: fclose can report the write error
    // that a full disk or a network file system only notices at the end.
    errno = 0;
    if (std::fclose(std::exchange(stream_, nullptr)) != 0 && written) {
        written = false;
        error_number = errno;
    }
    if (written && std::rename(temp_name_.c_str(), final_name_.c_str()) == 0) {
        committed_ = true;
        return;
    }
    if (written) error_number = errno;
    // The temporary goes now, not when the object dies: the caller may carry
    // on with other files before this one is destroyed.
    discard();
    fail(error_number);
}

void atomic_file::fail(int error_number) const {
    throw run_error(write_error_message(
        final_name_, error_number != 0 ? std::strerror(error_number) : "write error"));
}

void atomic_file::discard() noexcept {
    if (stream_ != nullptr) std::fclose(std::exchange(stream_, nullptr));
    if (!committed_ && !temp_name_.empty())
        std::remove(std::exchange(temp_name_, std::string()).c_str());
}

}  // namespace veltaro
