// atomic_file: a result file that appears under its own name only once it
// is complete. It is written to a temporary file beside the final one and
// renamed over it by commit(); until then an older file of that name stays
// as it was, and a run that fails half-way leaves no truncated result that
// looks finished. Every writer of the results written after the iteration
// loop goes through it. "convergence.txt" does not: it is written line by
// line as the run goes (driver/convergence_log.h), so that a run stopped
// half-way keeps its history up to the last iteration and a user can watch
// it grow.
//
//   atomic_file file("U.dat", file_kind::text);   // throws run_error
//   file.write(text);                             // throws run_error
//   file.commit();                                // throws run_error
//
// Without commit() the destructor closes and removes the temporary file.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace veltaro {

enum class file_kind { text, binary };

class atomic_file {
public:
    atomic_file(std::string final_name, file_kind kind);
    ~atomic_file();
    atomic_file(const atomic_file&) = delete;
    atomic_file& operator=(const atomic_file&) = delete;

    [[nodiscard]] const std::string& name() const { return final_name_; }
    // For writers that hand the stream to a library; it stays open until
    // commit() or destruction, and must not be closed by anyone else.
    [[nodiscard]] std::FILE* stream() { return stream_; }

    void write(std::string_view bytes);
    // Flushes, closes and renames; throws run_error if any of it fails, in
    // which case the temporary is removed and the final name is untouched.
    void commit();
    // Throws the run_error naming this file, with strerror(error_number),
    // or a generic reason when error_number is 0.
    [[noreturn]] void fail(int error_number) const;

private:
    void discard() noexcept;

    std::string final_name_;
    std::string temp_name_;
    std::FILE* stream_ = nullptr;
    bool committed_ = false;
};

// Refuses a folder in which no result could be created, before any work is
// spent on the run: creates and removes one temporary file.
void check_results_can_be_written();

// "Could not write \"<name>\": <reason>", the one form of every output
// refusal, so the user sees which file is missing.
std::string write_error_message(const std::string& name, const std::string& reason);

}  // namespace veltaro
