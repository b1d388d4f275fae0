#include "server/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <chrono>
#include <climits>
#include <cstring>
#include <optional>

namespace veltaro::server {
namespace {

using steady = std::chrono::steady_clock;

constexpr auto kill_grace = std::chrono::seconds(2);
constexpr std::size_t error_output_limit = std::size_t{64} * 1024;

// A descriptor closed when it goes out of scope.
class descriptor {
public:
    explicit descriptor(int fd = -1) : fd_(fd) {}
    ~descriptor() { reset(); }
    descriptor(const descriptor&) = delete;
    descriptor& operator=(const descriptor&) = delete;
    [[nodiscard]] int get() const { return fd_; }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

struct child_pipes {
    descriptor input, out_read, out_write, err_read, err_write;
};

std::optional<std::string> open_pipes(const std::string& folder, child_pipes& pipes) {
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return std::string("pipe: ") + std::strerror(errno);
    pipes.out_read.reset(out[0]);
    pipes.out_write.reset(out[1]);
    if (::pipe2(err, O_CLOEXEC) != 0) return std::string("pipe: ") + std::strerror(errno);
    pipes.err_read.reset(err[0]);
    pipes.err_write.reset(err[1]);
    const std::string answers = folder + "/answers.txt";
    const int input = ::open(answers.c_str(), O_RDONLY | O_CLOEXEC);
    if (input < 0) return answers + ": " + std::strerror(errno);
    pipes.input.reset(input);
    return std::nullopt;
}

// Between fork and exec only async-signal-safe calls: everything the child
// needs was prepared by the parent.
[[noreturn]] void become_child(const child_pipes& pipes, const char* folder, char* const* argv,
                               const child_limits& limits, pid_t parent) {
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);  // the server died before the prctl
    if (::dup2(pipes.input.get(), 0) < 0 || ::dup2(pipes.out_write.get(), 1) < 0 ||
        ::dup2(pipes.err_write.get(), 2) < 0 || ::chdir(folder) != 0) {
        ::_exit(127);
    }
    // The server's sockets and files are not the child's business.
    if (::close_range(3, UINT_MAX, 0) != 0) {
        for (int fd = 3; fd < 65536; ++fd) ::close(fd);
    }
    const rlimit no_core{0, 0};
    ::setrlimit(RLIMIT_CORE, &no_core);
    if (limits.memory_limit > 0) {
        const rlim_t bytes = static_cast<rlim_t>(limits.memory_limit) << 20;
        const rlimit address_space{bytes, bytes};
        ::setrlimit(RLIMIT_AS, &address_space);
    }
    // The server blocks SIGINT and SIGTERM and ignores SIGPIPE; the child
    // starts with the defaults a shell would give it.
    ::signal(SIGPIPE, SIG_DFL);
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execv("/proc/self/exe", argv);
    ::_exit(127);
}

// Reads what is there; false at the end of the pipe.
bool drain(int fd, const std::function<void(std::string_view)>& take) {
    char buffer[65536];
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    if (count > 0) {
        take(std::string_view(buffer, static_cast<std::size_t>(count)));
        return true;
    }
    return count < 0 && (errno == EINTR || errno == EAGAIN);
}

int milliseconds_until(steady::time_point when) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(when - steady::now());
    return static_cast<int>(std::max<long long>(0, std::min<long long>(left.count(), 60000)));
}

// Watches the child: its two pipes, the stop request and the clock.
class watcher {
public:
    watcher(pid_t pid, const child_limits& limits, stop_request& stop)
        : pid_(pid),
          // Readable once the child has exited (Linux 5.3 on); without it the
          // exit is looked for every 10 ms.
          exited_(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0))),
          stop_(stop),
          deadline_(steady::now() + std::chrono::duration_cast<steady::duration>(
                                        std::chrono::duration<double>(limits.time_limit))) {}

    void watch(int out, int err, const std::function<void(std::string_view)>& on_output,
               child_end& end) {
        bool out_open = true;
        bool err_open = true;
        const auto keep_error = [&](std::string_view piece) {
            const std::size_t room = error_output_limit - end.error_output.size();
            end.error_output.append(piece.substr(0, std::min(room, piece.size())));
        };
        int status = 0;
        for (;;) {
            const bool pipes_open = out_open || err_open;
            pollfd fds[4] = {{out_open ? out : -1, POLLIN, 0},
                             {err_open ? err : -1, POLLIN, 0},
                             {stop_.wake_descriptor(), POLLIN, 0},
                             {pipes_open ? -1 : exited_.get(), POLLIN, 0}};
            // Once both pipes are closed the child is on its way out.
            const int timeout = milliseconds_until(next_time());
            if (::poll(fds, 4, pipes_open || exited_.get() >= 0 ? timeout : std::min(timeout, 10)) <
                    0 &&
                errno != EINTR) {
                ::waitpid(pid_, &status, 0);
                break;
            }
            if (fds[0].revents != 0) out_open = drain(out, on_output);
            if (fds[1].revents != 0) err_open = drain(err, keep_error);
            if (fds[2].revents != 0) drain(stop_.wake_descriptor(), [](std::string_view) {});
            enforce(end);
            if (!out_open && !err_open && ::waitpid(pid_, &status, WNOHANG) == pid_) break;
        }
        end.exited = WIFEXITED(status);
        end.exit_status = end.exited ? WEXITSTATUS(status) : 0;
        end.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }

