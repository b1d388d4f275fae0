#include "server/studio.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "common/run_error.h"
#include "common/text_format.h"
#include "common/threads.h"
#include "output/atomic_file.h"
#include "server/console_lines.h"

namespace veltaro::server {
namespace {

namespace fs = std::filesystem;

// The files a client may fetch, beside the run's picture; nothing else of
// a run folder is ever served, and no path is made from a client's text.
constexpr std::array run_files = {
    "U.dat",        "V.dat",        "P.dat",        "convergence.txt", "convergence.svg",
    "U.jpg",        "V.jpg",        "pressure.jpg", "velocity.jpg",    "flow.vtk",
    "summary.json", "residual.txt", "console.txt",  "answers.txt",     "run.json",
    "forces.csv",   "vorticity.webp"};

// Summary keys that repeat the answers, and its warnings, which a record
// shows on their own; the rest are the run's results.
constexpr std::array answer_keys = {
    "picture", "picture_width", "picture_height", "reynolds_number", "kinematic_viscosity",
    "density", "tunnel_height", "tunnel_length",  "mesh_choice",     "max_iterations",
    "warnings"};

constexpr std::size_t store_events_kept = 4096;
constexpr auto cancel_patience = std::chrono::seconds(10);
const char* const interrupted_message = "The server stopped before this run finished.";

std::string error_body(const std::string& sentence) {
    return nlohmann::json{{"error", sentence}}.dump();
}

reply error_reply(int status, const std::string& sentence) {
    return {status, error_body(sentence)};
}

void write_file(const fs::path& path, std::string_view bytes, file_kind kind) {
    atomic_file file(path.string(), kind);
    file.write(bytes);
    file.commit();
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// "20261206-175303-4f2a": sorts by time, and four random hex digits keep two
// runs posted in the same second apart. Creates the folder.
std::string new_run_folder(const fs::path& runs) {
    static std::mt19937 random(std::random_device{}());
    static std::mutex random_mutex;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::time_t now = std::time(nullptr);
        std::tm utc{};
        gmtime_r(&now, &utc);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &utc);
        unsigned tag = 0;
        {
            const std::lock_guard lock(random_mutex);
            tag = random() & 0xffffu;
        }
        std::string id = format_text("%s-%04x", stamp, tag);
        if (::mkdir((runs / id).c_str(), 0755) == 0) return id;
        if (errno != EEXIST) {
            throw run_error("Could not create a run folder in " + runs.string() + ": " +
                            std::strerror(errno));
        }
    }
    throw run_error("Could not find a free name for a run folder in " + runs.string());
}

// The program's own sentences from its standard error: warnings of a
// completed run are in its summary, the refusal is the rest.
std::string refusal_text(const std::string& error_output) {
    std::istringstream lines(error_output);
    std::string line;
    std::string text;
    while (std::getline(lines, line)) {
        if (line.empty() || line.rfind("Warning: ", 0) == 0) continue;
        if (!text.empty()) text += ' ';
        text += line;
    }
    return text;
}

// "grid/72-across/" at the start of name, else empty: the one folder of a
// run whose files are served beside its own, the name's digits alone
// taken from the client's text.
std::string_view grid_mesh_folder(std::string_view name) {
    constexpr std::string_view start = "grid/";
    constexpr std::string_view end = "-across/";
    if (name.substr(0, start.size()) != start) return {};
    const std::size_t digits = name.find_first_not_of("0123456789", start.size());
    if (digits == std::string_view::npos || digits == start.size() || digits > start.size() + 9 ||
        name.substr(digits, end.size()) != end) {
        return {};
    }
    return name.substr(0, digits + end.size());
}

struct final_state {
    run_status status;
    std::string message;
};

// How a child's end reads as a run's status: 1 is a complete run; 2 is a
// refusal before the first iteration and a failure after it, or when the
// program says its flow diverged (which it can in the first iteration,
// before its line is printed).
final_state judge_end(const child_end& end, int iterations, double time_limit) {
    const std::string said = refusal_text(end.error_output);
    if (!end.start_error.empty()) {
        return {run_status::failed, "The run could not be started: " + end.start_error + "."};
    }
    switch (end.stopped) {
        case stop_cause::cancelled:
            return {run_status::cancelled, "The run was cancelled."};
        case stop_cause::interrupted:
            return {run_status::interrupted, interrupted_message};
        case stop_cause::time_limit:
            return {run_status::failed,
                    format_text("stopped after the time limit of %g s", time_limit)};
        case stop_cause::none:
            break;
    }
    if (end.exited && end.exit_status == 1) return {run_status::done, ""};
    if (end.exited && end.exit_status == refusal_status) {
        const bool diverged = said.rfind(divergence_words, 0) == 0;
        return {iterations == 0 && !diverged ? run_status::refused : run_status::failed,
                said.empty() ? "The program stopped without saying why." : said};
    }
    std::string message =
        end.exited ? format_text("The program ended with exit status %d", end.exit_status)
                   : format_text("The program was killed by signal %d (%s)", end.signal,
                                 strsignal(end.signal));
    return {run_status::failed, said.empty() ? message + "." : message + ": " + said};
}

}  // namespace

