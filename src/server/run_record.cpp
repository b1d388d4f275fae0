#include "server/run_record.h"

#include <array>
#include <chrono>
#include <ctime>
#include <stdexcept>

#include "common/text_format.h"

namespace veltaro::server {
namespace {

constexpr std::array status_names = {"queued", "running",   "done",       "refused",
                                     "failed", "cancelled", "interrupted"};

nlohmann::ordered_json text_or_null(const std::string& text) {
    return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(text);
}

std::string text_of(const nlohmann::json& json, const char* key) {
    const auto found = json.find(key);
    return found == json.end() || found->is_null() ? std::string() : found->get<std::string>();
}

nlohmann::ordered_json fields_to_json(const text_fields& fields) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (const auto& [name, value] : fields) object[name] = value;
    return object;
}

text_fields fields_from_json(const nlohmann::json& json, const char* key) {
    text_fields fields;
    const auto found = json.find(key);
    if (found == json.end() || found->is_null()) return fields;
    for (const auto& [name, value] : found->items()) {
        fields.emplace_back(name, value.get<std::string>());
    }
    return fields;
}

run_status status_from_name(const std::string& name) {
    for (std::size_t n = 0; n < status_names.size(); ++n) {
        if (name == status_names[n]) return static_cast<run_status>(n);
    }
    throw std::runtime_error("unknown status " + name);
}

}  // namespace

std::string status_name(run_status status) { return status_names[static_cast<int>(status)]; }

bool is_final(run_status status) {
    return status != run_status::queued && status != run_status::running;
}

nlohmann::ordered_json record_to_json(const run_record& record) {
    nlohmann::ordered_json json;
    json["id"] = record.id;
    json["created"] = record.created;
    json["started"] = text_or_null(record.started);
    json["finished"] = text_or_null(record.finished);
    json["status"] = status_name(record.status);
    json["message"] = text_or_null(record.message);
    json["exit_status"] = record.exit_status ? nlohmann::ordered_json(*record.exit_status)
                                             : nlohmann::ordered_json(nullptr);
    json["iterations"] = record.iterations;
    json["sweep"] = text_or_null(record.sweep);
    json["picture"] = record.picture;
    json["answers"] = fields_to_json(record.answers);
    json["options"] = fields_to_json(record.options);
    json["upload"] = text_or_null(record.upload);
    json["airfoil"] = record.airfoil.empty() ? nlohmann::ordered_json(nullptr)
                                             : fields_to_json(record.airfoil);
    return json;
}

run_record record_from_json(const nlohmann::json& json) {
    run_record record;
    record.id = json.at("id").get<std::string>();
    record.created = json.at("created").get<std::string>();
    record.started = text_of(json, "started");
    record.finished = text_of(json, "finished");
    record.status = status_from_name(json.at("status").get<std::string>());
    record.message = text_of(json, "message");
    if (json.contains("exit_status") && !json["exit_status"].is_null()) {
        record.exit_status = json["exit_status"].get<int>();
    }
    record.iterations = json.value("iterations", 0);
    record.sweep = text_of(json, "sweep");
    record.picture = json.at("picture").get<std::string>();
    if (record.picture != "picture.jpg" && record.picture != "picture.png") {
        throw std::runtime_error("unknown picture name " + record.picture);
    }
    record.answers = fields_from_json(json, "answers");
    record.options = fields_from_json(json, "options");
    record.upload = text_of(json, "upload");
    record.airfoil = fields_from_json(json, "airfoil");
    return record;
}

std::string iso_time_now() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &utc);
    return format_text("%s.%03dZ", date, static_cast<int>(milliseconds));
}

}  // namespace veltaro::server
