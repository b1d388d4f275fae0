// console_lines: the child's standard output read line by line, and its
// iteration lines
//     count = 12, U: 4.254660e-04    V: 3.471320e-02    P: 2.471144e-01
// turned into the data of an "iteration" event, with the steady residual of
// the same iteration from the line "12 3.399450e+01 3.388736e+01" of the
// run's residual.txt (the child writes and flushes that line before it
// prints the console's, so the file has it when the console line comes).
#pragma once

#include <cstdio>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace veltaro::server {

struct iteration_line {
    int count = 0;
    // {"count": 12, "change_u": 4.254660e-04, ...}: the numbers as printed,
    // which are JSON numbers as they stand.
    std::string json;
};

// Nothing for any other line (prompts, "done.", forces).
std::optional<iteration_line> read_iteration_line(std::string_view line);

struct residual_line {
    int count = 0;
    std::string max;  // R max and R rms in U^2/c, as printed
    std::string rms;
    std::string flow_time;  // s, as printed
};

// Nothing for the header line or a line that is not four numbers.
std::optional<residual_line> read_residual_line(std::string_view line);

// A grid study's line before each of its three runs,
//     Grid study: mesh 2 of 3, 72 nodes across (grid/72-across)
// after which that run's iteration lines count from 1 again, and its
// residual.txt is the one in that folder of the run's.
struct grid_mesh_line {
    int mesh = 0;
    int meshes = 0;
    int nodes_across = 0;
    std::string folder;  // "grid/72-across", always of that form
    // {"mesh": 2, "meshes": 3, "nodes_across": 72, "folder": "grid/72-across"}
    std::string json;
};

// Nothing for any other line, or one whose folder is not grid/<N>-across
// for its own N (the server follows a file in that folder).
std::optional<grid_mesh_line> read_grid_mesh_line(std::string_view line);

// The event's data: the iteration's JSON, with "residual" and
// "residual_rms" when residual is the line of the same iteration.
std::string iteration_data(const iteration_line& iteration,
                           const std::optional<residual_line>& residual);

// Hands on each complete line, without its line end, as pieces arrive.
class line_splitter {
public:
    explicit line_splitter(std::function<void(std::string_view)> take_line)
        : take_line_(std::move(take_line)) {}
    void take(std::string_view piece);

private:
    std::function<void(std::string_view)> take_line_;
    std::string partial_;
};

// Reads a residual.txt as it grows, from where the last call left off; the
// file need not exist yet. Iterations are asked for in increasing order.
class residual_follower {
public:
    explicit residual_follower(std::filesystem::path file);
    // The line of iteration count, when the file has it by now.
    std::optional<residual_line> line_for(int count);

private:
    std::filesystem::path path_;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_{nullptr, &std::fclose};
    std::deque<residual_line> read_;  // lines read and not yet asked for
    line_splitter lines_;
};

// The events a run's console makes, line by line: "iteration" with the
// residual of the same iteration, and "grid_mesh" as a grid study moves to
// its next mesh, whose own residual.txt is followed from then on.
struct console_event {
    std::string kind;
    std::string data;  // JSON
    int count = 0;     // an iteration's, else 0
};

class console_events {
public:
    explicit console_events(std::filesystem::path folder);
    std::optional<console_event> take(std::string_view line);

private:
    std::filesystem::path folder_;
    std::unique_ptr<residual_follower> residual_;
};

}  // namespace veltaro::server