studio::studio(studio_settings settings)
    : settings_(std::move(settings)),
      store_events_(std::make_shared<event_history>(store_events_kept)) {
    load_store();
}

studio::~studio() {
    try {
        shut_down();
    } catch (...) {
        // Nothing more can be done for the runs while the server goes.
    }
}

void studio::load_store() {
    for (const fs::directory_entry& item : fs::directory_iterator(settings_.runs)) {
        const fs::path record_file = item.path() / "run.json";
        if (!item.is_directory() || !fs::is_regular_file(record_file)) continue;
        run_entry entry;
        try {
            entry.record = record_from_json(nlohmann::json::parse(read_file(record_file)));
        } catch (const std::exception&) {
            continue;  // not a run this server can read; left as it is
        }
        if (entry.record.id != item.path().filename().string()) continue;
        if (!is_final(entry.record.status)) {
            entry.record.status = run_status::interrupted;
            entry.record.message = interrupted_message;
            entry.record.finished = iso_time_now();
            save(entry.record);
        }
        entry.events = std::make_shared<event_history>();
        entry.history_built = false;
        const std::string id = entry.record.id;
        runs_.emplace(id, std::move(entry));
    }
}

void studio::start_runners() {
    for (int n = 0; n < settings_.jobs; ++n) runners_.emplace_back([this] { runner_loop(); });
}

void studio::shut_down() {
    {
        const std::lock_guard lock(mutex_);
        if (stopping_) return;
        stopping_ = true;
        for (auto& [id, entry] : runs_) {
            if (entry.stop) entry.stop->ask(stop_cause::interrupted);
        }
    }
    queue_changed_.notify_all();
    for (std::thread& runner : runners_) runner.join();
    runners_.clear();
    {
        const std::lock_guard lock(mutex_);
        for (const std::string& id : queue_) {
            finish(runs_.at(id), run_status::interrupted, interrupted_message);
        }
        queue_.clear();
    }
    store_events_->close();
}

