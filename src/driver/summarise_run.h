// The run summary: what was asked, the grid, how the iteration ended and
// the forces, gathered from the records of each stage for "summary.json".
#pragma once

#include "analysis/coefficients.h"
#include "analysis/forces.h"
#include "driver/iteration_loop.h"
#include "driver/run_warnings.h"
#include "driver/set_up_run.h"
#include "driver/unsteady_run.h"
#include "output/run_summary.h"

namespace veltaro {

// seconds: the run's wall time so far.
// shedding: a time-accurate run's.
run_summary summarise_run(const run_setup& setup, const loop_result& loop, const forces& force,
                          const force_coefficients& coefficients,
                          const std::vector<run_warning>& warnings, double seconds,
                          const std::optional<shedding_report>& shedding = {});

// How the iteration ended, as the summary names it: "settled" (the quiet
// rule), "steady", "flow time" (a time-accurate run's), "iteration limit"
// or "at rest".
const char* stop_reason(const loop_result& loop, stop_rule rule);

}  // namespace veltaro
