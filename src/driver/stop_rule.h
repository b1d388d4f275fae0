// When the iteration loop ends, besides the iteration limit.
#pragma once

namespace veltaro {

enum class stop_rule {
    // Ten iterations in a row in which the mean |u| and |v| change by less
    // than 2e-6: the first rule, which earlier results depend on (the default).
    quiet,
    // Ten iterations in a row that are steady by the steady residual
    // (analysis/steady_residual.h): the flow itself has stopped changing.
    steady,
    // Exactly the iteration limit: benchmarks, convergence studies and
    // time-accurate runs.
    limit,
};

// "quiet", "steady" or "limit": the names the command line and the summary use.
const char* stop_rule_name(stop_rule rule);

}  // namespace veltaro
