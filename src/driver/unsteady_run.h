// Time-accurate runs (--unsteady=T): the march to the flow time T with the
// step of every run, its deliberate start of the shedding, and what is
// reported of the shedding at the end.
//
// A symmetric body in a symmetric tunnel sheds only once round-off has
// grown, which can take many cycles. So the run tilts the inflow by 0.05
// degrees (v = U tan 0.05deg on the inlet, u = U as always, so the inflow's
// flux is unchanged) for its first half flow-through time L/U, then turns
// it back linearly to straight by 0.6 L/U: the wake starts a little
// lopsided, and above the onset the shedding grows from there. The tilt is
// small on purpose. Below the onset the lopsided wake's lift dies away
// slowly (in the validation tunnel at Re_D 40 by about a quarter a second),
// so what the start leaves must be small for a run to show that the flow
// settles; above it, a seed a hundred times smaller costs only a few more
// periods of growth. In a 4 m tunnel at 5 m/s the inflow is straight from
// 0.48 s on; at 2 m/s (Re_D 40 in the validation tunnel), from 1.2 s. An
// empty tunnel has nothing to shed, and its inflow stays straight.
#pragma once

#include <iosfwd>
#include <optional>

#include "driver/force_history.h"
#include "driver/set_up_run.h"
#include "driver/shedding.h"

namespace veltaro {

inline constexpr double start_up_tilt_degrees = 0.05;
inline constexpr double tilt_held_flow_throughs = 0.5;
inline constexpr double tilt_gone_flow_throughs = 0.6;

struct start_up_tilt {
    double tangent = 0.0;     // tan of the inflow's angle while it is held
    double hold_until = 0.0;  // s
    double gone_at = 0.0;     // s: straight inflow from here on
};

// The run's tilt; none for a steady run or an empty tunnel.
start_up_tilt start_up_tilt_of(const run_setup& setup);

// v on the inlet at flow time t: U tan(angle) until hold_until, then
// falling linearly to 0 at gone_at.
float inlet_cross_velocity(const start_up_tilt& tilt, float inlet_velocity, double time);

// 1/2 rho U^2 D, or 0 without an obstacle.
double coefficient_scale(const run_setup& setup);

// What a history needs for this run: "forces.csv" only for --unsteady.
history_settings history_settings_of(const run_setup& setup);

struct shedding_report {
    shedding_measure measure;
    // St = f D / U = D / (U period), and half the spread of the periods'
    // St; empty where the measure has no period.
    std::optional<double> strouhal;
    std::optional<double> strouhal_uncertainty;
};

shedding_report report_shedding(const run_setup& setup, const force_history& history);

// The lines after the coefficients: the flow time, then St with f and the
// cycles, the mean C_D and the swings; or why there is no St.
void print_shedding(std::ostream& out, const run_setup& setup, double flow_time,
                    const shedding_report& report);

}  // namespace veltaro