reply studio::submit(const run_request& request, std::string_view picture,
                     const std::string& upload) {
    const auto full = [&] {
        return static_cast<int>(queue_.size()) + running_ >= settings_.jobs + settings_.queue;
    };
    reply queue_full = error_reply(
        429, format_text("The queue is full (%d runs waiting); post again when some have "
                         "finished.",
                         settings_.queue));
    {
        const std::lock_guard lock(mutex_);
        if (stopping_) return error_reply(503, "The server is stopping.");
        if (full()) return queue_full;
    }
    run_record record;
    try {
        record.id = new_run_folder(settings_.runs);
    } catch (const run_error& error) {
        return error_reply(500, error.what());
    }
    const fs::path folder = folder_of(record.id);
    record.created = iso_time_now();
    record.picture = picture_name_for(picture);
    record.answers = request.answers;
    record.options = request.options;
    record.sweep = request.sweep;
    record.airfoil = request.airfoil;
    record.upload = upload;
    try {
        write_file(folder / record.picture, picture, file_kind::binary);
        write_file(folder / "answers.txt", answers_text(record.picture, record.answers),
                   file_kind::text);
        save(record);
    } catch (const run_error& error) {
        fs::remove_all(folder);
        return error_reply(500, error.what());
    }
    const std::lock_guard lock(mutex_);
    if (stopping_ || full()) {
        fs::remove_all(folder);
        return stopping_ ? error_reply(503, "The server is stopping.") : queue_full;
    }
    run_entry& entry = runs_[record.id];
    entry.record = record;
    entry.events = std::make_shared<event_history>();
    queue_.push_back(record.id);
    announce(entry);
    queue_changed_.notify_one();
    return {201, nlohmann::ordered_json{{"id", record.id}, {"status", "queued"}}.dump()};
}

reply studio::list() {
    const std::lock_guard lock(mutex_);
    std::vector<run_entry*> entries;
    for (auto& [id, entry] : runs_) entries.push_back(&entry);
    std::sort(entries.begin(), entries.end(), [](const run_entry* a, const run_entry* b) {
        return std::tie(a->record.created, a->record.id) >
               std::tie(b->record.created, b->record.id);
    });
    nlohmann::ordered_json runs = nlohmann::ordered_json::array();
    for (run_entry* entry : entries) runs.push_back(view(*entry, false));
    return {200, nlohmann::ordered_json{{"runs", std::move(runs)}}.dump()};
}

reply studio::show(const std::string& id) {
    const std::lock_guard lock(mutex_);
    const auto found = runs_.find(id);
    if (found == runs_.end()) return error_reply(404, "There is no run " + id + ".");
    return {200, view(found->second, true).dump()};
}

reply studio::remove(const std::string& id) {
    std::unique_lock lock(mutex_);
    auto found = runs_.find(id);
    if (found == runs_.end()) return error_reply(404, "There is no run " + id + ".");
    run_entry& entry = found->second;
    if (entry.record.status == run_status::queued) {
        queue_.erase(std::find(queue_.begin(), queue_.end(), id));
        finish(entry, run_status::cancelled, "The run was cancelled.");
        announce_queue();
        return {200, view(entry, false).dump()};
    }
    if (entry.record.status == run_status::running) {
        entry.stop->ask(stop_cause::cancelled);
        run_ended_.wait_for(lock, cancel_patience, [&] {
            const auto still = runs_.find(id);
            return still == runs_.end() || is_final(still->second.record.status);
        });
        found = runs_.find(id);
        if (found == runs_.end()) return {204, ""};
        return {200, view(found->second, false).dump()};
    }
    std::error_code ignored;
    fs::remove_all(folder_of(id), ignored);
    runs_.erase(found);
    store_events_->append("deleted", nlohmann::json{{"id", id}}.dump());
    return {204, ""};
}

bool studio::has_run(const std::string& id) {
    const std::lock_guard lock(mutex_);
    return runs_.count(id) > 0;
}

std::optional<fs::path> studio::file_of(const std::string& id, const std::string& name) {
    const std::lock_guard lock(mutex_);
    const auto found = runs_.find(id);
    if (found == runs_.end()) return std::nullopt;
    const std::string& picture = found->second.record.picture;
    // A grid study's mesh folder, "grid/<N>-across/", holds a run's files.
    const std::string_view mesh = grid_mesh_folder(name);
    const std::string file = name.substr(mesh.size());
    std::optional<fs::path> path;
    if (name == picture) path = folder_of(found->first) / picture;
    for (const char* known : run_files) {
        if (file == known) path = folder_of(found->first) / std::string(mesh) / known;
    }
    if (!path || !fs::is_regular_file(*path)) return std::nullopt;
    return path;
}

