// console_lines: the child's standard output read line by line, and its
// iteration lines
//     count = 12, U: 4.254660e-04    V: 3.471320e-02    P: 2.471144e-01
// turned into the data of an "iteration" event.
#pragma once

#include <functional>
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

}  // namespace veltaro::server
