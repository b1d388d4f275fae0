// printf-style formatting into a std::string, for the program's fixed
// console and file formats ("%e" and friends).
#pragma once

#include <charconv>
#include <cstdio>
#include <ostream>
#include <string>

namespace veltaro {

template <typename... Args>
std::string format_text(const char* format, Args... args) {
    char buffer[256];
    const int length = std::snprintf(buffer, sizeof buffer, format, args...);
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < sizeof buffer) return std::string(buffer, length);
    std::string text(static_cast<std::size_t>(length), '\0');
    std::snprintf(text.data(), text.size() + 1, format, args...);
    return text;
}

// The same straight onto a stream, without a heap allocation for lines
// that fit 256 characters (the iteration loop writes one per iteration).
template <typename... Args>
void write_formatted(std::ostream& out, const char* format, Args... args) {
    char buffer[256];
    const int length = std::snprintf(buffer, sizeof buffer, format, args...);
    if (length < 0) return;
    if (static_cast<std::size_t>(length) < sizeof buffer) {
        out.write(buffer, length);
    } else {
        out << format_text(format, args...);
    }
}

// The shortest decimal that reads back as the same float, whatever the
// locale: 0.01f is "0.01", not 0.0099999998.
inline std::string shortest_text(float value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return {buffer, result.ptr};
}

}  // namespace veltaro
