// The measures whose relative change from one iteration to the next the
// quiet stop rule watches, and which the console and "convergence.txt"
// report.
#pragma once

#include "field/flow_field.h"

namespace veltaro {

// Means of |u|, |v| and |p| over the interior nodes, divided by the count of
// all nodes (boundaries included).
struct mean_magnitudes {
    float abs_u = 0.0f;
    float abs_v = 0.0f;
    float abs_p = 0.0f;
};

mean_magnitudes measure_field(const flow_field& field);

// |now - before| / now. Where the mean is zero the ratio has no value: no
// change at all counts as 0, a change to zero as 1.
double relative_change(float now, float before);

}  // namespace veltaro
