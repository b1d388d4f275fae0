// The warnings of a steady run's stop and its picture, on records made by
// hand: the steady rule's stop at the rounding floor with R above 1e-3 says
// so, every other stop does not; an obstacle filling more than 30% of the
// grid's height says that the walls dominate.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "driver/run_warnings.h"

namespace veltaro {
namespace {

// A 4 m x 1 m tunnel on a grid of 41 x 11 nodes 0.1 m apart, with a
// picture of 40 x 10 pixels.
run_setup tunnel(stop_rule rule, std::optional<double> unsteady = std::nullopt) {
    run_setup setup;
    setup.options.stop = rule;
    setup.options.unsteady = unsteady;
    setup.answers.max_iterations = 5000;
    setup.answers.mesh_choice = 1;
    setup.params = {.inlet_velocity = 0.2f, .length = 4.0f, .height = 1.0f, .density = 1.0f};
    setup.mesh = {41, 11, 0.1f};
    setup.masks.picture = int_grid(40, 10);
    return setup;
}

std::vector<std::string> found(const std::vector<run_warning>& warnings) {
    std::vector<std::string> lines;
    for (const run_warning& w : warnings) lines.push_back(w.code + ": " + w.message);
    return lines;
}

TEST(SteadyWarnings, AStopAtTheRoundingFloorAboveOneInAThousand) {
    const std::string floor_text =
        "steady_at_floor: the run stopped after 1200 iterations as steady because its velocities "
        "no longer changed by more than their single-precision rounding, but its steady residual "
        "of 1.2e-03 U^2/c is above 1e-03: a drift that slow hides in the rounding; check that "
        "the forces stay with a run of twice as many iterations (--stop-rule=limit and a limit "
        "of 2400).";
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
        const run_setup setup = tunnel(row.rule, row.unsteady);
        const loop_result loop{
            .iterations = 1200,
            .converged = row.converged,
            .reached_end_time = row.unsteady.has_value(),
            .flow_time = 2.0,
            .steadiness = steady_measure{row.residual, row.residual, row.steady}};
        std::vector<std::string> warnings = found(loop_warnings(setup, loop));
        std::erase_if(warnings,
                      [](const std::string& w) { return !w.starts_with("steady_at_floor"); });
        EXPECT_EQ(warnings, row.warnings) << row.name;
    }
}

TEST(SteadyWarnings, AnObstacleFillingMoreThanThirtyPerCentOfTheHeight) {
    const std::string four_rows =
        "high_blockage: the obstacle's frontal height of 0.4 m fills 40% of the tunnel's height, "
        "more than 30%: the walls squeeze the flow past it, so its drag is far above, and its "
        "wake unlike, the same body's in open flow; draw it smaller in the picture, with more "
        "light rows above and below it (the picture is stretched over the tunnel, whatever its "
        "height).";
    // The dark picture rows of 10 (one pixel each, in column 20); the
    // warning, empty where there is none.
    const struct {
        const char* name;
        int first_row, rows;
        std::string warning;
    } rows[] = {
        {"4 rows of 10", 3, 4, four_rows},
        {"3 rows of 10: 30%, not above", 3, 3, ""},
        {"every pixel dark: all_solid says it", 0, 10, ""},
        {"no obstacle", 0, 0, ""},
    };
    for (const auto& row : rows) {
        run_setup setup = tunnel(stop_rule::steady);
        const bool all_dark = row.rows == 10;
        for (int c = 0; c < 40; ++c) {
            for (int r = row.first_row; r < row.first_row + row.rows; ++r) {
                if (all_dark || c == 20) setup.masks.picture[c][r] = obstacle_pixel;
            }
        }
        force_coefficients coefficients;
        coefficients.has_obstacle = row.rows > 0;
        coefficients.frontal_height = row.rows * 0.1;
        std::vector<std::string> warnings = found(setup_warnings(setup, coefficients));
        std::erase_if(warnings,
                      [](const std::string& w) { return !w.starts_with("high_blockage"); });
        EXPECT_EQ(warnings, row.warning.empty() ? std::vector<std::string>{}
                                                : std::vector<std::string>{row.warning})
            << row.name;
    }
}

}  // namespace
}  // namespace veltaro
