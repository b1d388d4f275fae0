#include "driver/dialogue.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <istream>
#include <ostream>

#include "common/run_error.h"

namespace veltaro {

namespace {

// The question as messages name it: the prompt without its ": ".
std::string question_of(const std::string& prompt) {
    return prompt.substr(0, prompt.find_last_not_of(": ") + 1);
}

std::string next_word(std::istream& in, std::ostream& out, const std::string& prompt) {
    out << prompt << std::flush;
    std::string word;
    if (!(in >> word)) {
        throw run_error("No answer to \"" + question_of(prompt) +
                        "\": the input ended before all questions were answered.");
    }
    return word;
}

float ask_float(std::istream& in, std::ostream& out, const std::string& prompt) {
    return read_float_answer(next_word(in, out, prompt), question_of(prompt));
}

int ask_int(std::istream& in, std::ostream& out, const std::string& prompt) {
    return read_int_answer(next_word(in, out, prompt), question_of(prompt));
}

}  // namespace

void print_banner(std::ostream& out) {
    out << "Veltaro - V" << veltaro_version << "\n"
        << "Slow 2D flow around an obstacle drawn in a JPEG picture\n"
        << "\n";
}

float read_float_answer(const std::string& word, const std::string& question) {
    const char* begin = word.c_str();
    char* end = nullptr;
    // Out-of-range values become +-inf or 0 as a formatted read gives them;
    // the run's own checks refuse what cannot be used.
    const float value = std::strtof(begin, &end);
    if (end == begin || *end != '\0') {
        throw run_error("The answer \"" + word + "\" to \"" + question +
                        "\" is not a number; type a number such as 20 or 1.5e-3.");
    }
    return value;
}

int read_int_answer(const std::string& word, const std::string& question) {
    const char* begin = word.c_str();
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(begin, &end, 10);
    if (end == begin || *end != '\0') {
        throw run_error("The answer \"" + word + "\" to \"" + question +
                        "\" is not a whole number; type a whole number such as 1.");
    }
    if (errno == ERANGE || value < INT_MIN || value > INT_MAX) {
        throw run_error("The answer \"" + word + "\" to \"" + question +
                        "\" is out of range; type a whole number between " +
                        std::to_string(INT_MIN) + " and " + std::to_string(INT_MAX) + ".");
    }
    return static_cast<int>(value);
}

dialogue_answers ask_questions(std::istream& in, std::ostream& out) {
    dialogue_answers answers;
    answers.filename = next_word(in, out, "Input JPG image: ");
    answers.reynolds = ask_float(in, out, "Reynold's No.: ");
    if (answers.reynolds > warning_reynolds) {
        out << "*    Warning: This program is only intended for low Reynold's No. flows.\n"
            << "*    Consider trying a Reynold's No. less than 200.\n";
    }
    answers.kinematic_viscosity = ask_float(in, out, "Kinematic viscosity [m^2/s]: ");
    answers.density = ask_float(in, out, "Density [kg/m^3]: ");
    answers.height = ask_float(in, out, "Wind tunnel height [m]: ");
    answers.length = ask_float(in, out, "Wind tunnel length [m]: ");
    answers.mesh_choice = ask_int(in, out, "Mesh spacing (0=coarse, 1=standard, 2=fine): ");
    answers.max_iterations = ask_int(in, out, "Maximum number of iterations: ");
    out << "\n";
    return answers;
}

float ask_inlet_velocity(std::istream& in, std::ostream& out) {
    return ask_float(in, out, "Inlet Velocity: ");
}

}  // namespace veltaro