std::variant<std::vector<archive_entry>, reply> studio::archive_files(const std::string& id) {
    const std::lock_guard lock(mutex_);
    const auto found = runs_.find(id);
    if (found == runs_.end()) return error_reply(404, "There is no run " + id + ".");
    if (!is_final(found->second.record.status)) {
        return error_reply(409, "The run has not finished; its archive is made once it has.");
    }
    std::vector<archive_entry> entries;
    const fs::path folder = folder_of(found->first);
    const std::string& picture = found->second.record.picture;
    if (fs::is_regular_file(folder / picture)) entries.push_back({folder / picture, picture});
    const auto add_run_files = [&](const std::string& mesh) {
        for (const char* known : run_files) {
            const fs::path file = folder / mesh / known;
            if (fs::is_regular_file(file)) entries.push_back({file, mesh + known});
        }
    };
    add_run_files("");
    // A grid study's meshes, each a run of its own, under the folders the
    // program wrote: only names of the form "grid/<N>-across/".
    std::vector<std::string> meshes;
    std::error_code error;
    for (const fs::directory_entry& item : fs::directory_iterator(folder / "grid", error)) {
        const std::string mesh = "grid/" + item.path().filename().string() + "/";
        if (item.is_directory() && grid_mesh_folder(mesh).size() == mesh.size()) {
            meshes.push_back(mesh);
        }
    }
    std::sort(meshes.begin(), meshes.end());
    for (const std::string& mesh : meshes) add_run_files(mesh);
    return entries;
}

std::shared_ptr<event_history> studio::run_events(const std::string& id) {
    const std::lock_guard lock(mutex_);
    const auto found = runs_.find(id);
    if (found == runs_.end()) return nullptr;
    if (!found->second.history_built) build_history(found->second);
    return found->second.events;
}

void studio::runner_loop() {
    for (;;) {
        std::string id;
        {
            std::unique_lock lock(mutex_);
            queue_changed_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
            if (stopping_) return;
            id = queue_.front();
            queue_.pop_front();
            ++running_;
            run_entry& entry = runs_.at(id);
            entry.record.status = run_status::running;
            entry.record.started = iso_time_now();
            entry.stop = std::make_shared<stop_request>();
            save(entry.record);
            announce(entry);
            announce_queue();
        }
        run_one(id);
    }
}

void studio::run_one(const std::string& id) {
    std::vector<std::string> arguments;
    std::shared_ptr<stop_request> stop;
    {
        const std::lock_guard lock(mutex_);
        const run_entry& entry = runs_.at(id);
        arguments = option_arguments(entry.record.options);
        // The cores shared among the runs going now, this one included: the
        // results are the same bytes at any count.
        arguments.push_back("--threads=" + std::to_string(std::max(1, machine_threads() / running_)));
        stop = entry.stop;
    }
    const fs::path folder = folder_of(id);
    child_end end;
    {
        // The console as the child prints it, flushed piece by piece so
        // that the file grows as the run goes.
        std::unique_ptr<std::FILE, int (*)(std::FILE*)> console(
            std::fopen((folder / "console.txt").c_str(), "wb"), &std::fclose);
        console_events events(folder);
        line_splitter lines([&](std::string_view line) { take_output(id, line, events); });
        end = run_child(folder.string(), arguments, settings_.limits, *stop,
                        [&](std::string_view piece) {
                            if (console) {
                                std::fwrite(piece.data(), 1, piece.size(), console.get());
                                std::fflush(console.get());
                            }
                            lines.take(piece);
                        });
    }
    const std::lock_guard lock(mutex_);
    run_entry& entry = runs_.at(id);
    const final_state state = judge_end(end, entry.record.iterations, settings_.limits.time_limit);
    if (end.exited) entry.record.exit_status = end.exit_status;
    entry.stop.reset();
    --running_;
    finish(entry, state.status, state.message);
    run_ended_.notify_all();
}

