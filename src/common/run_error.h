// run_error: the one error type that refuses a run. It travels up to main,
// which prints its line on standard error and exits with its status.
#pragma once

#include <stdexcept>
#include <string>

namespace veltaro {

// A normal run ends with status 1, so a refusal must use another one.
inline constexpr int refusal_status = 2;

class run_error : public std::runtime_error {
public:
    explicit run_error(const std::string& message, int status = refusal_status)
        : std::runtime_error(message), status_(status) {}
    [[nodiscard]] int status() const { return status_; }

private:
    int status_;
};

}  // namespace veltaro
