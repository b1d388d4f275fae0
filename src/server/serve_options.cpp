#include "server/serve_options.h"

#include <cerrno>
#include <cstdlib>
#include <ostream>
#include <string_view>
#include <thread>

namespace veltaro::server {
namespace {

constexpr std::string_view usage = R"(Usage: veltaro serve [options]

Runs the studio: a page in the browser to draw an obstacle, run the flow
around it, watch it converge and read the results. Each run is a child
process of this program in its own folder under the runs folder.

Options:
  --host ADDR          address to listen on (default 127.0.0.1); any other
                       than loopback needs a token, printed in the address
  --port N             port (default 8080; 0 picks a free one)
  --runs DIR           the runs folder (default ./veltaro-runs, created)
  --jobs N             runs at once (default: the number of cores)
  --queue N            runs that may wait for a free job (default 100)
  --time-limit S       seconds a run may take (default 600)
  --memory-limit MB    address space of a run (default 4096; 0 = no limit)
  --token T            the token off loopback (default: a random one, kept
                       in DIR/token)
  --help               this text

Stop it with Ctrl-C: running runs are stopped and marked interrupted.
)";

struct bad_option {
    std::string line;
};

long read_whole(std::string_view name, const std::string& text, long low, long high) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE || value < low || value > high) {
        throw bad_option{"The value \"" + text + "\" of " + std::string(name) +
                         " is not a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + "; see veltaro serve --help."};
    }
    return value;
}

double read_seconds(std::string_view name, const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    constexpr double longest = 1e7;  // s, some four months
    if (text.empty() || *end != '\0' || !(value > 0.0 && value <= longest)) {
        throw bad_option{"The value \"" + text + "\" of " + std::string(name) +
                         " is not a number of seconds from 0 to 1e7; see veltaro serve --help."};
    }
    return value;
}

// One option with its value, given as "--name value" or "--name=value".
void take_option(std::string_view name, const std::string& value, serve_options& options) {
    if (name == "--host") {
        if (value.empty()) throw bad_option{"--host needs an address, such as 127.0.0.1."};
        options.host = value;
    } else if (name == "--port") {
        options.port = static_cast<int>(read_whole(name, value, 0, 65535));
    } else if (name == "--runs") {
        if (value.empty()) throw bad_option{"--runs needs a folder name."};
        options.runs = value;
    } else if (name == "--jobs") {
        options.jobs = static_cast<int>(read_whole(name, value, 1, 1024));
    } else if (name == "--queue") {
        options.queue = static_cast<int>(read_whole(name, value, 0, 100000));
    } else if (name == "--time-limit") {
        options.time_limit = read_seconds(name, value);
    } else if (name == "--memory-limit") {
        options.memory_limit = read_whole(name, value, 0, 1L << 30);
    } else if (name == "--token") {
        if (value.size() < 8 || value.find_first_of(" \t\r\n;,\"") != std::string::npos) {
            throw bad_option{
                "--token needs at least 8 characters, without blanks, quotes, "
                "commas or semicolons."};
        }
        options.token = value;
    } else {
        throw bad_option{"Unknown option \"" + std::string(name) +
                         "\" of veltaro serve; see veltaro serve --help."};
    }
}

}  // namespace

bool is_loopback(const std::string& host) {
    return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0;
}

std::optional<int> parse_serve_options(int argc, const char* const* argv, serve_options& options,
                                       std::ostream& out, std::ostream& err) {
    const unsigned cores = std::thread::hardware_concurrency();
    options.jobs = cores > 0 ? static_cast<int>(cores) : 1;
    try {
        for (int n = 2; n < argc; ++n) {
            const std::string argument = argv[n];
            if (argument == "--help" || argument == "-h") {
                out << usage;
                return 0;
            }
            const std::size_t equals = argument.find('=');
            if (argument.rfind("--", 0) == 0 && equals != std::string::npos) {
                take_option(std::string_view(argument).substr(0, equals),
                            argument.substr(equals + 1), options);
            } else if (argument.rfind("--", 0) == 0 && n + 1 < argc) {
                take_option(argument, argv[++n], options);
            } else if (argument.rfind("--", 0) == 0) {
                take_option(argument, std::string(), options);
            } else {
                throw bad_option{"Unexpected argument \"" + argument +
                                 "\" of veltaro serve; see veltaro serve --help."};
            }
        }
    } catch (const bad_option& bad) {
        err << bad.line << '\n';
        return 2;
    }
    return std::nullopt;
}

}  // namespace veltaro::server
