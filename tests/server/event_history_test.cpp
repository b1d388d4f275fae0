// One run's events: numbered from 1, read from any place, the end told
// once everything is read, and a store-wide history that forgets its oldest.
#include "server/event_history.h"

#include <gtest/gtest.h>

#include <thread>

namespace veltaro::server {
namespace {

using std::chrono::milliseconds;

TEST(EventHistory, ReadFromAnyPlace) {
    event_history history;
    for (const char* data : {"a", "b", "c"}) history.append("status", data);
    history.end();
    // clang-format off
    const struct {
        std::uint64_t after;
        std::vector<std::string> frames;
        bool ended_before;
    } rows[] = {
        {0, {"id: 1\nevent: status\ndata: a\n\n", "id: 2\nevent: status\ndata: b\n\n", "id: 3\nevent: status\ndata: c\n\n"}, false},
        {2, {"id: 3\nevent: status\ndata: c\n\n"}, false},
        {3, {}, true},
        {99, {}, true},
    };
    // clang-format on
    for (const auto& row : rows) {
        std::uint64_t cursor = row.after;
        const event_history::reading reading = history.read_after(cursor, milliseconds(0));
        EXPECT_EQ(reading.frames, row.frames) << "after " << row.after;
        EXPECT_TRUE(reading.over) << "after " << row.after;
        EXPECT_EQ(history.ended_before(row.after), row.ended_before) << "after " << row.after;
    }
}

TEST(EventHistory, AWatcherWakesForANewEvent) {
    event_history history;
    std::uint64_t cursor = 0;
    EXPECT_TRUE(history.read_after(cursor, milliseconds(0)).frames.empty());
    std::thread writer([&] { history.append("iteration", "{}"); });
    const event_history::reading reading = history.read_after(cursor, milliseconds(60000));
    writer.join();
    ASSERT_EQ(reading.frames.size(), 1u);
    EXPECT_FALSE(reading.over);
    EXPECT_EQ(cursor, 1u);
    history.close();
    EXPECT_TRUE(history.read_after(cursor, milliseconds(60000)).over);
}

TEST(EventHistory, TheStoreStreamForgetsItsOldest) {
    event_history history(2);
    for (const char* data : {"a", "b", "c"}) history.append("status", data);
    std::uint64_t cursor = 0;
    const event_history::reading reading = history.read_after(cursor, milliseconds(0));
    EXPECT_EQ(reading.frames, (std::vector<std::string>{"id: 2\nevent: status\ndata: b\n\n",
                                                        "id: 3\nevent: status\ndata: c\n\n"}));
    EXPECT_EQ(cursor, 3u);
    EXPECT_EQ(history.last_id(), 3u);
}

}  // namespace
}  // namespace veltaro::server
