// The grid-convergence estimate against rows worked by hand. Sequences
// phi(h) = phi0 + C h^p on three spacings with unequal ratios must give back
// p, phi0 as the extrapolation and the index 1.25 |phi1 - phi2| / |phi1| /
// (r21^p - 1); the others give no band and say why.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include "analysis/grid_convergence.h"

namespace veltaro {
namespace {

using maybe = std::optional<double>;
const std::array<std::string, 3> names = {"100-across", "70-across", "50-across"};

// phi0 + c h^p on each spacing.
std::array<maybe, 3> power_law(double phi0, double c, double p, const std::array<double, 3>& h) {
    return {phi0 + c * std::pow(h[0], p), phi0 + c * std::pow(h[1], p),
            phi0 + c * std::pow(h[2], p)};
}

void expect_near(const maybe& got, const maybe& want, const char* what, const std::string& row) {
    ASSERT_EQ(got.has_value(), want.has_value()) << row << ": " << what;
    if (want) {
        EXPECT_NEAR(*got, *want, 1e-9 * std::max(1.0, std::fabs(*want))) << row << ": " << what;
    }
}

TEST(GridConvergence, HandWorkedSequencesGiveTheirOrderExtrapolationAndBand) {
    const std::array<double, 3> unequal = {1.0, 1.4, 2.0};  // r21 = 1.4, r32 = 1.4286
    const std::array<double, 3> fine = {0.5, 0.7, 1.0};
    const std::array<double, 3> cylinder = {4.0 / 399, 4.0 / 279, 4.0 / 199};  // 100, 70, 50 across
    const double gci_one = 1.25 * (0.5 * (cylinder[1] - cylinder[0]) / (2 + 0.5 * cylinder[0])) /
                           (cylinder[1] / cylinder[0] - 1);
    const struct {
        const char* name;
        std::array<double, 3> h;
        std::array<maybe, 3> values;
        maybe order, extrapolated, band_relative, band_absolute;
        const char* reason;
        bool not_converging;
    } rows[] = {
        // 2, 2.96, 5: eps21 = 0.96, e_a = 0.48, r21^2 - 1 = 0.96, GCI = 0.625.
        {"1 + h^2", unequal, power_law(1, 1, 2, unequal), 2.0, 1.0, 0.625, 1.25, "", false},
        {"-1 - h^2: the band on |phi1|", unequal, power_law(-1, -1, 2, unequal), 2.0, -1.0, 0.625,
         1.25, "", false},
        {"3 - 4 h^1.5, from below", fine, power_law(3, -4, 1.5, fine), 1.5, 3.0,
         1.25 * (4 * (std::pow(0.7, 1.5) - std::pow(0.5, 1.5)) / (3 - 4 * std::pow(0.5, 1.5))) /
             (std::pow(1.4, 1.5) - 1),
         1.25 * (4 * (std::pow(0.7, 1.5) - std::pow(0.5, 1.5))) / (std::pow(1.4, 1.5) - 1), "",
         false},
        {"2 + h/2 on the cylinder's three meshes", cylinder, power_law(2, 0.5, 1, cylinder), 1.0,
         2.0, gci_one, gci_one * (2 + 0.5 * cylinder[0]), "", false},
        {"constant: band 0",
         unequal,
         {1.5, 1.5, 1.5},
         {},
         1.5,
         0.0,
         0.0,
         "the same on the three meshes",
         false},
        {"oscillating", unequal, {2.0, 2.1, 1.9}, {}, {}, {}, {}, "oscillating", true},
        {"diverging: the differences grow toward the finest",
         unequal,
         {1.0, 1.2, 1.3},
         {},
         {},
         {},
         {},
         "diverging",
         true},
        {"order 6",
         unequal,
         power_law(1, 1, 6, unequal),
         {},
         {},
         {},
         {},
         "order 6.0 outside 0.5-4",
         true},
        {"order 0.3",
         unequal,
         power_law(1, 1, 0.3, unequal),
         {},
         {},
         {},
         {},
         "order 0.3 outside 0.5-4",
         true},
        {"the two finer agree",
         unequal,
         {2.0, 2.0, 2.1},
         {},
         {},
         {},
         {},
         "order above 4 (the two finer meshes agree)",
         true},
        {"near zero: no warning", unequal, {5e-4, 8e-4, 2e-3}, {}, {}, {}, {}, "near zero", false},
        {"near zero and oscillating: near zero first",
         unequal,
         {-2e-5, 3e-5, -1e-5},
         {},
         {},
         {},
         {},
         "near zero",
         false},
        {"a mesh without a value",
         unequal,
         {2.0, {}, 2.1},
         {},
         {},
         {},
         {},
         "no value on the 70-across mesh",
         false},
        {"not a number",
         unequal,
         {2.0, 2.1, NAN},
         {},
         {},
         {},
         {},
         "no value on the 50-across mesh",
         false},
    };
    for (const auto& row : rows) {
        const grid_estimate got = estimate_grid_error(row.h, row.values, names);
        expect_near(got.order, row.order, "order", row.name);
        expect_near(got.extrapolated, row.extrapolated, "extrapolated", row.name);
        expect_near(got.band_relative, row.band_relative, "band_relative", row.name);
        expect_near(got.band_absolute, row.band_absolute, "band_absolute", row.name);
        EXPECT_EQ(got.reason, row.reason) << row.name;
        EXPECT_EQ(got.not_converging, row.not_converging) << row.name;
    }
}

}  // namespace
}  // namespace veltaro
