// studio: the run store and its queue. Each run is a folder RUNS/<id>/ with
// the picture, "answers.txt", "run.json" (its record), "console.txt" (the
// child's standard output) and the results, "residual.txt" among them. At
// most `jobs` children run at once, each on a runner thread of its own; the
// others wait in a FIFO queue of at most `queue`. Every change of a run is
// an event on the run's own stream and on the store-wide one.
//
// A studio knows nothing of HTTP: its answers are JSON texts with the
// status code they call for, and the routes hand them on.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <variant>
#include <vector>
#include <condition_variable>
#include <deque>

#include <nlohmann/json.hpp>

#include "server/child_process.h"
#include "server/event_history.h"
#include "server/run_record.h"
#include "server/run_request.h"
#include "server/zip_archive.h"

namespace veltaro::server {

class console_events;

struct studio_settings {
    std::filesystem::path runs;  // absolute
    int jobs = 1;
    int queue = 100;
    child_limits limits;
};

struct reply {
    int status = 200;
    std::string body;  // JSON, or empty for 204
};

class studio {
public:
    // Reads the store: every run of an earlier server that was queued or
    // running is marked interrupted. Throws std::runtime_error when the
    // folder cannot be read.
    explicit studio(studio_settings settings);
    ~studio();
    studio(const studio&) = delete;
    studio& operator=(const studio&) = delete;

    void start_runners();
    // Stops the runners and every child, marks their runs interrupted and
    // ends every event stream. Idempotent.
    void shut_down();

    // upload: the picture's file name as the user's browser sent it.
    reply submit(const run_request& request, std::string_view picture, const std::string& upload);
    reply list();
    reply show(const std::string& id);
    reply remove(const std::string& id);
    bool has_run(const std::string& id);

    // The file of a run by its name in the fixed list, when it exists.
    std::optional<std::filesystem::path> file_of(const std::string& id, const std::string& name);
    // Every file of a finished run (a grid study's meshes too, in their
    // folders), or an error reply (404 or 409).
    std::variant<std::vector<archive_entry>, reply> archive_files(const std::string& id);

    // The run's events (nullptr for an unknown id) and the store-wide ones.
    std::shared_ptr<event_history> run_events(const std::string& id);
    std::shared_ptr<event_history> store_events() { return store_events_; }

private:
    struct run_entry {
        run_record record;
        std::shared_ptr<event_history> events;
        bool history_built = true;  // false for a run of an earlier session
        std::optional<nlohmann::ordered_json> summary;
        bool summary_read = false;
        std::shared_ptr<stop_request> stop;  // while running
    };

    void load_store();
    void runner_loop();
    void run_one(const std::string& id);
    void finish(run_entry& entry, run_status status, std::string message);
    void take_output(const std::string& id, std::string_view line, console_events& events);

    // With mutex_ held:
    nlohmann::ordered_json view(run_entry& entry, bool with_summary);
    void announce(run_entry& entry);
    void announce_queue();
    void save(const run_record& record);
    std::filesystem::path folder_of(const std::string& id) const { return settings_.runs / id; }
    const nlohmann::ordered_json* summary_of(run_entry& entry);
    void build_history(run_entry& entry);

    studio_settings settings_;
    std::mutex mutex_;
    std::condition_variable queue_changed_;
    std::condition_variable run_ended_;
    std::map<std::string, run_entry> runs_;
    std::deque<std::string> queue_;
    int running_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> runners_;
    std::shared_ptr<event_history> store_events_;
};

}  // namespace veltaro::server
