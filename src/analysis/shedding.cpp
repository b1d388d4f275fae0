#include "analysis/shedding.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace veltaro {
namespace {

using samples_view = std::span<const force_sample>;

// Time-weighted (trapezoid) mean of C_L.
double mean_lift(samples_view s) {
    if (s.size() < 2) return s.empty() ? 0.0 : s.front().lift_coefficient;
    double integral = 0.0;
    for (std::size_t k = 1; k < s.size(); ++k) {
        integral += 0.5 * (s[k].lift_coefficient + s[k - 1].lift_coefficient) *
                    (s[k].time - s[k - 1].time);
    }
    const double span = s.back().time - s.front().time;
    return span > 0.0 ? integral / span : s.front().lift_coefficient;
}

double mean_drag(samples_view s) {
    double integral = 0.0;
    for (std::size_t k = 1; k < s.size(); ++k) {
        integral += 0.5 * (s[k].drag_coefficient + s[k - 1].drag_coefficient) *
                    (s[k].time - s[k - 1].time);
    }
    return integral / (s.back().time - s.front().time);
}

template <typename Value>
double half_swing(samples_view s, Value value) {
    const auto [low, high] = std::minmax_element(
        s.begin(), s.end(), [&](const force_sample& a, const force_sample& b) {
            return value(a) < value(b);
        });
    return 0.5 * (value(*high) - value(*low));
}

double lift_coefficient_of(const force_sample& s) { return s.lift_coefficient; }
double drag_coefficient_of(const force_sample& s) { return s.drag_coefficient; }

struct cycle {
    lift_crossing start;
    lift_crossing end;
    [[nodiscard]] double period() const { return end.time - start.time; }
};

double lift_amplitude(samples_view s, const cycle& c) {
    return half_swing(s.subspan(c.start.index, c.end.index - c.start.index), lift_coefficient_of);
}

bool agrees(double value, double reference, double tolerance) {
    return std::abs(value - reference) <= tolerance * reference;
}

// Each of the last three cycles smaller than the one before by more than
// the amplitude tolerance: a decaying oscillation.
bool decays(samples_view s, const std::vector<cycle>& cycles) {
    if (cycles.size() < 3) return false;
    const std::size_t last = cycles.size() - 1;
    const double a0 = lift_amplitude(s, cycles[last - 2]);
    const double a1 = lift_amplitude(s, cycles[last - 1]);
    const double a2 = lift_amplitude(s, cycles[last]);
    const double keep = 1.0 - cycle_amplitude_tolerance;
    return a1 < keep * a0 && a2 < keep * a1;
}

// How many cycles, counted back from the last, agree with it.
std::size_t periodic_cycles(samples_view s, const std::vector<cycle>& cycles) {
    const cycle& last = cycles.back();
    const double period = last.period();
    const double amplitude = lift_amplitude(s, last);
    std::size_t count = 0;
    for (auto c = cycles.rbegin(); c != cycles.rend(); ++c, ++count) {
        if (!agrees(c->period(), period, cycle_period_tolerance) ||
            !agrees(lift_amplitude(s, *c), amplitude, cycle_amplitude_tolerance)) {
            break;
        }
    }
    return count;
}

std::vector<cycle> cycles_of(samples_view s) {
    // The mean and the swing of the later half, where the oscillation (if
    // any) has grown to its size.
    const samples_view later = s.subspan(s.size() / 2);
    const double band = crossing_band_share * half_swing(later, lift_coefficient_of);
    const std::vector<lift_crossing> crossings =
        lift_crossings(s, mean_lift(later), band, crossing_direction::upward);
    std::vector<cycle> cycles;
    for (std::size_t k = 1; k < crossings.size(); ++k) {
        cycles.push_back({crossings[k - 1], crossings[k]});
    }
    return cycles;
}

void measure_periodic_span(samples_view s, const std::vector<cycle>& periodic,
                           shedding_measure& result) {
    const samples_view span = s.subspan(
        periodic.front().start.index, periodic.back().end.index - periodic.front().start.index);
    double shortest = periodic.front().period();
    double longest = shortest;
    for (const cycle& c : periodic) {
        shortest = std::min(shortest, c.period());
        longest = std::max(longest, c.period());
    }
    const double count = static_cast<double>(periodic.size());
    result.period = (periodic.back().end.time - periodic.front().start.time) / count;
    result.period_spread = 0.5 * (longest - shortest);
    result.mean_drag_coefficient = mean_drag(span);
    result.drag_coefficient_amplitude = half_swing(span, drag_coefficient_of);
    result.lift_coefficient_amplitude = half_swing(span, lift_coefficient_of);
}

}  // namespace

