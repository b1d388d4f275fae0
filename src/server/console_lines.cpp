#include "server/console_lines.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace veltaro::server {
namespace {

// JSON's number: -?(0|[1-9][0-9]*)(\.[0-9]+)?([eE][+-]?[0-9]+)?, which every
// "%e" of a finite value is.
bool is_json_number(std::string_view text) {
    std::size_t at = 0;
    const auto digits = [&] {
        const std::size_t start = at;
        while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) ++at;
        return at > start;
    };
    if (at < text.size() && text[at] == '-') ++at;
    if (at < text.size() && text[at] == '0') {
        ++at;
    } else if (!digits()) {
        return false;
    }
    if (at < text.size() && text[at] == '.') {
        ++at;
        if (!digits()) return false;
    }
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
        if (!digits()) return false;
    }
    return at == text.size();
}

// The word after label ("U: "), up to the next blank.
std::string_view word_after(std::string_view line, std::string_view label) {
    const std::size_t found = line.find(label);
    if (found == std::string_view::npos) return {};
    const std::string_view rest = line.substr(found + label.size());
    return rest.substr(0, rest.find(' '));
}

}  // namespace

std::optional<iteration_line> read_iteration_line(std::string_view line) {
    constexpr std::string_view start = "count = ";
    if (line.substr(0, start.size()) != start) return std::nullopt;
    const std::string_view count = line.substr(start.size(), line.find(',') - start.size());
    const std::string_view u = word_after(line, " U: ");
    const std::string_view v = word_after(line, " V: ");
    const std::string_view p = word_after(line, " P: ");
    if (count.empty() || count.size() > 9 || count.find_first_not_of("0123456789") != count.npos ||
        !is_json_number(u) || !is_json_number(v) || !is_json_number(p)) {
        return std::nullopt;
    }
    iteration_line result;
    result.count = std::stoi(std::string(count));
    result.json = "{\"count\": " + std::string(count) + ", \"change_u\": " + std::string(u) +
                  ", \"change_v\": " + std::string(v) + ", \"change_p\": " + std::string(p) + "}";
    return result;
}

std::optional<grid_mesh_line> read_grid_mesh_line(std::string_view line) {
    // "Grid study: mesh K of M, N nodes across (grid/N-across)", read as
    // its words around three whole numbers.
    constexpr std::array<std::string_view, 4> words = {"Grid study: mesh ", " of ", ", ",
                                                       " nodes across (grid/"};
    std::array<int, 3> numbers{};
    for (std::size_t k = 0; k < words.size(); ++k) {
        if (line.substr(0, words[k].size()) != words[k]) return std::nullopt;
        line.remove_prefix(words[k].size());
        if (k == numbers.size()) break;
        const std::size_t digits = std::min(line.find_first_not_of("0123456789"), line.size());
        if (digits == 0 || digits > 9) return std::nullopt;
        numbers[k] = std::stoi(std::string(line.substr(0, digits)));
        line.remove_prefix(digits);
    }
    const auto [mesh, meshes, across] = numbers;
    const std::string across_text = std::to_string(across);
    if (line != across_text + "-across)" || mesh < 1 || mesh > meshes) return std::nullopt;
    grid_mesh_line result{mesh, meshes, across, "grid/" + across_text + "-across", ""};
    result.json = "{\"mesh\": " + std::to_string(mesh) + ", \"meshes\": " + std::to_string(meshes) +
                  ", \"nodes_across\": " + across_text + ", \"folder\": \"" + result.folder + "\"}";
    return result;
}

std::optional<residual_line> read_residual_line(std::string_view line) {
    // "count max rms flow_time", one blank between each.
    std::array<std::string_view, 4> words;
    for (std::size_t k = 0; k < words.size(); ++k) {
        const std::size_t blank = k + 1 < words.size() ? line.find(' ') : line.size();
        if (blank == std::string_view::npos) return std::nullopt;
        words[k] = line.substr(0, blank);
        line.remove_prefix(std::min(blank + 1, line.size()));
    }
    const auto [count, max, rms, flow_time] = words;
    if (count.empty() || count.size() > 9 || count.find_first_not_of("0123456789") != count.npos ||
        !is_json_number(max) || !is_json_number(rms) || !is_json_number(flow_time)) {
        return std::nullopt;
    }
    return residual_line{std::stoi(std::string(count)), std::string(max), std::string(rms),
                         std::string(flow_time)};
}

std::string iteration_data(const iteration_line& iteration,
                           const std::optional<residual_line>& residual) {
    if (!residual || residual->count != iteration.count) return iteration.json;
    std::string data = iteration.json;
    data.pop_back();  // the closing brace
    return data + ", \"residual\": " + residual->max + ", \"residual_rms\": " + residual->rms +
           ", \"flow_time\": " + residual->flow_time + "}";
}

void line_splitter::take(std::string_view piece) {
    for (;;) {
        const std::size_t end = piece.find('\n');
        if (end == std::string_view::npos) break;
        if (partial_.empty()) {
            take_line_(piece.substr(0, end));
        } else {
            partial_.append(piece.substr(0, end));
            take_line_(partial_);
            partial_.clear();
        }
        piece.remove_prefix(end + 1);
    }
    // A line longer than any the program prints is not an iteration line;
    // its head is enough to tell.
    if (partial_.size() < 4096) partial_.append(piece.substr(0, 4096 - partial_.size()));
}

residual_follower::residual_follower(std::filesystem::path file)
    : path_(std::move(file)), lines_([this](std::string_view line) {
          if (const std::optional<residual_line> read = read_residual_line(line)) {
              read_.push_back(*read);
          }
      }) {}

std::optional<residual_line> residual_follower::line_for(int count) {
    if (!file_) file_.reset(std::fopen(path_.c_str(), "rb"));
    if (file_ && (read_.empty() || read_.back().count < count)) {
        char buffer[8192];
        std::size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, file_.get())) > 0) {
            lines_.take(std::string_view(buffer, got));
        }
        std::clearerr(file_.get());  // at its end for now; the child goes on writing
    }
    while (!read_.empty() && read_.front().count < count) read_.pop_front();
    if (read_.empty() || read_.front().count != count) return std::nullopt;
    residual_line found = std::move(read_.front());
    read_.pop_front();
    return found;
}

console_events::console_events(std::filesystem::path folder)
    : folder_(std::move(folder)),
      residual_(std::make_unique<residual_follower>(folder_ / "residual.txt")) {}

std::optional<console_event> console_events::take(std::string_view line) {
    if (const std::optional<iteration_line> iteration = read_iteration_line(line)) {
        return console_event{"iteration",
                             iteration_data(*iteration, residual_->line_for(iteration->count)),
                             iteration->count};
    }
    if (const std::optional<grid_mesh_line> mesh = read_grid_mesh_line(line)) {
        // The folder's name is the line's only when it is grid/<N>-across.
        residual_ = std::make_unique<residual_follower>(folder_ / mesh->folder / "residual.txt");
        return console_event{"grid_mesh", mesh->json, 0};
    }
    return std::nullopt;
}

}  // namespace veltaro::server
