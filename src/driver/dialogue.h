// The questions a run starts with. Each answer is one whitespace-separated
// word, read whole by its conversion, so answers may be typed one per line,
// all on one line, or piped from a file.
#pragma once

#include <iosfwd>
#include <string>

#include "common/version.h"

namespace veltaro {

struct dialogue_answers {
    std::string filename;
    float reynolds = 0.0f;
    float kinematic_viscosity = 0.0f;  // m^2/s
    float density = 0.0f;              // kg/m^3
    float height = 0.0f;               // m
    float length = 0.0f;               // m
    int mesh_choice = 0;
    int max_iterations = 0;
};

// Above this Reynolds number the dialogue warns that the program is meant
// for slow flows (200 itself is not warned about).
inline constexpr float warning_reynolds = 200.0f;

// Prints the banner.
void print_banner(std::ostream& out);

// Asks the eight questions in order, with the Reynolds-number warning, and
// ends with an empty line. Throws run_error on a missing or unreadable answer.
dialogue_answers ask_questions(std::istream& in, std::ostream& out);

// The inlet velocity, asked only when it cannot be derived.
float ask_inlet_velocity(std::istream& in, std::ostream& out);

// One answer read whole as a float or an int, as a formatted read would read
// it; throws run_error naming the question when it cannot be.
float read_float_answer(const std::string& word, const std::string& question);
int read_int_answer(const std::string& word, const std::string& question);

}  // namespace veltaro
