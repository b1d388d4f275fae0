// event_history: one sequence of Server-Sent Events, numbered from 1, kept
// so that a watcher who connects late or reconnects with Last-Event-ID gets
// what it missed. Many watchers read one history, each at its own place;
// each waits on the history's own condition variable, so a busy run does not
// wake the watchers of another.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace veltaro::server {

class event_history {
public:
    // keep: how many events a history holds at most (0: all); older ones are
    // forgotten, for the store-wide stream that never ends.
    explicit event_history(std::size_t keep = 0) : keep_(keep) {}

    // Adds "id: n\nevent: <event>\ndata: <data>\n\n" and wakes the watchers.
    void append(std::string_view event, std::string_view data);
    // After the last event: watchers finish once they have read it.
    void end();
    // Wakes every watcher to give up (the server is stopping).
    void close();

    struct reading {
        std::vector<std::string> frames;
        bool over = false;  // ended and all read, or closed
    };
    // The events after last_id (at most a few hundred), waiting up to
    // patience for one to come when there is none yet. last_id moves on.
    reading read_after(std::uint64_t& last_id, std::chrono::milliseconds patience);

    [[nodiscard]] bool ended_before(std::uint64_t last_id);
    [[nodiscard]] std::uint64_t last_id();

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<std::string> frames_;
    std::uint64_t first_id_ = 1;  // of frames_.front()
    std::size_t keep_;
    bool ended_ = false;
    bool closed_ = false;
};

}  // namespace veltaro::server