// Between samples k-1 and k where c(k-1) <= mean < c(k) (upward; the
// mirror image downward), the crossing's time
//   t = t(k-1) + (t(k) - t(k-1)) (mean - c(k-1)) / (c(k) - c(k-1)).
// A direction is armed by a sample beyond the band on the side it leaves,
// and disarmed by its crossing. A crossing is complete once a sample lies
// beyond the band on the side it enters, before the next crossing found.
std::vector<lift_crossing> lift_crossings(std::span<const force_sample> s, double mean,
                                          double band, crossing_direction direction) {
    std::vector<lift_crossing> found;
    bool armed_up = false;
    bool armed_down = false;
    for (std::size_t k = 1; k < s.size(); ++k) {
        const double before = s[k - 1].lift_coefficient - mean;
        const double now = s[k].lift_coefficient - mean;
        if (before < -band) armed_up = true;
        if (before > band) armed_down = true;
        const bool up = armed_up && before <= 0.0 && now > 0.0;
        const bool down = armed_down && before >= 0.0 && now < 0.0;
        if (up) armed_up = false;
        if (down) armed_down = false;
        const bool wanted = direction == crossing_direction::upward     ? up
                            : direction == crossing_direction::downward ? down
                                                                        : up || down;
        if (wanted) {
            const double share = -before / (now - before);
            found.push_back({k, s[k - 1].time + share * (s[k].time - s[k - 1].time), up});
        }
        if (!found.empty()) {
            lift_crossing& last = found.back();
            last.complete = last.complete || (last.upward ? now > band : now < -band);
        }
    }
    return found;
}

shedding_measure measure_shedding(std::span<const force_sample> samples, double start_time) {
    shedding_measure result;
    const auto first = std::find_if(samples.begin(), samples.end(),
                                    [&](const force_sample& s) { return s.time >= start_time; });
    const samples_view s(first, samples.end());
    if (s.size() < 3) return result;
    if (2.0 * half_swing(s.subspan(s.size() / 2), lift_coefficient_of) <= settled_lift_swing) {
        result.settles = true;
        return result;
    }
    const std::vector<cycle> cycles = cycles_of(s);
    if (cycles.size() >= 2) result.last_period = cycles.back().period();
    if (cycles.empty()) return result;
    if (decays(s, cycles)) {
        result.settles = true;
        return result;
    }
    const std::size_t count = periodic_cycles(s, cycles);
    result.cycles = static_cast<int>(count);
    if (result.cycles < fewest_reported_cycles) return result;
    const std::vector<cycle> periodic(cycles.end() - static_cast<std::ptrdiff_t>(count),
                                      cycles.end());
    measure_periodic_span(s, periodic, result);
    return result;
}

shedding_report report_shedding(std::span<const force_sample> samples, double start_time,
                                const obstacle_size& size, float inlet_velocity) {
    shedding_report report;
    report.measure = measure_shedding(samples, start_time);
    const std::optional<double>& period = report.measure.period;
    if (!period || !size.has_obstacle) return report;
    const double strouhal = size.frontal_height / (inlet_velocity * *period);
    report.strouhal = strouhal;
    report.strouhal_uncertainty = strouhal * *report.measure.period_spread / *period;
    return report;
}

}  // namespace veltaro
