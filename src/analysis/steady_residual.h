// The steady residual: how fast the flow still changes, the measure of a
// steady state that the mean-velocity test lacks (the mean |u| is pinned by
// the inlet's mass flux, and the mean |v| can pass a turning point while the
// wake is still forming).
//
//   R = max over the fluid interior nodes of |(u, v)^(n+1) - (u, v)^n| / dt,
//
// in units of U^2 / c (U the inlet velocity, c the obstacle's chord, or the
// tunnel's height without an obstacle), and its root mean square over the
// same nodes. The fields are single precision, so R cannot fall below the
// rounding of the speeds: when no component changes by more than a few
// units in the last place of the largest speed, the flow is as steady as
// the arithmetic allows, however large that change is next to dt (an empty
// tunnel's u steps by up to 4 units every iteration).
#pragma once

#include <vector>

#include "analysis/coefficients.h"
#include "field/flow_field.h"

namespace veltaro {

// Below this R an iteration is steady.
inline constexpr double steady_residual_limit = 1e-4;
// A largest change of at most this many units in the last place of the
// largest speed is steady too: the rounding floor of R.
inline constexpr int steady_rounding_units = 4;
// A run that ends above this R without being steady is warned about.
inline constexpr double unsteady_warning_limit = 1e-3;

struct steady_measure {
    double residual = 0.0;      // R, the max, in units of U^2 / c
    double residual_rms = 0.0;  // the root mean square, in the same units
    bool steady = false;        // R below the limit, or the change at the rounding floor
};

// Holds the velocity of the iteration before, in buffers made once, so the
// loop measures R without allocating.
class steady_monitor {
public:
    // unit: U^2 / c, in m/s^2.
    steady_monitor(int nx, int ny, double unit);

    // Call before an iteration changes u and v.
    void remember(const flow_field& field);

    // R of the iteration just done, with time step dt.
    [[nodiscard]] steady_measure measure(const flow_field& field, const int_grid& solid_nodes,
                                         float dt);

    // The velocity remembered last.
    [[nodiscard]] const float_grid& u_before() const { return u_before_; }
    [[nodiscard]] const float_grid& v_before() const { return v_before_; }

private:
    float_grid u_before_;
    float_grid v_before_;
    std::vector<double> column_sums_;  // of |du|^2 + |dv|^2 over each column's nodes
    double unit_ = 1.0;
};

// The unit of R, U^2 / c: the rate at which the velocity changes by U in the
// time the flow takes to pass the obstacle (the tunnel's height when there
// is none).
double residual_unit(const obstacle_size& size, float inlet_velocity, float height);

// One unit in the last place of a single-precision value.
float unit_in_last_place(float value);

}  // namespace veltaro
