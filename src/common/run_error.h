// run_error: the one error type that refuses a run. It travels up to main,
// which prints its line on standard error and exits with its status.
#pragma once

#include <stdexcept>
#include <string>

namespace veltaro {

// A normal run ends with status 1, so a refusal must use another one.
inline constexpr int refusal_status = 2;

// How the line of a run that started and then diverged begins. It exits
// with refusal_status too, writing no results; the studio tells it from a
// refusal of the answers by these words.
inline constexpr const char* divergence_words = "The run failed at iteration ";

class run_error : public std::runtime_error {
public:
    explicit run_error(const std::string& message, int status = refusal_status)
        : std::runtime_error(message), status_(status) {}
    [[nodiscard]] int status() const { return status_; }

private:
    int status_;
};

}  // namespace veltaro
