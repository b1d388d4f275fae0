#include "server/zip_archive.h"

#include <zip.h>

#include <memory>
#include <stdexcept>

namespace veltaro::server {
namespace {

// libzip's error record, freed however the function is left.
struct zip_error_holder {
    zip_error_t error;
    zip_error_holder() { zip_error_init(&error); }
    ~zip_error_holder() { zip_error_fini(&error); }
    zip_error_holder(const zip_error_holder&) = delete;
    zip_error_holder& operator=(const zip_error_holder&) = delete;
};

struct source_release {
    void operator()(zip_source_t* source) const { zip_source_free(source); }
};
using source_owner = std::unique_ptr<zip_source_t, source_release>;

struct archive_discard {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using archive_owner = std::unique_ptr<zip_t, archive_discard>;

[[noreturn]] void fail(const std::string& what, zip_error_t* error) {
    throw std::runtime_error(what + ": " + zip_error_strerror(error));
}

// The archive's bytes, once zip_close has written them into the buffer.
std::string read_back(zip_source_t* buffer) {
    if (zip_source_open(buffer) < 0) fail("reading the archive", zip_source_error(buffer));
    std::string bytes;
    char block[65536];
    zip_int64_t count = 0;
    while ((count = zip_source_read(buffer, block, sizeof block)) > 0) {
        bytes.append(block, static_cast<std::size_t>(count));
    }
    const bool failed = count < 0;
    zip_source_close(buffer);
    if (failed) fail("reading the archive", zip_source_error(buffer));
    return bytes;
}

}  // namespace

std::string zip_of(const std::vector<archive_entry>& entries) {
    zip_error_holder holder;
    source_owner buffer(zip_source_buffer_create(nullptr, 0, 0, &holder.error));
    if (!buffer) fail("making the archive", &holder.error);
    archive_owner archive(zip_open_from_source(buffer.get(), ZIP_TRUNCATE, &holder.error));
    if (!archive) fail("making the archive", &holder.error);
    // The archive now shares the buffer; keep it alive past zip_close.
    zip_source_keep(buffer.get());
    for (const archive_entry& entry : entries) {
        zip_source_t* source = zip_source_file(archive.get(), entry.file.c_str(), 0, -1);
        if (source == nullptr) fail(entry.name, zip_get_error(archive.get()));
        // libzip makes the folders of a name with '/' itself.
        if (zip_file_add(archive.get(), entry.name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
            zip_source_free(source);
            fail(entry.name, zip_get_error(archive.get()));
        }
    }
    // zip_close frees the archive when it succeeds, and only then.
    if (zip_close(archive.get()) < 0) fail("writing the archive", zip_get_error(archive.get()));
    [[maybe_unused]] zip_t* closed = archive.release();
    return read_back(buffer.get());
}

}  // namespace veltaro::server
