// The explicit momentum update of the interior velocity: the advected
// velocity, plus the pressure-gradient acceleration, plus viscous diffusion
// of the velocity as it stood before this iteration.
#pragma once

#include "field/flow_field.h"
#include "field/run_parameters.h"

namespace veltaro {

// lap_u, lap_v: Laplacians of u and v as they are on entry. Only the
// interior nodes of u and v are written.
void momentum_equation(flow_field& field, float dt, const run_parameters& params,
                       const float_grid& lap_u, const float_grid& lap_v);

}  // namespace veltaro
