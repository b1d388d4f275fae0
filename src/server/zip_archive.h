// zip_archive: the one user of libzip. A run's files as one .zip in memory,
// each under its own name, with no folder.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace veltaro::server {

// Throws std::runtime_error with libzip's reason when a file cannot be
// read or the archive cannot be made.
std::string zip_of(const std::vector<std::filesystem::path>& files);

}  // namespace veltaro::server
