// child_process: one run of this same program as a child process, started
// in its run folder with the answers file on standard input, exactly as a
// user would start it there, and watched until it ends.
//
// The child gets its own process group, no core files, an address-space
// limit, and dies with the thread that started it (PR_SET_PDEATHSIG), so a
// killed server leaves no child writing into a run it can no longer see.
// A stop (time limit, cancel, server shutdown) sends SIGTERM to the group
// and SIGKILL 2 s later.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace veltaro::server {

enum class stop_cause { none, time_limit, cancelled, interrupted };

// Asked for from any thread; wakes the thread watching the child at once.
class stop_request {
public:
    stop_request();
    ~stop_request();
    stop_request(const stop_request&) = delete;
    stop_request& operator=(const stop_request&) = delete;

    // The first cause asked for wins.
    void ask(stop_cause cause);
    [[nodiscard]] stop_cause cause() const { return cause_.load(); }
    [[nodiscard]] int wake_descriptor() const { return wake_[0]; }

private:
    std::atomic<stop_cause> cause_{stop_cause::none};
    int wake_[2] = {-1, -1};
};

struct child_limits {
    double time_limit = 600.0;  // s of wall-clock time
    long memory_limit = 0;      // MB of address space, 0 for none
};

struct child_end {
    bool exited = false;  // else killed by signal
    int exit_status = 0;
    int signal = 0;
    stop_cause stopped = stop_cause::none;  // why the server stopped it, if it did
    std::string error_output;               // standard error, up to 64 kB
    std::string start_error;                // set when no child could be started
};

// Runs the child to its end. on_output receives standard output as it
// comes, in pieces of any size; it runs on the calling thread.
child_end run_child(const std::string& folder, const std::vector<std::string>& arguments,
                    const child_limits& limits, stop_request& stop,
                    const std::function<void(std::string_view)>& on_output);

}  // namespace veltaro::server
