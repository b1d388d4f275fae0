// run_record: the server's own record of one run, kept in its folder as
// "run.json" so that the store survives a restart. The answers are kept as
// they were posted, so a refused run can be posted again with changes.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace veltaro::server {

enum class run_status { queued, running, done, refused, failed, cancelled, interrupted };

using text_fields = std::vector<std::pair<std::string, std::string>>;

struct run_record {
    std::string id;
    std::string created;
    std::string started;   // empty until the child starts
    std::string finished;  // empty until the status is final
    run_status status = run_status::queued;
    std::string message;  // the refusal or failure in words, or empty
    std::optional<int> exit_status;
    int iterations = 0;
    std::string sweep;
    std::string picture;  // "picture.jpg" or "picture.png"
    std::string upload;   // the picture's file name as uploaded, for messages
    text_fields answers;  // as posted, in the dialogue's order
    text_fields options;  // command-line options, as posted
    text_fields airfoil;  // a drawn airfoil's "naca" and "angle", or empty
};

std::string status_name(run_status status);
// Anything but queued and running: no child will write into the folder.
bool is_final(run_status status);

// "run.json" and back; record_from_json throws (a std::exception) on a
// record it cannot read.
nlohmann::ordered_json record_to_json(const run_record& record);
run_record record_from_json(const nlohmann::json& json);

// The current time, ISO 8601 in UTC with milliseconds.
std::string iso_time_now();

}  // namespace veltaro::server
