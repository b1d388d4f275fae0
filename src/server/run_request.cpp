#include "server/run_request.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <span>

#include "common/picture_format.h"

namespace veltaro::server {
namespace {

// The dialogue's questions as form fields, in the order it asks them.
constexpr std::array answer_fields = {"reynolds_number", "kinematic_viscosity", "density",
                                      "tunnel_height",   "tunnel_length",       "mesh_choice",
                                      "max_iterations"};

// An option's values, the program's default first; unused places empty.
struct option_field {
    const char* name;
    const char* argument;
    std::array<std::string_view, 3> values;
};
// In the order the child's command line gives them.
constexpr std::array option_fields = {
    option_field{"solid_nodes", "--solid-nodes", {"sampled", "covered", "outline"}},
    option_field{"stop_rule", "--stop-rule", {"quiet", "steady", "limit"}},
    option_field{"pressure_solver", "--pressure-solver", {"lu", "fft"}},
    option_field{"advection", "--advection", {"first-order", "second-order"}},
    option_field{"projection", "--projection", {"nodes", "faces"}},
};

constexpr std::size_t sweep_limit = 200;
// The longest uploaded file name a refusal repeats.
constexpr std::size_t shown_name_limit = 120;

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// One word that reads whole as a number: the answers file separates its
// answers by blanks, so a blank inside an answer would shift all the rest.
bool is_number(const std::string& text) {
    if (text.empty() || text.find_first_of(" \t\r\n\v\f") != std::string::npos) return false;
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    return end != text.c_str() && *end == '\0';
}

// The dialogue asks for the inlet velocity only when Re or nu is zero, as
// single-precision values (a Re of 1e-50 is zero there too).
bool inlet_velocity_is_asked(const text_fields& answers) {
    const auto zero = [&](const char* name) {
        const auto found = std::find_if(answers.begin(), answers.end(),
                                        [&](const auto& field) { return field.first == name; });
        return std::strtof(found->second.c_str(), nullptr) == 0.0f;
    };
    return zero("reynolds_number") || zero("kinematic_viscosity");
}

std::string missing_or_not_a_number(const std::string& name, bool present) {
    return present ? "The field \"" + name + "\" is not a number; send one such as 20 or 1.5e-3."
                   : "The field \"" + name + "\" is missing; send a number for it.";
}

// Reads one numeric answer into answers; false with the refusal otherwise.
bool take_answer(const form_lookup& field, const std::string& name, text_fields& answers,
                 std::string& refusal) {
    const std::optional<std::string> posted = field(name);
    const std::string value = posted ? trimmed(*posted) : std::string();
    if (!is_number(value)) {
        refusal = missing_or_not_a_number(name, posted.has_value() && !value.empty());
        return false;
    }
    answers.emplace_back(name, value);
    return true;
}

// "The field "stop_rule" must be "quiet", "steady" or "limit"."
std::string option_refusal(const option_field& option) {
    std::string text = std::string("The field \"") + option.name + "\" must be ";
    const auto count = static_cast<std::size_t>(
        std::count_if(option.values.begin(), option.values.end(),
                      [](std::string_view value) { return !value.empty(); }));
    for (std::size_t n = 0; n < count; ++n) {
        if (n > 0) text += n + 1 == count ? " or " : ", ";
        text.append("\"").append(option.values[n]).append("\"");
    }
    return text + ".";
}

bool take_option(const form_lookup& field, const option_field& option, text_fields& options,
                 std::string& refusal) {
    const std::optional<std::string> posted = field(option.name);
    if (!posted || posted->empty()) return true;
    if (std::find(option.values.begin(), option.values.end(), *posted) == option.values.end()) {
        refusal = option_refusal(option);
        return false;
    }
    options.emplace_back(option.name, *posted);
    return true;
}

// "courant": the time step's Courant number, above 0 and at most 1; the
// program checks it again.
bool take_courant(const form_lookup& field, text_fields& options, std::string& refusal) {
    const std::optional<std::string> posted = field("courant");
    if (!posted || posted->empty()) return true;
    const std::string value = trimmed(*posted);
    const double courant = is_number(value) ? std::strtod(value.c_str(), nullptr) : 0.0;
    if (!(courant > 0.0 && courant <= 1.0)) {
        refusal = "The field \"courant\" must be a number above 0 and at most 1, such as 0.4.";
        return false;
    }
    options.emplace_back("courant", value);
    return true;
}

// "unsteady": a flow time in seconds for a time-accurate run, which takes
// no stop rule but limit; the program checks it again.
bool take_unsteady(const form_lookup& field, text_fields& options, std::string& refusal) {
    const std::optional<std::string> posted = field("unsteady");
    if (!posted || posted->empty()) return true;
    const std::string value = trimmed(*posted);
    const double seconds = is_number(value) ? std::strtod(value.c_str(), nullptr) : 0.0;
    if (!(seconds > 0.0 && std::isfinite(seconds))) {
        refusal = "The field \"unsteady\" must be a positive number of seconds, such as 8.";
        return false;
    }
    const auto stop = std::find_if(options.begin(), options.end(),
                                   [](const auto& option) { return option.first == "stop_rule"; });
    if (stop != options.end() && stop->second != "limit") {
        refusal = "The field \"unsteady\" takes no stop rule but \"limit\".";
        return false;
    }
    options.emplace_back("unsteady", value);
    return true;
}

// "frames" (a whole number from 1 to 10000) and "frames_vtk" ("yes"), the
// animation of a time-accurate run: refused without "unsteady", as the
// program refuses them without --unsteady.
bool take_frames(const form_lookup& field, text_fields& options, std::string& refusal) {
    const std::string frames = trimmed(field("frames").value_or(""));
    const std::string vtk = trimmed(field("frames_vtk").value_or(""));
    if (frames.empty() && (vtk.empty() || vtk == "no")) return true;
    const bool unsteady = std::any_of(options.begin(), options.end(),
                                      [](const auto& option) { return option.first == "unsteady"; });
    const bool count = frames.empty() || (frames.size() <= 5 &&
                                          std::all_of(frames.begin(), frames.end(), [](char c) {
                                              return c >= '0' && c <= '9';
                                          }) &&
                                          std::stoi(frames) >= 1 && std::stoi(frames) <= 10000);
    if (!unsteady || !count || !(vtk.empty() || vtk == "yes" || vtk == "no")) {
        refusal = "The fields \"frames\" (a whole number from 1 to 10000) and \"frames_vtk\" "
                  "(yes or no) make the animation of a time-accurate run and need \"unsteady\".";
        return false;
    }
    if (!frames.empty()) options.emplace_back("frames", frames);
    if (vtk == "yes") options.emplace_back("frames_vtk", vtk);
    return true;
}

// "nodes_across": a whole number of nodes across the tunnel, at least 3,
// instead of the mesh answer's; whether the machine's memory holds it is
// the program's to judge.
bool take_nodes_across(const form_lookup& field, text_fields& options, std::string& refusal) {
    const std::string value = trimmed(field("nodes_across").value_or(""));
    if (value.empty()) return true;
    const bool whole = value.size() <= 9 && std::all_of(value.begin(), value.end(), [](char c) {
                           return c >= '0' && c <= '9';
                       });
    if (!whole || std::stoi(value) < 3) {
        refusal = "The field \"nodes_across\" must be a whole number of nodes across the tunnel, "
                  "at least 3, such as 200.";
        return false;
    }
    options.emplace_back("nodes_across", value);
    return true;
}

// "grid_study": true or false, the form's text of a boolean; true runs the
// case on two coarser meshes too (--grid-study), false is the default and
// is not passed on.
bool take_grid_study(const form_lookup& field, text_fields& options, std::string& refusal) {
    const std::string value = trimmed(field("grid_study").value_or(""));
    if (value.empty() || value == "false") return true;
    if (value != "true") {
        refusal =
            "The field \"grid_study\" must be true or false (true runs the grid study on "
            "three meshes).";
        return false;
    }
    options.emplace_back("grid_study", value);
    return true;
}

// The airfoil's two fields come together or not at all: four digits, and an
// angle that reads as a number.
bool take_airfoil(const form_lookup& field, text_fields& airfoil, std::string& refusal) {
    const std::string naca = trimmed(field("naca").value_or(""));
    const std::string angle = trimmed(field("angle").value_or(""));
    if (naca.empty() && angle.empty()) return true;
    const bool digits = naca.size() == 4 && std::all_of(naca.begin(), naca.end(), [](char c) {
                            return c >= '0' && c <= '9';
                        });
    if (!digits || !is_number(angle)) {
        refusal = "The fields \"naca\" and \"angle\" go together: four digits such as 0012 "
                  "and an angle of attack in degrees.";
        return false;
    }
    airfoil = {{"naca", naca}, {"angle", angle}};
    return true;
}

}  // namespace

request_check check_run_request(const form_lookup& field) {
    request_check check;
    run_request request;
    for (const char* name : answer_fields) {
        if (!take_answer(field, name, request.answers, check.refusal)) return check;
    }
    if (inlet_velocity_is_asked(request.answers) &&
        !take_answer(field, "inlet_velocity", request.answers, check.refusal)) {
        return check;
    }
    for (const option_field& option : option_fields) {
        if (!take_option(field, option, request.options, check.refusal)) return check;
    }
    if (!take_courant(field, request.options, check.refusal)) return check;
    if (!take_unsteady(field, request.options, check.refusal)) return check;
    if (!take_frames(field, request.options, check.refusal)) return check;
    if (!take_nodes_across(field, request.options, check.refusal)) return check;
    if (!take_grid_study(field, request.options, check.refusal)) return check;
    if (!take_airfoil(field, request.airfoil, check.refusal)) return check;
    request.sweep = field("sweep").value_or(std::string());
    if (request.sweep.size() > sweep_limit) {
        check.refusal = "The field \"sweep\" is longer than 200 characters.";
        return check;
    }
    check.request = std::move(request);
    return check;
}

std::string upload_refusal(const std::string& file_name, std::string_view bytes) {
    const std::string_view first = bytes.substr(0, sniffed_bytes);
    const std::string reason = unreadable_format(std::span<const unsigned char>(
        reinterpret_cast<const unsigned char*>(first.data()), first.size()));
    if (reason.empty()) return reason;
    std::string name = file_name.empty() ? "the uploaded file" : file_name;
    if (name.size() > shown_name_limit) name = name.substr(0, shown_name_limit) + "...";
    return picture_refusal_text(name, reason);
}

std::string picture_name_for(std::string_view bytes) {
    constexpr std::string_view png_signature = "\x89PNG\r\n\x1a\n";
    return bytes.substr(0, png_signature.size()) == png_signature ? "picture.png" : "picture.jpg";
}

std::string answers_text(const std::string& picture, const text_fields& answers) {
    std::string text = picture;
    for (const auto& answer : answers) text += ' ' + answer.second;
    return text + '\n';
}

std::vector<std::string> option_arguments(const text_fields& options) {
    std::vector<std::string> arguments;
    for (const auto& field : options) {
        const auto option =
            std::find_if(option_fields.begin(), option_fields.end(),
                         [&](const option_field& known) { return field.first == known.name; });
        if (option != option_fields.end()) {
            arguments.push_back(std::string(option->argument) + '=' + field.second);
        } else if (field.first == "courant") {
            arguments.push_back("--courant=" + field.second);
        } else if (field.first == "unsteady") {
            arguments.push_back("--unsteady=" + field.second);
        } else if (field.first == "frames") {
            arguments.push_back("--frames=" + field.second);
        } else if (field.first == "frames_vtk") {
            arguments.push_back("--frames-vtk");
        } else if (field.first == "nodes_across") {
            arguments.push_back("--nodes-across=" + field.second);
        } else if (field.first == "grid_study") {
            arguments.push_back("--grid-study");
        }
    }
    return arguments;
}

}  // namespace veltaro::server
