// serve: the entry point of "veltaro serve", the studio. main hands it the
// whole command line when the first argument is "serve".
#pragma once

namespace veltaro::server {

// Serves until SIGINT or SIGTERM; returns the exit status (0 then, 2 when
// the server cannot start, with one line on standard error).
int serve(int argc, char** argv);

}  // namespace veltaro::server
