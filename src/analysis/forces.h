// Lift and drag per metre of span, from a momentum balance over the tunnel's
// boundary (trapezoid rule, end nodes weighted one half).
#pragma once

#include "field/flow_field.h"

namespace veltaro {

struct forces {
    double lift = 0.0;  // N/m, positive toward the top wall
    double drag = 0.0;  // N/m, positive along the flow
};

forces lift_and_drag(const flow_field& field, float rho);

}  // namespace veltaro
