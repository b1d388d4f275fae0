#include "server/event_history.h"

namespace veltaro::server {

void event_history::append(std::string_view event, std::string_view data) {
    {
        const std::lock_guard lock(mutex_);
        const std::uint64_t id = first_id_ + frames_.size();
        std::string frame = "id: " + std::to_string(id) + "\nevent: ";
        frame.append(event).append("\ndata: ").append(data).append("\n\n");
        frames_.push_back(std::move(frame));
        if (keep_ > 0 && frames_.size() > keep_) {
            frames_.pop_front();
            ++first_id_;
        }
    }
    arrived_.notify_all();
}

void event_history::end() {
    {
        const std::lock_guard lock(mutex_);
        ended_ = true;
    }
    arrived_.notify_all();
}

void event_history::close() {
    {
        const std::lock_guard lock(mutex_);
        closed_ = true;
    }
    arrived_.notify_all();
}

event_history::reading event_history::read_after(std::uint64_t& last_id,
                                                 std::chrono::milliseconds patience) {
    constexpr std::size_t batch = 256;
    std::unique_lock lock(mutex_);
    const auto next_index = [&] {
        const std::uint64_t next = std::max(last_id + 1, first_id_);
        return static_cast<std::size_t>(next - first_id_);
    };
    arrived_.wait_for(lock, patience,
                      [&] { return closed_ || ended_ || next_index() < frames_.size(); });
    reading result;
    std::size_t index = next_index();
    for (; index < frames_.size() && result.frames.size() < batch; ++index) {
        result.frames.push_back(frames_[index]);
    }
    if (index > 0 || !frames_.empty()) last_id = first_id_ + index - 1;
    result.over = closed_ || (ended_ && index >= frames_.size());
    return result;
}

bool event_history::ended_before(std::uint64_t last_id) {
    const std::lock_guard lock(mutex_);
    return ended_ && last_id + 1 >= first_id_ + frames_.size();
}

std::uint64_t event_history::last_id() {
    const std::lock_guard lock(mutex_);
    return first_id_ + frames_.size() - 1;
}

}  // namespace veltaro::server
