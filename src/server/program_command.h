// program_command: how a shell names this program, for the command line the
// page shows beside a run. "veltaro" when that word on the PATH is this very
// executable (an installed program); else its absolute path (a plain build's
// build/veltaro is on no PATH), quoted for the shell where it needs quotes.
#pragma once

#include <filesystem>
#include <string>

namespace veltaro::server {

// executable: this program's file; path: the PATH variable's value.
std::string program_command(const std::filesystem::path& executable, const std::string& path);

// The same for the running server, from /proc/self/exe and its PATH.
std::string this_program_command();

}  // namespace veltaro::server
