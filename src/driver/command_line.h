// The command line: the questions come on standard input, so the program
// takes no arguments but the two every command-line tool answers, and the
// subcommand "serve" that starts the studio.
#pragma once

#include <iosfwd>
#include <optional>

namespace veltaro {

// Answers --help (usage on out) and --version, or refuses any other
// argument with one line on err. Returns the exit status when the program
// should stop here, nothing when the run should go on (no arguments).
// "veltaro serve ...": the studio takes the whole command line.
bool asks_for_studio(int argc, const char* const* argv);

std::optional<int> handle_command_line(int argc, const char* const* argv, std::ostream& out,
                                       std::ostream& err);

}  // namespace veltaro
