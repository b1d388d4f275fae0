// Which advection the iteration uses. Both carry u and v into u_adv and
// v_adv over one time step; the loop does not know which it calls.
#pragma once

namespace veltaro {

enum class advection_scheme {
    // The forward semi-Lagrangian rebuild of advection_step.h: first order,
    // the default, which earlier results depend on.
    first_order,
    // Upwind-biased slopes limited by van Leer's mean (limited_advection.h):
    // second order in smooth flow, no new extremum where the flow is steep.
    second_order,
};

// "first-order" or "second-order": the names the command line and the
// summary use.
const char* advection_scheme_name(advection_scheme scheme);

}  // namespace veltaro
