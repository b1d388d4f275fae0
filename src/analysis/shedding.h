// The shedding measure: the frequency of the lift's oscillation in a
// time-accurate run, after its start-up transient, with the mean and the
// swings of the force coefficients over the same cycles.
//
// The cycles are those between upward crossings of C_L through its mean
// (the crossing times interpolated linearly between iterations). The
// transient is cut off from the end backwards: the periodic cycles are the
// last one and every one before it, without a gap, whose period agrees with
// the last cycle's within 1% and whose amplitude agrees within 2%. Fewer
// than 5 such cycles are too few to report; a lift whose cycles shrink one
// after another, or whose swing is below 1e-3, settles and sheds nothing.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "analysis/coefficients.h"

namespace veltaro {

struct force_sample {
    double time = 0.0;  // flow time at the end of the iteration, s
    double lift_coefficient = 0.0;
    double drag_coefficient = 0.0;
};

inline constexpr int fewest_reported_cycles = 5;
inline constexpr double cycle_period_tolerance = 0.01;
inline constexpr double cycle_amplitude_tolerance = 0.02;
// A C_L swing (peak to peak) at or below this is no oscillation.
inline constexpr double settled_lift_swing = 1e-3;

struct shedding_measure {
    int cycles = 0;        // periodic cycles after the transient
    bool settles = false;  // the lift decays, or never swings
    // The last cycle's period, once two cycles of any kind exist: how much
    // longer a short run must go.
    std::optional<double> last_period;
    // Empty with fewer than 5 periodic cycles, or a flow that settles.
    std::optional<double> period;         // their mean, s
    std::optional<double> period_spread;  // half the range of their periods, s
    std::optional<double> mean_drag_coefficient;
    std::optional<double> drag_coefficient_amplitude;  // half the peak-to-peak swing
    std::optional<double> lift_coefficient_amplitude;
};

// samples: in time order; those before start_time (the end of the start-up
// tilt) are left out.
shedding_measure measure_shedding(std::span<const force_sample> samples, double start_time);

// The crossings of C_L through a mean. A crossing counts only after C_L has
// been more than `band` beyond the mean on the side it leaves, so that noise
// near the mean makes no extra crossings; the band is this share of the
// half swing.
inline constexpr double crossing_band_share = 0.25;

enum class crossing_direction { upward, downward, either };

struct lift_crossing {
    std::size_t index = 0;  // the sample just after the crossing
    double time = 0.0;      // interpolated linearly between the two samples, s
    bool upward = false;
    bool complete = false;  // C_L went on beyond the band on the other side
};

std::vector<lift_crossing> lift_crossings(std::span<const force_sample> samples, double mean,
                                          double band, crossing_direction direction);

struct shedding_report {
    shedding_measure measure;
    // St = f D / U = D / (U period), and half the spread of the periods'
    // St; empty where the measure has no period.
    std::optional<double> strouhal;
    std::optional<double> strouhal_uncertainty;
};

// The measure of the samples after start_time, and St on the obstacle's
// frontal height.
shedding_report report_shedding(std::span<const force_sample> samples, double start_time,
                                const obstacle_size& size, float inlet_velocity);

}  // namespace veltaro
