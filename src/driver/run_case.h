// One run of a case on its mesh, once it is set up: the flow field, the
// iteration loop, lift and drag with their coefficients on the console,
// and every result file with summary.json in the current folder. A run of
// the program is one of these; a grid study three (driver/grid_study.h).
#pragma once

#include <chrono>
#include <iosfwd>
#include <vector>

#include "driver/run_warnings.h"
#include "driver/set_up_run.h"
#include "output/run_summary.h"

namespace veltaro {

inline constexpr int completed_status = 1;

struct case_result {
    // completed_status, or the refusal status when a result could not be
    // written (its line is on the error stream already).
    int status = completed_status;
    run_summary summary;  // as written into summary.json
};

// started: when the run began, for its wall time. Throws run_error when the
// run cannot go on (the flow diverged, a file cannot be created). The
// warnings are in the summary, not yet printed.
case_result run_case(const run_setup& setup, std::chrono::steady_clock::time_point started,
                     std::ostream& out, std::ostream& err);

}  // namespace veltaro