private:
    [[nodiscard]] steady::time_point next_time() const {
        if (killed_) return steady::now() + std::chrono::seconds(1);
        return terminated_ ? kill_at_ : deadline_;
    }

    // The time limit and a stop request: SIGTERM first, SIGKILL after the
    // grace period.
    void enforce(child_end& end) {
        const auto now = steady::now();
        if (!terminated_) {
            stop_cause cause = stop_.cause();
            if (cause == stop_cause::none && now >= deadline_) cause = stop_cause::time_limit;
            if (cause == stop_cause::none) return;
            end.stopped = cause;
            terminated_ = true;
            kill_at_ = now + kill_grace;
            ::kill(-pid_, SIGTERM);
        } else if (!killed_ && now >= kill_at_) {
            killed_ = true;
            ::kill(-pid_, SIGKILL);
        }
    }

    pid_t pid_;
    descriptor exited_;
    stop_request& stop_;
    steady::time_point deadline_;
    steady::time_point kill_at_;
    bool terminated_ = false;
    bool killed_ = false;
};

}  // namespace

stop_request::stop_request() {
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
}

stop_request::~stop_request() {
    for (int fd : wake_) {
        if (fd >= 0) ::close(fd);
    }
}

void stop_request::ask(stop_cause cause) {
    stop_cause none = stop_cause::none;
    cause_.compare_exchange_strong(none, cause);
    const char byte = 1;
    if (wake_[1] >= 0) [[maybe_unused]]
        const ssize_t written = ::write(wake_[1], &byte, 1);
}

child_end run_child(const std::string& folder, const std::vector<std::string>& arguments,
                    const child_limits& limits, stop_request& stop,
                    const std::function<void(std::string_view)>& on_output) {
    child_end end;
    child_pipes pipes;
    if (const auto error = open_pipes(folder, pipes)) {
        end.start_error = *error;
        return end;
    }
    std::vector<std::string> words = {"veltaro"};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        end.start_error = std::string("fork: ") + std::strerror(errno);
        return end;
    }
    if (pid == 0) become_child(pipes, folder.c_str(), argv.data(), limits, parent);
    ::setpgid(pid, pid);  // also here, so a kill of the group never misses
    pipes.input.reset();
    pipes.out_write.reset();
    pipes.err_write.reset();
    watcher(pid, limits, stop).watch(pipes.out_read.get(), pipes.err_read.get(), on_output, end);
    return end;
}

}  // namespace veltaro::server
