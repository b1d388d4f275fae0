// The shedding measure on synthetic lift and drag records whose answers are
// known, sampled at an uneven step as a run's are: a periodic signal after a
// transient, with noise, gives its frequency; a decaying one gives none; a
// short one gives the cycles it has and nothing else.
#include "driver/shedding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <random>
#include <vector>

namespace veltaro {
namespace {

constexpr double two_pi = 2.0 * std::numbers::pi;

// C_L = lift(t) + normal noise, C_D = 1.5 + 0.01 sin(4 pi f t), from t = 0 to
// `end` at steps that wander between 0.8 and 1.2 of 1e-3 s.
std::vector<force_sample> record(const std::function<double(double)>& lift, double end,
                                 double noise) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> step(0.8e-3, 1.2e-3);
    std::normal_distribution<double> jitter(0.0, noise);
    std::vector<force_sample> samples;
    for (double t = 0.0; t <= end; t += step(random)) {
        samples.push_back({t, lift(t) + jitter(random), 1.5 + 0.01 * std::sin(2 * two_pi * 4 * t)});
    }
    return samples;
}

TEST(Shedding, FrequencyAfterTheTransientOrNothing) {
    constexpr double f = 4.0;  // Hz
    // Grows from a kick to 0.4 by t = 1.5 s, on a mean that drifts to 0.05.
    const auto growing = [](double t) {
        const double size = 0.4 / (1.0 + 50.0 * std::exp(-6.0 * t));
        return 0.05 * (1.0 - std::exp(-t)) + size * std::sin(two_pi * f * t);
    };
    const auto decaying = [](double t) { return 0.3 * std::exp(-t) * std::sin(two_pi * f * t); };
    const struct {
        const char* name;
        std::function<double(double)> lift;
        double end;
        double noise;  // standard deviation
        double start;
        bool settles;
        int fewest_cycles;  // at least; exactly when the period is empty
        bool has_period;
    } rows[] = {
        {"periodic after a transient, with noise", growing, 6.0, 0.002, 0.5, false, 10, true},
        {"decaying: the flow settles", decaying, 6.0, 1e-5, 0.5, true, 0, false},
        {"swing below 1e-3: settles", [](double t) { return 4e-4 * std::sin(two_pi * f * t); },
         3.0, 1e-5, 0.0, true, 0, false},
        {"three periodic cycles: too few", [](double t) { return 0.4 * std::sin(two_pi * f * t); },
         1.1, 1e-5, 0.0, false, 3, false},
        // A decay needs each of the last three cycles smaller than the one
        // before; a single drop in size is none.
        {"a drop in size, then steady: not decaying",
         [](double t) { return (t < 0.5 ? 0.4 : 0.3) * std::sin(two_pi * f * t); }, 1.1, 1e-5,
         0.0, false, 2, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const shedding_measure m = measure_shedding(record(row.lift, row.end, row.noise), row.start);
        EXPECT_EQ(m.settles, row.settles);
        EXPECT_EQ(m.period.has_value(), row.has_period);
        if (!row.has_period) {
            EXPECT_EQ(m.cycles, row.fewest_cycles);
            EXPECT_FALSE(m.lift_coefficient_amplitude);
            continue;
        }
        EXPECT_GE(m.cycles, row.fewest_cycles);
        EXPECT_NEAR(1.0 / *m.period, f, 0.005 * f);
        EXPECT_LT(*m.period_spread, 0.01 / f);
        EXPECT_NEAR(*m.lift_coefficient_amplitude, 0.4, 0.02);
        EXPECT_NEAR(*m.mean_drag_coefficient, 1.5, 1e-3);
        EXPECT_NEAR(*m.drag_coefficient_amplitude, 0.01, 1e-3);
    }
}

}  // namespace
}  // namespace veltaro
