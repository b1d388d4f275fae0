// The grid study's meshes and console lines, by hand: the nodes across of
// the coarser meshes are the fast transform sizes nearest N / sqrt 2 and
// N / 2 (the latter from N, not from the middle mesh), and each
// coefficient's line says its band, its constant band or why it has none.
#include <gtest/gtest.h>

#include <sstream>

#include "driver/grid_study.h"

namespace veltaro {
namespace {

TEST(GridStudyMeshes, CoarserMeshesAreTheNearestFastTransformSizes) {
    const struct {
        int finest;
        std::array<int, 3> across;
    } rows[] = {
        // 70.7 -> 72 (70 = 2 5 7), not 70 or 71 (68 = 4 17, 69 = 3 23).
        {100, {100, 72, 50}},
        // 141.4 -> 142 (140), not 141 (139, a prime).
        {200, {200, 142, 100}},
        // 35.4 -> 34 (32) before 37 (35); 25 -> 26 (24), not 25 (23).
        {50, {50, 34, 26}},
        // 24 -> 23 (21) before 26 (24): below 25, refused.
        {48, {48, 34, 23}},
        // 200: 202 (200) and 198 (196) as near, the larger kept.
        {400, {400, 282, 202}},
        {71, {71, 50, 37}},
    };
    for (const auto& row : rows) EXPECT_EQ(grid_nodes_across(row.finest), row.across) << row.finest;
    for (const int ny : {3, 4, 12, 72, 142, 202}) EXPECT_TRUE(fast_transform_across(ny)) << ny;
    for (const int ny : {2, 13, 70, 141, 25}) EXPECT_FALSE(fast_transform_across(ny)) << ny;
}

TEST(GridStudyLines, EachCoefficientSaysItsBandOrWhyItHasNone) {
    const struct {
        grid_coefficient_summary coefficient;
        const char* line;
    } rows[] = {
        {{"drag_coefficient", {2.4281, 2.45, 2.49}, 1.94, 2.4139, 0.0063, 0.0153, {}},
         "C_D = 2.428 ± 0.63% (grid; extrapolated 2.414, order 1.9)\n"},
        {{"strouhal", {0.1801, 0.182, 0.19}, 2.0, 0.178, 0.12, 0.0216, {}},
         "St = 0.1801 ± 12% (grid; extrapolated 0.178, order 2)\n"},
        {{"drag_coefficient_chord",
          {3.0, 3.0, 3.0},
          {},
          3.0,
          0.0,
          0.0,
          "the same on the three meshes"},
         "C_D,c = 3 ± 0% (grid; the same on the three meshes)\n"},
        {{"lift_coefficient", {1.234e-05, 2e-5, 3e-5}, {}, {}, {}, {}, "near zero"},
         "C_L = 1.234e-05 (grid: no band, near zero)\n"},
        {{"lift_coefficient_amplitude", {0.31, 0.2, 0.4}, {}, {}, {}, {}, "oscillating"},
         "C_L amplitude = 0.31 (grid: no band, oscillating)\n"},
        {{"mean_drag_coefficient",
          {{}, 1.3, 1.4},
          {},
          {},
          {},
          {},
          "no value on the 100-across mesh"},
         "mean C_D = none (grid: no band, no value on the 100-across mesh)\n"},
    };
    for (const auto& row : rows) {
        grid_study_summary study;
        study.coefficients = {row.coefficient};
        std::ostringstream out;
        print_grid_study(out, study);
        EXPECT_EQ(out.str(), row.line);
    }
}

}  // namespace
}  // namespace veltaro
