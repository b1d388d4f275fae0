#include "server/http_routes.h"

#include <httplib.h>

#include <charconv>
#include <fstream>
#include <memory>
#include <sstream>

#include "server/embedded_files.h"
#include "server/program_command.h"
#include "server/zip_archive.h"

namespace veltaro::server {
namespace {

namespace fs = std::filesystem;

// A watcher with nothing new hears a comment this often, so a closed
// connection is noticed and proxies keep the stream open.
constexpr auto keep_alive_interval = std::chrono::seconds(5);

void send_json(httplib::Response& res, int status, const std::string& body) {
    res.status = status;
    if (!body.empty()) res.set_content(body, "application/json");
}

void send_error(httplib::Response& res, int status, const std::string& sentence) {
    send_json(res, status, nlohmann::json{{"error", sentence}}.dump());
}

void send_reply(httplib::Response& res, const reply& answer) {
    send_json(res, answer.status, answer.body);
}

std::string content_type_of(const std::string& name) {
    static const std::pair<const char*, const char*> types[] = {
        {".html", "text/html; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"},
        {".mjs", "text/javascript; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},
        {".svg", "image/svg+xml"},
        {".png", "image/png"},
        {".jpg", "image/jpeg"},
        {".webp", "image/webp"},
        {".ico", "image/x-icon"},
        {".json", "application/json"},
        {".txt", "text/plain; charset=utf-8"},
        {".dat", "text/plain; charset=utf-8"},
        {".vtk", "application/octet-stream"},
        {".woff2", "font/woff2"},
    };
    const std::size_t dot = name.rfind('.');
    const std::string extension = dot == std::string::npos ? "" : name.substr(dot);
    for (const auto& [known, type] : types) {
        if (extension == known) return type;
    }
    return "application/octet-stream";
}

std::optional<std::string> header_of(const httplib::Request& req, const char* name) {
    if (!req.has_header(name)) return std::nullopt;
    return req.get_header_value(name);
}

request_facts facts_of(const httplib::Request& req) {
    request_facts facts;
    facts.method = req.method;
    facts.host = header_of(req, "Host");
    facts.origin = header_of(req, "Origin");
    facts.cookie = header_of(req, "Cookie");
    facts.authorization = header_of(req, "Authorization");
    if (req.has_param("token")) facts.query_token = req.get_param_value("token");
    return facts;
}

// The id after which a stream resumes; 0 (from the start) when absent or
// unreadable.
std::uint64_t last_event_id(const httplib::Request& req) {
    const std::string text = req.get_header_value("Last-Event-ID");
    std::uint64_t id = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), id);
    return error == std::errc() && end == text.data() + text.size() ? id : 0;
}

void stream_events(httplib::Response& res, const std::shared_ptr<event_history>& history,
                   std::uint64_t after) {
    res.set_header("Cache-Control", "no-cache");
    res.set_header("X-Accel-Buffering", "no");
    auto cursor = std::make_shared<std::uint64_t>(after);
    res.set_chunked_content_provider(
        "text/event-stream", [history, cursor](std::size_t, httplib::DataSink& sink) {
            const auto reading = history->read_after(
                *cursor,
                std::chrono::duration_cast<std::chrono::milliseconds>(keep_alive_interval));
            std::string text;
            for (const std::string& frame : reading.frames) text += frame;
            if (text.empty() && !reading.over) text = ": keep-alive\n\n";
            if (!text.empty() && !sink.write(text.data(), text.size())) return false;
            if (reading.over) sink.done();
            return true;
        });
}

std::string read_whole_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void post_run(const httplib::Request& req, httplib::Response& res, studio& runs) {
    if (!req.is_multipart_form_data()) {
        send_error(res, 400, "Send the run as multipart/form-data, with the picture and answers.");
        return;
    }
    if (!req.has_file("picture")) {
        send_error(res, 400, "The field \"picture\" is missing; attach a JPEG or PNG picture.");
        return;
    }
    const httplib::MultipartFormData& upload = req.files.find("picture")->second;
    const std::string& picture = upload.content;
    if (picture.size() > picture_limit) {
        send_error(res, 413, "The picture is larger than 20 MB; send a smaller one.");
        return;
    }
    if (const std::string refusal = upload_refusal(upload.filename, picture); !refusal.empty()) {
        send_error(res, 415, refusal);
        return;
    }
    const request_check check = check_run_request([&](const std::string& name) {
        const auto found = req.files.find(name);
        return found == req.files.end() ? std::nullopt
                                        : std::optional<std::string>(found->second.content);
    });
    if (!check.request) {
        send_error(res, 400, check.refusal);
        return;
    }
    send_reply(res, runs.submit(*check.request, picture, upload.filename));
}

void get_file(const httplib::Request& req, httplib::Response& res, studio& runs) {
    const std::string id = req.matches[1];
    const std::string name = req.matches[2];
    if (!runs.has_run(id)) {
        send_error(res, 404, "There is no such run: " + id + ".");
        return;
    }
    const std::optional<fs::path> path = runs.file_of(id, name);
    if (!path) {
        send_error(res, 404, "There is no file \"" + name + "\" in that run.");
        return;
    }
    res.set_content(read_whole_file(*path), content_type_of(path->filename().string()));
    res.set_header("Cache-Control", "no-cache");
}

void get_archive(const httplib::Request& req, httplib::Response& res, studio& runs) {
    const std::string id = req.matches[1];
    auto files = runs.archive_files(id);
    if (const reply* refusal = std::get_if<reply>(&files)) {
        send_reply(res, *refusal);
        return;
    }
    try {
        res.set_content(zip_of(std::get<std::vector<archive_entry>>(files)), "application/zip");
        res.set_header("Content-Disposition", "attachment; filename=\"" + id + ".zip\"");
    } catch (const std::runtime_error& error) {
        send_error(res, 500, std::string("Could not make the archive: ") + error.what() + ".");
    }
}

void get_run_events(const httplib::Request& req, httplib::Response& res, studio& runs) {
    const std::shared_ptr<event_history> history = runs.run_events(req.matches[1]);
    if (!history) {
        send_error(res, 404, "There is no run " + std::string(req.matches[1]) + ".");
        return;
    }
    const std::uint64_t after = last_event_id(req);
    // Nothing left of a finished run: 204 tells a browser to stop coming back.
    if (req.has_header("Last-Event-ID") && history->ended_before(after)) {
        res.status = 204;
        return;
    }
    stream_events(res, history, after);
}

void get_store_events(const httplib::Request& req, httplib::Response& res, studio& runs) {
    const std::shared_ptr<event_history> history = runs.store_events();
    // An id from an earlier server session is ahead of this one's: start now.
    const std::uint64_t now = history->last_id();
    const std::uint64_t after = req.has_header("Last-Event-ID") ? last_event_id(req) : now;
    stream_events(res, history, after <= now ? after : now);
}

void get_page_file(const httplib::Request& req, httplib::Response& res) {
    const std::string path = req.path == "/" ? "index.html" : req.path.substr(1);
    for (const embedded_file& file : web_files()) {
        if (file.path == path) {
            res.set_content(file.bytes.data(), file.bytes.size(), content_type_of(path));
            res.set_header("Cache-Control", "no-cache");
            return;
        }
    }
    send_error(res, 404, "There is no page file " + req.path + ".");
}

std::string sentence_for(int status) {
    switch (status) {
        case 400:
            return "The request could not be read.";
        case 404:
            return "Not found.";
        case 405:
            return "That method is not allowed here.";
        case 413:
            return "The request is larger than 20 MB; send a smaller picture.";
        case 414:
            return "The address is too long.";
        default:
            return "The request failed with status " + std::to_string(status) + ".";
    }
}

}  // namespace

