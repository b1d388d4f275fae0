// The command line: the questions come on standard input, so the program
// takes only the two arguments every command-line tool answers (--help and
// --version, each alone) and the options that choose its methods:
//     veltaro --solid-nodes=outline --advection=second-order < answers
// The subcommand "serve" starts the studio instead (src/server).
#pragma once

#include <iosfwd>
#include <optional>

#include "driver/set_up_run.h"

namespace veltaro {

struct command_line {
    // Set when the program should stop here: 0 after --help or --version,
    // the refusal status after an argument it does not know.
    std::optional<int> exit_status;
    run_options options;
};

// Answers --help (usage on out) and --version, reads the option, or
// refuses anything else with one line on err that names the allowed values.
// "veltaro serve ...": the studio takes the whole command line.
bool asks_for_studio(int argc, const char* const* argv);

command_line handle_command_line(int argc, const char* const* argv, std::ostream& out,
                                 std::ostream& err);

}  // namespace veltaro
