#include "server/serve.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <httplib.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <thread>

#include "common/text_format.h"
#include "server/access_policy.h"
#include "server/http_routes.h"
#include "server/serve_options.h"
#include "server/studio.h"

namespace veltaro::server {
namespace {

namespace fs = std::filesystem;

// Every open event stream holds one of httplib's threads for as long as it
// is open: enough for a load of watchers and the page's own requests beside
// them. Idle threads cost a few kilobytes each.
constexpr std::size_t http_threads = 64;

struct start_error {
    std::string line;
};

// The runs folder, created and made absolute, locked against a second
// server on it (which would mark this one's running runs interrupted).
// The lock lasts as long as the process.
fs::path prepare_runs_folder(const std::string& name) {
    std::error_code error;
    fs::create_directories(name, error);
    fs::path folder = fs::absolute(name, error);
    const fs::path probe = folder / ".veltaro-probe";
    const int probe_fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (probe_fd < 0) {
        throw start_error{"Cannot write into the runs folder \"" + name + "\" (" +
                          std::strerror(errno) + "); choose another with --runs DIR."};
    }
    ::close(probe_fd);
    ::unlink(probe.c_str());
    const int lock = ::open((folder / ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0 || ::flock(lock, LOCK_EX | LOCK_NB) != 0) {
        throw start_error{"Another veltaro serve is using the runs folder \"" + name +
                          "\"; stop it, or choose another folder with --runs DIR."};
    }
    return folder;
}

std::string random_token() {
    std::random_device device;
    std::string token;
    for (int n = 0; n < 4; ++n) token += format_text("%08x", static_cast<unsigned>(device()));
    return token;
}

// Off loopback: the token given, or the one kept from an earlier start, or
// a new one; kept in RUNS/token, readable by its owner only.
std::string keep_token(const fs::path& folder, const std::optional<std::string>& given) {
    const fs::path file = folder / "token";
    std::string token = given.value_or("");
    if (token.empty()) {
        std::ifstream kept(file);
        kept >> token;
    }
    if (token.size() < 8) token = random_token();
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const std::string line = token + "\n";
    if (fd < 0 || ::fchmod(fd, 0600) != 0 ||
        ::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
        if (fd >= 0) ::close(fd);
        throw start_error{"Cannot keep the token in \"" + file.string() + "\" (" +
                          std::strerror(errno) + "); choose another folder with --runs DIR."};
    }
    ::close(fd);
    return token;
}

int bind_port(httplib::Server& http, const serve_options& options) {
    const int port = options.port == 0
                         ? http.bind_to_any_port(options.host)
                         : (http.bind_to_port(options.host, options.port) ? options.port : -1);
    if (port <= 0) {
        throw start_error{format_text(
            "Cannot listen on %s port %d: it is in use or not an address of this machine; "
            "choose another with --port N (0 picks a free one) or --host ADDR.",
            options.host.c_str(), options.port)};
    }
    return port;
}

// The address a browser elsewhere can open: listening on every address,
// the machine's host name, since 0.0.0.0 is no address to go to.
std::string host_to_open(const std::string& host) {
    if (host != "0.0.0.0" && host != "::") return host;
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return host;
    return name;
}

std::string address_to_open(const serve_options& options, int port,
                            const std::optional<std::string>& token) {
    const std::string host = host_to_open(options.host);
    const bool ipv6 = host.find(':') != std::string::npos;
    std::string url = "http://" + (ipv6 ? "[" + host + "]" : host) + ":" +
                      std::to_string(port) + "/";
    if (token) url += "?token=" + *token;
    return url;
}

}  // namespace

int serve(int argc, char** argv) {
    serve_options options;
    if (const std::optional<int> status =
            parse_serve_options(argc, argv, options, std::cout, std::cerr)) {
        return *status;
    }
    // SIGINT and SIGTERM are taken by one thread with sigwait; every other
    // thread, started after this, blocks them. A watcher that hangs up must
    // not kill the server with SIGPIPE.
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    try {
        const fs::path folder = prepare_runs_folder(options.runs);
        access_settings access;
        access.host = options.host;
        if (!is_loopback(options.host)) access.token = keep_token(folder, options.token);

        studio runs(studio_settings{folder, options.jobs, options.queue,
                                    child_limits{options.time_limit, options.memory_limit}});
        httplib::Server http;
        http.new_task_queue = [] { return new httplib::ThreadPool(http_threads); };
        http.set_tcp_nodelay(true);  // an event is one small write: send it now
        http.set_payload_max_length(picture_limit + (1u << 20));
        access.port = bind_port(http, options);
        add_routes(http, runs, access);

        std::cout << "Veltaro studio: " << address_to_open(options, access.port, access.token)
                  << std::endl;
        if (access.token) {
            std::cout << "The token is in this address: open it as it is, and give it only to "
                         "those who may use the studio (it is kept in "
                      << (folder / "token").string() << ")." << std::endl;
        }
        runs.start_runners();
        std::atomic<bool> listening_ended{false};
        std::thread stopper([&] {
            int signal = 0;
            sigwait(&stop_signals, &signal);
            // A signal that comes before the server listens would be lost
            // on a stop() that finds nothing running yet.
            while (!http.is_running() && !listening_ended) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            // Stop accepting first; then end the runs and the streams, whose
            // threads the server waits for before listen_after_bind returns.
            http.stop();
            runs.shut_down();
        });
        http.listen_after_bind();
        // Also when listening ended on its own: wake the stopper.
        listening_ended = true;
        pthread_kill(stopper.native_handle(), SIGINT);
        stopper.join();
    } catch (const start_error& error) {
        std::cerr << error.line << '\n';
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "The studio could not start: " << error.what() << '\n';
        return 2;
    }
    return 0;
}

}  // namespace veltaro::server
