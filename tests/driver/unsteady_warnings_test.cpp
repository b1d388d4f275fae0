// The shedding measure on synthetic lift and drag records whose answers are
// known, sampled at an uneven step as a run's are: a periodic signal after a
// transient, with noise, gives its frequency; a decaying one gives none; a
// short one gives the cycles it has and nothing else.
// The warnings about time: a steady run whose lift keeps swinging says the
// flow looks periodic, a drift or a flicker does not; a time-accurate run
// with too few cycles says so and how long to run; the steady rule's stop at
// the rounding floor with R above 1e-3 says so, every other stop does not.
// And an obstacle filling more than 30% of the grid's height says that the
// walls dominate. On records made by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "driver/run_warnings.h"
#include "analysis/shedding.h"

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
    for (double t = 0.0; t <= end; t += step(random))
        samples.push_back({t, lift(t) + jitter(random), 1.5 + 0.01 * std::sin(2 * two_pi * 4 * t)});
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
    // The noise's standard deviation; the cycles at least, exactly when the
    // period is empty.
    // clang-format off
    const struct { const char* name; std::function<double(double)> lift; double end, noise, start;
                   bool settles; int fewest_cycles; bool has_period; } rows[] = {
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
    // clang-format on
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


// A 4 m x 1 m tunnel at 2 m/s on a grid of 41 x 11 nodes 0.1 m apart, with
// a body in its picture of 40 x 10 pixels, whose loop ran 1000 iterations.
run_setup tunnel(std::optional<double> unsteady, stop_rule rule = stop_rule::quiet) {
    run_setup setup;
    setup.options.unsteady = unsteady;
    setup.options.stop = rule;
    setup.answers.max_iterations = 1000;
    setup.params = {.inlet_velocity = 2.0f, .length = 4.0f, .height = 1.0f, .density = 1.0f};
    setup.mesh = {41, 11, 0.1f};
    setup.masks.picture = int_grid(40, 10);
    setup.masks.picture[20][5] = obstacle_pixel;
    setup.obstacle = size_on_grid(setup.masks.picture, setup.mesh);
    return setup;
}

// Each warning as "code: message"; only those of `code` where one is given.
std::vector<std::string> codes(const std::vector<run_warning>& warnings,
                               const std::string& code = "") {
    std::vector<std::string> found;
    for (const run_warning& w : warnings) {
        if (w.code.starts_with(code)) found.push_back(w.code + ": " + w.message);
    }
    return found;
}

TEST(UnsteadyWarnings, SwingingLiftOfASteadyRun) {
    const auto wave = [](double amplitude, double periods) {
        return [=](int n) { return amplitude * std::sin(2 * std::numbers::pi * periods * n / 1000); };
    };
    // The lift: C_L at iteration n = 1 ... 1000.
    const struct { const char* name; std::function<double(int)> lift; bool warns; } rows[] = {
        {"swinging by 0.02, 10 periods in the window", wave(0.01, 50), true},
        {"2 crossings in the window", wave(0.01, 5), false},
        {"swing below 1e-3", wave(4e-4, 50), false},
        {"drift with a flicker", [](int n) { return 1e-5 * n + 2e-4 * (n % 2); }, false},
        {"swinging early, steady in the last 20%",
         [&](int n) { return n < 790 ? wave(0.01, 50)(n) : 0.0; }, false},
    };
    const run_setup setup = tunnel(std::nullopt);
    const loop_result loop{.iterations = 1000, .converged = true, .steadiness = {}};
    for (const auto& row : rows) {
        std::vector<force_sample> samples;
        for (int n = 1; n <= 1000; ++n) samples.push_back({n * 1e-3, row.lift(n), 1.0});
        const std::vector<std::string> found = codes(loop_warnings(setup, loop, samples));
        EXPECT_EQ(found.size(), row.warns ? 1u : 0u) << row.name;
        if (row.warns && !found.empty()) {
            EXPECT_TRUE(found[0].starts_with("unsteady_flow: the lift coefficient swings by 0.02 "
                                             "about its mean and crosses it 19 times")) << found[0];
            EXPECT_NE(found[0].find("--unsteady=20 (ten flow-through times)"), std::string::npos);
        }
    }
}

TEST(UnsteadyWarnings, ShortRecordSaysHowLongToRun) {
    // The shedding measure's cycles, last period and whether it settles; the
    // warning's text, empty where there is none.
    const struct { int cycles; std::optional<double> last_period; bool settles; const char* text; }
        rows[] = {
        {3, 0.25, false, "the lift has 3 periodic cycles after its start-up, fewer than 5, so "
                         "the run gives no Strouhal number, mean drag or amplitudes; run longer, "
                         "with --unsteady=3."},
        // 3 times T (the start-up tilt is gone at 1.2 s, 0.6 flow-through times).
        {0, std::nullopt, false, "with --unsteady=6."},
        {5, 0.25, false, ""},
        {0, std::nullopt, true, ""},
    };
    const run_setup setup = tunnel(2.0);
    const loop_result loop{
        .iterations = 1000, .reached_end_time = true, .flow_time = 2.0, .steadiness = {}};
    for (const auto& row : rows) {
        shedding_report report;
        report.measure.cycles = row.cycles;
        report.measure.last_period = row.last_period;
        report.measure.settles = row.settles;
        const std::vector<std::string> found = codes(loop_warnings(setup, loop, {}, report));
        if (*row.text == '\0') {
            EXPECT_TRUE(found.empty()) << row.cycles;
        } else {
            ASSERT_EQ(found.size(), 1u) << row.cycles;
            EXPECT_TRUE(found[0].starts_with("short_record: ")) << found[0];
            EXPECT_TRUE(found[0].ends_with(row.text)) << found[0];
        }
    }
}

TEST(SteadyWarnings, AStopAtTheRoundingFloorAboveOneInAThousand) {
    const std::string floor_text =
        "steady_at_floor: the run stopped after 1000 iterations as steady because its velocities "
        "no longer changed by more than their single-precision rounding, but its steady residual "
        "of 1.2e-03 U^2/c is above 1e-03: a drift that slow hides in the rounding; check that "
        "the forces stay with a run of twice as many iterations (--stop-rule=limit and a limit "
        "of 2000).";
    // The rule, a time-accurate run's T, whether the rule ended the loop,
    // the last R and whether that iteration was steady; the warnings.
    // clang-format off
    const struct { const char* name; stop_rule rule; std::optional<double> unsteady; bool converged;
                   double residual; bool steady; std::vector<std::string> warnings; } rows[] = {
        {"steady by the floor, R 1.24e-3", stop_rule::steady, {}, true, 1.24e-3, true, {floor_text}},
        {"steady by the floor, R 4.9e-4: below the warning's 1e-3", stop_rule::steady, {}, true, 4.9e-4, true, {}},
        {"steady by the floor, R exactly 1e-3", stop_rule::steady, {}, true, 1e-3, true, {}},
        {"steady by R", stop_rule::steady, {}, true, 5e-5, true, {}},
        // Not stopped by the rule: the limit's own warning, not this one.
        {"steady rule at the iteration limit", stop_rule::steady, {}, false, 1.24e-3, false, {}},
        {"quiet stop with R 1.24e-3", stop_rule::quiet, {}, true, 1.24e-3, true, {}},
        {"a time-accurate run at its flow time", stop_rule::limit, 2.0, false, 1.24e-3, true, {}},
    };
    // clang-format on
    for (const auto& row : rows) {
        const loop_result loop{
            .iterations = 1000,
            .converged = row.converged,
            .reached_end_time = row.unsteady.has_value(),
            .flow_time = 2.0,
            .steadiness = steady_measure{row.residual, row.residual, row.steady}};
        const run_setup setup = tunnel(row.unsteady, row.rule);
        EXPECT_EQ(codes(loop_warnings(setup, loop), "steady_at_floor"), row.warnings) << row.name;
    }
}

TEST(SteadyWarnings, AnObstacleFillingMoreThanThirtyPerCentOfTheHeight) {
    const std::string four_rows =
        "high_blockage: the obstacle's frontal height of 0.4 m fills 40% of the tunnel's height, "
        "more than 30%: the walls squeeze the flow past it, so its drag is far above, and its "
        "wake unlike, the same body's in open flow; draw it smaller in the picture, with more "
        "light rows above and below it (the picture is stretched over the tunnel, whatever its "
        "height).";
    // The dark picture rows of 10 (one pixel each, in column 20); the warnings.
    const struct {
        const char* name;
        int first_row, rows;
        std::vector<std::string> warnings;
    } rows[] = {
        {"4 rows of 10", 3, 4, {four_rows}},
        {"3 rows of 10: 30%, not above", 3, 3, {}},
        {"every pixel dark: all_solid says it", 0, 10, {}},
        {"no obstacle", 0, 0, {}},
    };
    for (const auto& row : rows) {
        run_setup setup = tunnel(std::nullopt, stop_rule::steady);
        setup.masks.picture = int_grid(40, 10);
        const bool all_dark = row.rows == 10;
        for (int c = 0; c < 40; ++c) {
            for (int r = row.first_row; r < row.first_row + row.rows; ++r) {
                if (all_dark || c == 20) setup.masks.picture[c][r] = obstacle_pixel;
            }
        }
        force_coefficients coefficients;
        coefficients.has_obstacle = row.rows > 0;
        coefficients.frontal_height = row.rows * 0.1;
        EXPECT_EQ(codes(setup_warnings(setup, coefficients), "high_blockage"), row.warnings)
            << row.name;
    }
}

}  // namespace
}  // namespace veltaro