void studio::take_output(const std::string& id, std::string_view line, console_events& events) {
    // Read outside the lock: the files are this runner's alone to follow.
    const std::optional<console_event> event = events.take(line);
    if (!event) return;
    const std::lock_guard lock(mutex_);
    run_entry& entry = runs_.at(id);
    if (event->count > 0) entry.record.iterations = event->count;
    entry.events->append(event->kind, event->data);
}

void studio::finish(run_entry& entry, run_status status, std::string message) {
    // The program names the picture by its stored name; the user knows it
    // by the name it was uploaded with.
    const std::string stored = "file: " + entry.record.picture + " (";
    if (const std::size_t at = message.find(stored);
        at != std::string::npos && !entry.record.upload.empty()) {
        message.replace(at, stored.size(), "file: " + entry.record.upload + " (");
    }
    entry.record.status = status;
    entry.record.message = std::move(message);
    entry.record.finished = iso_time_now();
    entry.summary_read = false;
    save(entry.record);
    announce(entry);
    entry.events->end();
}

nlohmann::ordered_json studio::view(run_entry& entry, bool with_summary) {
    nlohmann::ordered_json json = record_to_json(entry.record);
    const auto position = std::find(queue_.begin(), queue_.end(), entry.record.id);
    json["queue_position"] = position == queue_.end()
                                 ? nlohmann::ordered_json(nullptr)
                                 : nlohmann::ordered_json(position - queue_.begin() + 1);
    const nlohmann::ordered_json* summary = summary_of(entry);
    nlohmann::ordered_json results = nullptr;
    nlohmann::ordered_json warnings = nlohmann::ordered_json::array();
    if (summary != nullptr && summary->is_object()) {
        results = nlohmann::ordered_json::object();
        for (const auto& [key, value] : summary->items()) {
            if (std::find(answer_keys.begin(), answer_keys.end(), key) == answer_keys.end()) {
                results[key] = value;
            }
        }
        if (summary->contains("warnings")) warnings = (*summary)["warnings"];
    }
    json["results"] = std::move(results);
    json["warnings"] = std::move(warnings);
    if (with_summary) {
        json["summary"] = summary != nullptr ? *summary : nlohmann::ordered_json(nullptr);
    }
    return json;
}

const nlohmann::ordered_json* studio::summary_of(run_entry& entry) {
    if (!is_final(entry.record.status)) return nullptr;
    if (!entry.summary_read) {
        entry.summary_read = true;
        entry.summary.reset();
        const fs::path file = folder_of(entry.record.id) / "summary.json";
        if (fs::is_regular_file(file)) {
            // Keys in the file's own order.
            entry.summary = nlohmann::ordered_json::parse(read_file(file), nullptr, false);
            if (entry.summary->is_discarded()) entry.summary.reset();
        }
    }
    return entry.summary ? &*entry.summary : nullptr;
}

void studio::announce(run_entry& entry) {
    const std::string data = view(entry, false).dump();
    entry.events->append("status", data);
    store_events_->append("status", data);
}

void studio::announce_queue() {
    for (const std::string& id : queue_) announce(runs_.at(id));
}

void studio::save(const run_record& record) {
    try {
        write_file(folder_of(record.id) / "run.json", record_to_json(record).dump(2) + "\n",
                   file_kind::text);
    } catch (const run_error&) {
        // The record in memory stays right; the folder may be gone or full,
        // and the next change of status tries again.
    }
}

void studio::build_history(run_entry& entry) {
    std::ifstream console(folder_of(entry.record.id) / "console.txt");
    console_events events(folder_of(entry.record.id));
    std::string line;
    while (std::getline(console, line)) {
        if (const std::optional<console_event> event = events.take(line)) {
            entry.events->append(event->kind, event->data);
        }
    }
    entry.events->append("status", view(entry, false).dump());
    entry.events->end();
    entry.history_built = true;
}

}  // namespace veltaro::server
