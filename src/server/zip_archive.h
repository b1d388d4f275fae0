// zip_archive: the one user of libzip. A run's files as one .zip in memory,
// each under the name given with it (a grid study's meshes under
// "grid/<N>-across/").
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace veltaro::server {

struct archive_entry {
    std::filesystem::path file;  // where it is read from
    std::string name;            // its name in the archive, '/' between folders
};

// Throws std::runtime_error with libzip's reason when a file cannot be
// read or the archive cannot be made.
std::string zip_of(const std::vector<archive_entry>& entries);

}  // namespace veltaro::server