void add_routes(httplib::Server& http, studio& runs, const access_settings& access) {
    http.set_pre_routing_handler([access](const httplib::Request& req, httplib::Response& res) {
        const access_verdict verdict = judge_access(access, facts_of(req));
        if (!verdict.allowed) {
            send_error(res, 403, verdict.refusal);
            return httplib::Server::HandlerResponse::Handled;
        }
        if (verdict.set_cookie) {
            res.set_header("Set-Cookie", std::string(token_cookie) + "=" + *access.token +
                                             "; Path=/; HttpOnly; SameSite=Strict");
        }
        // The body's size must be known before it is read, so the limit holds.
        if (req.method == "POST" && !req.has_header("Content-Length")) {
            send_error(res, 411, "Send the request with a Content-Length.");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    http.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty() && res.status != 204)
            send_error(res, res.status, sentence_for(res.status));
    });

    const std::string run = R"(/api/runs/([^/]+))";
    http.Post("/api/runs", [&runs](const httplib::Request& req, httplib::Response& res) {
        post_run(req, res, runs);
    });
    http.Get("/api/runs", [&runs](const httplib::Request&, httplib::Response& res) {
        send_reply(res, runs.list());
    });
    http.Get(run, [&runs](const httplib::Request& req, httplib::Response& res) {
        send_reply(res, runs.show(req.matches[1]));
    });
    http.Delete(run, [&runs](const httplib::Request& req, httplib::Response& res) {
        send_reply(res, runs.remove(req.matches[1]));
    });
    http.Get(run + "/events", [&runs](const httplib::Request& req, httplib::Response& res) {
        get_run_events(req, res, runs);
    });
    http.Get(run + "/archive", [&runs](const httplib::Request& req, httplib::Response& res) {
        get_archive(req, res, runs);
    });
    http.Get(run + R"(/files/(.*))", [&runs](const httplib::Request& req, httplib::Response& res) {
        get_file(req, res, runs);
    });
    http.Get("/api/events", [&runs](const httplib::Request& req, httplib::Response& res) {
        get_store_events(req, res, runs);
    });
    // The command line the page shows names the program as a shell finds it.
    const std::string command = this_program_command();
    http.Get("/api/program", [command](const httplib::Request&, httplib::Response& res) {
        send_json(res, 200, nlohmann::json{{"command", command}}.dump());
    });
    http.Get(R"(/api/.*)", [](const httplib::Request& req, httplib::Response& res) {
        send_error(res, 404, "There is no API route " + req.path + ".");
    });
    http.Get(R"(/.*)",
             [](const httplib::Request& req, httplib::Response& res) { get_page_file(req, res); });
}

}  // namespace veltaro::server
