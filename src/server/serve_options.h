// The options of "veltaro serve": where to listen, where the runs live and
// how many children may run at once.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

namespace veltaro::server {

struct serve_options {
    std::string host = "127.0.0.1";
    int port = 8080;  // 0 picks a free one
    std::string runs = "veltaro-runs";
    int jobs = 1;               // set to the number of cores by parse_serve_options
    int queue = 100;            // runs that may wait beyond those running
    double time_limit = 600.0;  // seconds per run
    long memory_limit = 4096;   // MB of address space per run; 0 = none
    std::optional<std::string> token;
};

// Reads argv[2...] (argv[1] is "serve"). Prints the options on out for
// --help and returns the exit status 0; refuses a bad option with one line
// on err and returns 2; otherwise fills options and returns nothing.
std::optional<int> parse_serve_options(int argc, const char* const* argv, serve_options& options,
                                       std::ostream& out, std::ostream& err);

// 127.0.0.1 (any 127.x.y.z), ::1 and localhost: no token is needed there.
bool is_loopback(const std::string& host);

}  // namespace veltaro::server
